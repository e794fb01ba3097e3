// The teacher picker at scale: filtering 20,000 teachers per keystroke, with and without a list
// view attached, and loading the full teacher list from the stand-in into picker options.
#include "BenchSupport.h"
#include "OptionFilterModel.h"
#include "StandinServer.h"
#include "WorkmodeModel.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>

Q_IMPORT_QML_PLUGIN(OrvelBox_ControlsPlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)

namespace {
using bench::Stats;
using bench::stats;

// Short names the way the service writes them ("Фамилия И.О."), many alike as in a real staff.
QList<option> teachers(int n) {
    static const QStringList surnames{
        "Иванов",    "Петров",  "Смирнов",  "Кузнецов", "Попов",    "Васильев", "Соколов",
        "Михайлов",  "Новиков", "Фёдоров",  "Морозов",  "Волков",   "Алексеев", "Лебедев",
        "Семёнов",   "Егоров",  "Павлов",   "Козлов",   "Степанов", "Николаев", "Орлов",
        "Андреев",   "Макаров", "Никитин",  "Захаров",  "Зайцев",   "Борисов",  "Яковлев",
        "Григорьев", "Романов", "Воробьёв", "Сергеев",  "Кузьмин",  "Фролов"};
    static const QString initials = QStringLiteral("АБВГДЕЖЗИКЛМНОПРСТЮЯ");
    QList<option> out{option::none()};
    quint32 seed = 12345;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    for (int i = 0; i < n; ++i) {
        QString name = surnames[next() % surnames.size()];
        if (next() % 2)
            name += u'а';
        name += QStringLiteral(" %1.%2.")
                    .arg(initials[next() % initials.size()])
                    .arg(initials[next() % initials.size()]);
        out.append({i, name, QStringLiteral("person.crop.circle.fill")});
    }
    return out;
}

// Typing a name letter by letter, deleting it again, then a second name: every step is one
// keystroke of a user.
QStringList keystrokes() {
    QStringList out;
    for (const QString& word :
         {QStringLiteral("иванова"), QStringLiteral("петр"), QStringLiteral("ов а.")}) {
        for (int i = 1; i <= word.size(); ++i)
            out.append(word.left(i));
        for (int i = word.size() - 1; i >= 0; --i)
            out.append(word.left(i));
    }
    return out;
}

void benchFiltering(int n, int rounds) {
    OptionList list;
    QElapsedTimer t;
    t.start();
    list.setItems(teachers(n));
    std::printf("filtering %d teachers per keystroke (%d rounds of %lld keystrokes)\n", n, rounds,
                qlonglong(keystrokes().size()));
    std::printf("  list made and lower-cased once: %.2f ms\n", t.nsecsElapsed() / 1e6);

    OptionFilterModel bare;
    bare.setOptions(&list);
    std::vector<double> modelOnly;
    for (int r = 0; r <= rounds; ++r) // round 0 warms up
        for (const QString& s : keystrokes()) {
            t.restart();
            bare.setSearch(s);
            if (r > 0)
                modelOnly.push_back(t.nsecsElapsed() / 1e6);
        }

    // The same with a list view of picker rows, laid out after every keystroke.
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent component(&engine);
    component.setData(R"qml(
import QtQuick
import OrvelBox.Timetable
ListView {
    width: 640; height: 720; spacing: 8
    delegate: Item {
        required property option entry
        width: ListView.view.width; height: 50
        OptionRow { anchors.fill: parent; anchors.margins: 10; entry: parent.entry }
    }
}
)qml",
                      QUrl(QStringLiteral("qrc:/bench.qml")));
    std::unique_ptr<QObject> object(component.create());
    auto* view = qobject_cast<QQuickItem*>(object.get());
    if (!view) {
        std::printf("  list view did not load: %s\n", qPrintable(component.errorString()));
        return;
    }
    QQuickWindow window;
    window.resize(640, 720);
    view->setParentItem(window.contentItem());
    window.show();
    OptionFilterModel shown;
    shown.setOptions(&list);
    view->setProperty("model", QVariant::fromValue(&shown));
    QMetaObject::invokeMethod(view, "forceLayout");
    std::vector<double> withView;
    for (int r = 0; r <= rounds; ++r)
        for (const QString& s : keystrokes()) {
            t.restart();
            shown.setSearch(s);
            QMetaObject::invokeMethod(view, "forceLayout");
            if (r > 0)
                withView.push_back(t.nsecsElapsed() / 1e6);
        }
    const Stats a = stats(modelOnly), b = stats(withView);
    std::printf("  per keystroke       median     p95     max  (goal < 4 ms)\n");
    std::printf("  model only        %6.2f ms %6.2f  %6.2f\n", a.median, a.p95, a.max);
    std::printf("  model + list view %6.2f ms %6.2f  %6.2f\n", b.median, b.p95, b.max);
}

QCoro::Task<void> into(QCoro::Task<ApiResult> task, std::optional<ApiResult>* out) {
    out->emplace(co_await std::move(task));
}
ApiResult finished(QCoro::Task<ApiResult> task) {
    std::optional<ApiResult> out;
    into(std::move(task), &out);
    while (!out)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return *out;
}

void benchLoad(standin::Server& server, int scripted, int rounds) {
    if (scripted > 0) {
        QJsonArray list;
        for (const option& o : teachers(scripted).mid(1))
            list.append(QJsonObject{
                {"name", o.name},
                {"photo_thumb_url",
                 server.baseUrl() + QStringLiteral("/media/teachers/%1_thumb.png").arg(o.id)}});
        standin::Fault answer;
        answer.status = 200;
        answer.body = QJsonDocument(QJsonObject{{"teachers", list}, {"total", scripted}})
                          .toJson(QJsonDocument::Compact);
        server.setFault(QStringLiteral("GET"), QStringLiteral("/api/teachers"), answer);
        std::printf("loading %d teachers (%.1f MiB answer), %d rounds\n", scripted,
                    answer.body.size() / 1048576.0, rounds);
    } else {
        std::printf("loading the stand-in's own teachers, %d rounds\n", rounds);
    }
    OrvelApi api(server.baseUrl(), server.issueTokens(QStringLiteral("student")), std::nullopt);
    std::vector<double> fetch, build, store;
    qsizetype count = 0;
    for (int r = 0; r < rounds + 2; ++r) { // two warm-up rounds
        QElapsedTimer t;
        t.start();
        const std::optional<ApiResult> answer = finished(api.getTeachers(std::nullopt, 100000, 0));
        const double fetched = t.nsecsElapsed() / 1e6;
        if (!answer->ok()) {
            std::printf("  teacher list failed: %s\n", qPrintable(answer->error().description()));
            return;
        }
        t.restart();
        QList<option> options = WorkmodeModel::teacherOptions(answer->value());
        const double built = t.nsecsElapsed() / 1e6;
        t.restart();
        OptionList list;
        list.setItems(std::move(options));
        const double stored = t.nsecsElapsed() / 1e6;
        count = list.count() - 1;
        if (r >= 2) {
            fetch.push_back(fetched);
            build.push_back(built);
            store.push_back(stored);
        }
    }
    server.clearFaults();
    const Stats f = stats(fetch), b = stats(build), s = stats(store);
    std::printf("  %lld teachers     median     max\n", qlonglong(count));
    std::printf("  request + JSON    %7.2f ms %7.2f\n", f.median, f.max);
    std::printf("  build options     %7.2f ms %7.2f\n", b.median, b.max);
    std::printf("  list (lower-case) %7.2f ms %7.2f\n", s.median, s.max);
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 10;
    benchFiltering(20000, rounds);
    standin::Server server;
    if (!server.listen())
        return 1;
    benchLoad(server, 0, rounds);
    benchLoad(server, 20000, rounds);
    return 0;
}
