#pragma once
#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <memory>
#include <optional>

// The timetable weeks this machine has seen, so a week can be shown before (or without) the
// service's answer. One small SQLite file in the application's data folder, owner-only from
// its creation; it holds week answers and the subject each account last looked at, never a
// token. It also keeps each account's last known preferences. Every account's rows are its
// own: nothing is read across accounts.
//
// Reads and writes run on the calling thread: each is one indexed statement on a local file in
// WAL mode (well under a frame, see bench_timetable). A file that cannot be opened or read
// (damaged, another schema version, disk full) is moved aside and started afresh, with one log
// line; should even that fail, the store forgets quietly and the application works online.
class WeekStore {
  public:
    // Whose timetable a week is: mode "student" with key "faculty\ngroup", or "teacher" with
    // the teacher's name.
    struct Subject {
        QString mode;
        QString key;
        bool operator==(const Subject&) const = default;
    };
    struct Week {
        QJsonObject answer;
        QDateTime fetched;
    };

    static constexpr int schemaVersion = 1;
    static constexpr int weeksPerSubject = 40;
    static constexpr int subjectsPerAccount = 5;

    explicit WeekStore(QString filePath);
    ~WeekStore();
    WeekStore(const WeekStore&) = delete;
    WeekStore& operator=(const WeekStore&) = delete;

    // The application's store, opened on first use: weeks.sqlite in the data folder unless
    // setSharedPath chose another file (tests). Interface thread only.
    static WeekStore& shared();
    // Loads the database driver on another thread, so that the first read of the start does
    // not wait for it: call it as early as possible.
    static void loadDriverSoon();
    // Opens the file now if an earlier run left one, so that a start with a session reads it
    // without waiting; creates nothing.
    void openIfKept();
    static void setSharedPath(const QString& filePath);

    std::optional<Week> week(const QString& account, const Subject& subject, QDate monday);
    // Every stored week of the subject, oldest Monday first.
    QList<std::pair<QDate, Week>> weeks(const QString& account, const Subject& subject);
    void putWeek(const QString& account, const Subject& subject, QDate monday,
                 const QJsonObject& answer, const QDateTime& fetched);
    std::optional<Subject> lastShown(const QString& account);
    void setLastShown(const QString& account, const Subject& subject);
    // The account whose weeks were stored last: the one whose token pair this machine keeps.
    QString lastAccount();
    // The account's preferences as last read from the service (its store's keys and values),
    // so the next start can draw in the user's colours before the service answers.
    std::optional<QJsonObject> preferences(const QString& account);
    void setPreferences(const QString& account, const QJsonObject& values);
    // Every row of `account`, its kept preferences, and the last-account mark when it is that
    // account's.
    void eraseAccount(const QString& account);

    QString filePath() const { return m_path; }

  private:
    class Connection;
    Connection& db();
    // Runs `work` on an open database; once more on a fresh file when it fails. False when
    // the store is unusable.
    template <typename Work> bool run(Work work);

    QString m_path;
    std::unique_ptr<Connection> m_db;
    bool m_broken = false;
};
