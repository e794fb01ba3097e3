// Signing in, loading the signed-in user's preferences, and what the sign-in screen adds to the
// journeys (masking, announcements, links), all against the stand-in service on loopback.
#include "CoordinatorModel.h"
#include "GlobalLoginModel.h"
#include "QmlScene.h"
#include "StandinSession.h"
#include "SystemColors.h"
#include "TestSupport.h"
#include "Toolkit.h"

#include "AppInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

using Stored = QList<std::pair<QString, QJsonValue>>;
Q_DECLARE_METATYPE(Stored)

namespace {
const QString themeKey = QStringLiteral("settings__theme");
const QString currentKey = QStringLiteral("settings__current_lesson");
const QString nextKey = QStringLiteral("settings__next_lesson");
const QString accentKey = QStringLiteral("settings__accent_color");
const QString accentNameKey = QStringLiteral("settings__accent_color_string");
} // namespace

class TestSignIn : public QObject {
    Q_OBJECT
    FreshService service;
    std::unique_ptr<standin::Server>& server = service.server;
    std::shared_ptr<TokenStore>& store = service.store;

    // A window's coordinator with `login` already signed in.
    CoordinatorModel* signedInRoot(const QString& login) {
        signInto(*server, login, *store);
        return new CoordinatorModel(new CO(server->baseUrl(), store), this);
    }
    static bool finishes(CoordinatorModel& root) {
        return detail::spinUntil([&] { return root.screen() != QStringLiteral("loading"); }, 10000);
    }
    // A coordinator that found nobody signed in: what the sign-in screen is given.
    std::unique_ptr<CO> signedOut() {
        auto co = std::make_unique<CO>(server->baseUrl(), store);
        const bool settled =
            detail::spinUntil([&] { return co->appState() != CO::appStates::loading; }, 10000);
        return settled && co->appState() == CO::appStates::login ? std::move(co) : nullptr;
    }
    // Presses the button with these texts; true once the attempt has ended.
    static bool signIn(GlobalLoginModel& m, const QString& login, const QString& password) {
        m.setLogin(login);
        m.setPassword(password);
        m.signIn();
        return detail::spinUntil([&] { return !m.loading(); }, 10000);
    }

  private slots:
    void init() { QVERIFY(service.start()); }
    void cleanup() { service.stop(); }

    void signInOutcome_data() {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("status"); // scripted answer; 0: the service's own
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("logLine"); // empty: nothing logged

        // The service's own answers, and scripted ones for the "success" member.
        auto real = [](const char* tag, const char* login, const char* password, const char* state,
                       const char* logLine) {
            QTest::newRow(tag) << login << password << 0 << QByteArray() << state << logLine;
        };
        auto scripted = [](const char* tag, int status, const char* body, const char* state,
                           const char* logLine = "") {
            QTest::newRow(tag) << "student"
                               << "student" << status << QByteArray(body) << state << logLine;
        };
        const char* refused = "API Error: Неверный логин или пароль (Code: 401)";
        real("account accepted", "student", "student", "home", "");
        real("wrong password", "student", "wrong", "login", refused);
        real("both fields empty", "", "", "login", refused);
        scripted("success as true", 200, R"({"success": true})", "home");
        scripted("success 0", 200, R"({"success": 0})", "login");
        scripted("success as text", 200, R"({"success": "1"})", "login");
        scripted("success 2", 200, R"({"success": 2})", "login");
        scripted("success missing", 200, R"({"access_token": "t"})", "login");
    }
    void signInOutcome() {
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, state);
        QFETCH(QString, logLine);

        auto co = signedOut();
        QVERIFY(co);
        GlobalLoginModel model;
        model.setCo(co.get());
        if (status)
            server->setFault(QStringLiteral("POST"), QStringLiteral("/api/auth/login"),
                             fault::answer(status, body));
        LogCapture log;
        model.setLogin(login);
        model.setPassword(password);
        model.signIn();
        model.signIn(); // pressed again while the first attempt runs: ignored
        QTRY_VERIFY_WITH_TIMEOUT(!model.loading(), 10000);

        QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/auth/login")), 1);
        const auto sent = QJsonDocument::fromJson(server->requests().last().body).object();
        QCOMPARE(sent.value(QStringLiteral("username")).toString(), login);
        QCOMPARE(sent.value(QStringLiteral("password")).toString(), password);
        QCOMPARE(co->stateName(), state);
        QCOMPARE(model.isError(), state != QStringLiteral("home"));
        QCOMPARE(model.login(), login);
        QCOMPARE(model.password(), password);
        QCOMPARE(log.lines, logLine.isEmpty() ? QStringList() : QStringList{logLine});
    }

    // The form as shown: the password masked, each refusal announced, the notice's links
    // opening the site's pages.
    void signInScreen() {
        auto co = signedOut();
        QVERIFY(co);
        QmlScene scene;
        QVERIFY(scene.load("import OrvelBox.Core\nGlobalLogin {}",
                           {{"co", QVariant::fromValue(co.get())}}));
        auto* model = scene.find<GlobalLoginModel>(QStringLiteral("globalLoginModel"));
        auto* alert = scene.find<QObject>(QStringLiteral("errorAlert"));
        auto* notice = scene.find<QQuickItem>(QStringLiteral("agreementNotice"));
        auto* password = scene.find<QQuickItem>(QStringLiteral("passwordField"));
        QVERIFY(model && alert && notice && password);
        const QObject* entry = password->findChild<QObject*>(QStringLiteral("entry"));
        QVERIFY(entry);
        QCOMPARE(entry->property("echoMode").toInt(), 2); // TextInput.Password
        LogCapture quiet;
        for (int attempt = 1; attempt <= 2; ++attempt) {
            QVERIFY(signIn(*model, QStringLiteral("student"), QStringLiteral("wrong")));
            QCOMPARE(alert->property("announcements").toInt(), attempt);
        }

        const QString agreement = AppInfo::sitePage(QStringLiteral("/user-agreement")).toString();
        const QString privacy = AppInfo::sitePage(QStringLiteral("/privacy")).toString();
        QStringList links;
        for (const auto& m : QRegularExpression(QStringLiteral("href=\"([^\"]*)\""))
                                 .globalMatch(notice->property("text").toString()))
            links.append(m.captured(1));
        QCOMPARE(links, (QStringList{agreement, privacy}));
        QList<QUrl> opened;
        Toolkit::instance()->setUrlOpener([&](const QUrl& u) { opened.append(u); });
        for (const QString& link : links)
            QMetaObject::invokeMethod(notice, "linkActivated", Q_ARG(QString, link));
        Toolkit::instance()->setUrlOpener({});
        QCOMPARE(opened, (QList<QUrl>{QUrl(agreement), QUrl(privacy)}));
    }

    // ---- preferences of the signed-in user ----

    void preferencesLoaded_data() {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<QByteArray>("keysAnswer"); // scripted answer to the key list; empty: real
        QTest::addColumn<QStringList>("writes");
        // Theme, current and next lesson switches, accent name and the colour it gives.
        QTest::addColumn<QString>("read");
        const auto row = [](const char* tag, const Stored& stored, const QStringList& writes,
                            const char* read, const QByteArray& keysAnswer = {}) {
            QTest::newRow(tag) << stored << keysAnswer << writes << QString(read);
        };
        const QStringList all{themeKey, currentKey, nextKey, accentKey};
        const Stored full{
            {themeKey, "dark"}, {currentKey, "true"}, {nextKey, "true"}, {accentKey, "green"}};
        auto fullWith = [&](const QString& key, const QJsonValue& value) {
            Stored s = full;
            for (auto& entry : s)
                if (entry.first == key)
                    entry.second = value;
            return s;
        };
        row("empty store", {}, all, "system true true blue blue");
        row("full store", full, {}, "dark true true green green");
        row("only accent missing", {{themeKey, "light"}, {currentKey, true}, {nextKey, false}},
            {accentKey}, "light true false blue blue");
        row("\"false\" as text", fullWith(currentKey, "false"), {}, "dark true true green green");
        row("accent in other case", fullWith(accentKey, "Red"), {}, "dark true true Red blue");
        row("accent not text", fullWith(accentKey, 3), {}, "dark true true blue blue");
        row("theme not text", fullWith(themeKey, true), {}, "system true true green green");
        // The key list cannot be read, so every default is written, over what is stored.
        row("keys answer without keys", full, all, "system true true blue blue",
            R"({"items": []})");
        row("keys list with a non-object", full, all, "system true true blue blue",
            R"({"keys": [{"key": "settings__theme"}, "settings__accent_color"]})");
        row("keys without key text", full, {currentKey, nextKey, accentKey},
            "dark true true blue blue",
            R"({"keys": [{"key": 1}, {"name": "settings__theme"}, {"key": "settings__theme"}]})");
    }
    void preferencesLoaded() {
        QFETCH(Stored, stored);
        QFETCH(QByteArray, keysAnswer);
        QFETCH(QStringList, writes);
        QFETCH(QString, read);
        const QStringList shown = read.split(u' ');

        for (const auto& [key, value] : stored)
            server->setStorage(QStringLiteral("student"), key, value);
        if (!keysAnswer.isEmpty())
            server->setFault(QStringLiteral("GET"), QStringLiteral("/api/storage/keys"),
                             fault::answer(200, keysAnswer));
        LogCapture log;
        CoordinatorModel* root = signedInRoot(QStringLiteral("student"));
        QVERIFY(finishes(*root));
        QCOMPARE(root->screen(), QStringLiteral("home"));
        QVERIFY(!root->homeSettingsLoading());
        QVERIFY(log.lines.isEmpty());

        // One key list, the missing defaults one after another in table order, one read.
        QList<standin::LoggedRequest> requests = server->requests();
        requests.removeIf([](const auto& r) { return !r.path.startsWith(u"/api/storage/"); });
        QCOMPARE(requests.size(), 2 + writes.size());
        QCOMPARE(requests.first().method + requests.first().path,
                 QStringLiteral("GET/api/storage/keys"));
        QStringList written;
        for (qsizetype i = 1; i < requests.size() - 1; ++i) {
            QCOMPARE(requests[i].path, QStringLiteral("/api/storage/set"));
            written.append(QJsonDocument::fromJson(requests[i].body)[u"key"].toString());
        }
        QCOMPARE(written, writes);
        // The defaults are written as text, as other clients of the account wrote them.
        const QHash<QString, QString> defaults{
            {themeKey, "system"}, {currentKey, "true"}, {nextKey, "true"}, {accentKey, "blue"}};
        for (const QString& key : writes)
            QCOMPARE(server->storage(QStringLiteral("student"), key), QJsonValue(defaults[key]));
        QCOMPARE(requests.last().path, QStringLiteral("/api/storage/get"));
        QCOMPARE(QJsonDocument::fromJson(requests.last().body).object(),
                 (QJsonObject{{"keys", QJsonArray{nextKey, currentKey, themeKey, accentKey}}}));

        const QVariantMap settings = root->preferences()->settings();
        QCOMPARE(settings.keys(),
                 (QStringList{accentKey, accentNameKey, currentKey, nextKey, themeKey}));
        QCOMPARE(settings.value(themeKey), QVariant(shown[0]));
        QCOMPARE(settings.value(currentKey), QVariant(shown[1] == u"true"));
        QCOMPARE(settings.value(nextKey), QVariant(shown[2] == u"true"));
        QCOMPARE(settings.value(accentNameKey), QVariant(shown[3]));
        QCOMPARE(settings.value(accentKey).metaType(), QMetaType::fromType<QColor>());
        QCOMPARE(settings.value(accentKey).value<QColor>(), *SystemColors::named(shown[4]));
    }

    // A failed default write leaves the window offline and asks nothing more.
    void failedDefaultWrite() {
        server->setFault(QStringLiteral("POST"), QStringLiteral("/api/storage/set"),
                         fault::answer(500, "{}"));
        LogCapture quiet;
        CoordinatorModel* root = signedInRoot(QStringLiteral("student"));
        QVERIFY(finishes(*root));
        QCOMPARE(root->screen(), QStringLiteral("offline"));
        QVERIFY(root->preferences()->settings().isEmpty());
        QCOMPARE(server->count(QStringLiteral("GET"), QStringLiteral("/api/storage/keys")), 1);
        QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/storage/set")), 1);
        QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/storage/get")), 0);
    }

    void lateAnswerForPreviousUserIsDropped() {
        server->setStorage(QStringLiteral("student"), accentKey, QStringLiteral("red"));
        server->setStorage(QStringLiteral("teacher"), accentKey, QStringLiteral("green"));
        server->setFault(QStringLiteral("GET"), QStringLiteral("/api/storage/keys"),
                         fault::times(1, fault::delayed(400)));
        CoordinatorModel* root = signedInRoot(QStringLiteral("student"));
        QTRY_COMPARE_WITH_TIMEOUT(
            server->count(QStringLiteral("GET"), QStringLiteral("/api/storage/keys")), 1, 10000);

        // Signed out and in as someone else while the first user's key list is on its way.
        QVERIFY(awaitVoid(root->co()->logout()));
        GlobalLoginModel login;
        login.setCo(root->co());
        QVERIFY(signIn(login, QStringLiteral("teacher"), QStringLiteral("teacher")));
        QVERIFY(finishes(*root));
        QCOMPARE(root->preferences()->settings().value(accentNameKey),
                 QVariant(QStringLiteral("green")));

        // The slow answer arrives after that and changes nothing, nor sends anything more.
        QTest::qWait(600);
        QCOMPARE(root->preferences()->settings().value(accentNameKey),
                 QVariant(QStringLiteral("green")));
        QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/storage/get")), 1);
        QCOMPARE(root->screen(), QStringLiteral("home"));
    }
};

QTEST_MAIN(TestSignIn)
#include "tst_signin.moc"
