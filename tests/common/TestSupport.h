#pragma once
#include <QCoroTask>
#include <QElapsedTimer>
#include <QStringList>
#include <QTest>
#include <memory>
#include <optional>

namespace detail {
template <class T>
QCoro::Task<void> awaitInto(QCoro::Task<T> task, std::shared_ptr<std::optional<T>> out) {
    out->emplace(co_await std::move(task));
}
inline QCoro::Task<void> awaitFlag(QCoro::Task<void> task, std::shared_ptr<bool> done) {
    co_await std::move(task);
    *done = true;
}
bool spinUntil(const std::function<bool()>& cond, int timeoutMs);
} // namespace detail

// Runs the event loop until the task finishes or the time runs out. Unlike QCoro::waitFor it
// gives up instead of hanging when an answer never comes; the state lives on the heap so a late
// answer after a time-out touches nothing that is gone.
template <class T> std::optional<T> await(QCoro::Task<T>&& task, int timeoutMs = 10000) {
    auto out = std::make_shared<std::optional<T>>();
    detail::awaitInto<T>(std::move(task), out);
    detail::spinUntil([&] { return out->has_value(); }, timeoutMs);
    return *out;
}

inline bool awaitVoid(QCoro::Task<void>&& task, int timeoutMs = 10000) {
    auto done = std::make_shared<bool>(false);
    detail::awaitFlag(std::move(task), done);
    return detail::spinUntil([&] { return *done; }, timeoutMs);
}

// Captures every diagnostic line while alive.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    QStringList lines;
    bool contains(const QString& fragment) const;
};

// Where tests leave screenshots and other artefacts (env ORVEL_ARTIFACTS, else a temp folder).
QString artifactDir();
