// The teacher card's model: one look-up per showing, the newest shown, the name fallback,
// failures, and the short name on the wire.
#include "SignedIn.h"
#include "TeacherViewInfoModel.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {
// Records the request target of every request and answers each with one teacher.
class RawServer : public QTcpServer {
  public:
    QStringList targets;
    RawServer() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray head = s->peek(8192);
                    if (!head.contains("\r\n\r\n"))
                        return;
                    s->readAll();
                    targets.append(QString::fromLatin1(head.split(' ').value(1)));
                    const QByteArray body = R"({"teacher": {"name": "x"}})";
                    s->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                        QByteArray::number(body.size()) + "\r\n\r\n" + body);
                });
            }
        });
    }
};
} // namespace

class TestTeacherCard : public QObject {
    Q_OBJECT
    SignedIn app;
    std::unique_ptr<TeacherViewInfoModel> card;

    QString path(const QString& name) const { return QStringLiteral("/api/teachers/") + name; }
    void show(const QString& name) {
        card->setTeacherName(name);
        card->setActive(true);
    }

  private slots:
    void init() {
        QVERIFY(app.start());
        card = std::make_unique<TeacherViewInfoModel>();
        card->setCo(app.co.get());
    }
    void cleanup() {
        card.reset();
        app.stop();
    }

    void looksUpEachTimeShown() {
        const QString name = standin::Server::demoTeacherName();
        show(name);
        // Hidden and shown again before the view settles: one showing, one look-up.
        card->setActive(false);
        card->setActive(true);
        QVERIFY(QTest::qWaitFor([&] { return !card->isLoading(); }, 10000));
        QVERIFY(!card->tech().full_name.isEmpty());
        QVERIFY(!card->tech().deparment.isEmpty());
        QCOMPARE(card->displayName(), card->tech().full_name);
        QVERIFY(card->photoUrl().toString().startsWith(app.server->baseUrl() +
                                                       QStringLiteral("/media/teachers/")));
        QCOMPARE(app.gets(path(name)), 1);
        card->setActive(false);
        card->setActive(true);
        QVERIFY(QTest::qWaitFor([&] { return app.gets(path(name)) == 2; }, 10000));

        // A slow look-up that the next showing overtakes writes nothing.
        const QString slow = QStringLiteral("Медленный М.М.");
        app.script(path(slow), {{"teacher", QJsonObject{{"name", slow}}}}, 400);
        card->setActive(false);
        show(slow);
        QVERIFY(QTest::qWaitFor([&] { return app.gets(path(slow)) == 1; }, 10000));
        card->setActive(false);
        show(name);
        QVERIFY(QTest::qWaitFor([&] { return app.gets(path(name)) == 3; }, 10000));
        QTest::qWait(600);
        QCOMPARE(card->displayName(), card->tech().full_name);
        QVERIFY(card->displayName() != slow);
    }

    void readsTheAnswerLeniently_data() {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("department");
        QTest::addColumn<QUrl>("photo");
        const QJsonObject full{{"name", "Петров П.П."},
                               {"full_name", "Петров Пётр Петрович"},
                               {"department", "Кафедра физики"},
                               {"photo_url", "https://media.example/p.png"}};
        QTest::newRow("full record") << QJsonObject{{"teacher", full}} << "Петров Пётр Петрович"
                                     << "Кафедра физики" << QUrl("https://media.example/p.png");
        QJsonObject noFullName = full;
        noFullName["full_name"] = "";
        QTest::newRow("empty full name") << QJsonObject{{"teacher", noFullName}} << "Петров П.П."
                                         << "Кафедра физики" << QUrl("https://media.example/p.png");
        QJsonObject numberName = full;
        numberName["full_name"] = 7;
        QTest::newRow("full name not text")
            << QJsonObject{{"teacher", numberName}} << "Петров П.П."
            << "Кафедра физики" << QUrl("https://media.example/p.png");
        QTest::newRow("service's misspelt key is not read")
            << QJsonObject{{"teacher",
                            QJsonObject{{"name", "Петров П.П."}, {"deparment", "Кафедра"}}}}
            << "Петров П.П."
            << "" << QUrl();
        QTest::newRow("photo not an address")
            << QJsonObject{{"teacher", QJsonObject{{"name", "Петров П.П."}, {"photo_url", "фото"}}}}
            << "Петров П.П."
            << "" << QUrl();
        QTest::newRow("no teacher") << QJsonObject{} << ""
                                    << "" << QUrl();
        QTest::newRow("teacher not an object") << QJsonObject{{"teacher", "Петров П.П."}} << ""
                                               << "" << QUrl();
    }
    void readsTheAnswerLeniently() {
        QFETCH(QJsonObject, answer);
        QFETCH(QString, title);
        QFETCH(QString, department);
        QFETCH(QUrl, photo);
        app.script(path(QStringLiteral("Петров П.П.")), answer);
        show(QStringLiteral("Петров П.П."));
        QVERIFY(QTest::qWaitFor([&] { return !card->isLoading(); }, 10000));
        QCOMPARE(card->displayName(), title);
        QCOMPARE(card->tech().deparment, department);
        QCOMPARE(card->photoUrl(), photo);
    }

    void failureKeepsWaitingUntilShownAgain() {
        const QString name = standin::Server::demoTeacherName();
        app.server->setFault(QStringLiteral("GET"), path(name), fault::answer(503, "{}"));
        {
            LogCapture log;
            show(name);
            QVERIFY(QTest::qWaitFor([&] { return !log.lines.isEmpty(); }, 10000));
            QCOMPARE(log.lines, QStringList{QStringLiteral("HTTP Error: 503")});
        }
        QVERIFY(card->isLoading());
        QVERIFY(card->displayName().isEmpty());

        app.server->clearFaults();
        card->setActive(false);
        card->setActive(true);
        QVERIFY(QTest::qWaitFor([&] { return !card->isLoading(); }, 10000));
        QCOMPARE(app.gets(path(name)), 2);
        QVERIFY(!card->displayName().isEmpty());
    }

    void shortNameIsEscapedOnTheWire_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("target");
        QTest::newRow("cyrillic with initials")
            << "Иванов И.И."
            << "/api/teachers/%D0%98%D0%B2%D0%B0%D0%BD%D0%BE%D0%B2%20%D0%98.%D0%98.";
        QTest::newRow("hyphen and yo")
            << "Ёлкина-Смит Ж."
            << "/api/teachers/"
               "%D0%81%D0%BB%D0%BA%D0%B8%D0%BD%D0%B0-%D0%A1%D0%BC%D0%B8%D1%82%20%D0%96.";
    }
    void shortNameIsEscapedOnTheWire() {
        QFETCH(QString, name);
        QFETCH(QString, target);
        RawServer raw;
        QVERIFY(raw.listen(QHostAddress::LocalHost));
        auto tokens = std::make_shared<TokenStore>(app.dir.filePath(QStringLiteral("raw.ini")));
        tokens->write(QString::fromLatin1(TokenStore::accessKey), QStringLiteral("a"));
        CO co(QStringLiteral("http://127.0.0.1:%1").arg(raw.serverPort()), tokens);
        TeacherViewInfoModel rawCard;
        rawCard.setCo(&co);
        rawCard.setTeacherName(name);
        rawCard.setActive(true);
        QVERIFY(QTest::qWaitFor([&] { return !rawCard.isLoading(); }, 10000));
        QVERIFY2(raw.targets.contains(target), qPrintable(raw.targets.join(u' ')));
    }
};

QTEST_GUILESS_MAIN(TestTeacherCard)
#include "tst_teachercard.moc"
