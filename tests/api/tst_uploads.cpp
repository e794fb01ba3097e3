// Multipart bodies: exact bytes, names that try to break out of their quotes, fresh boundaries,
// refused MIME types and the same body sent again after a token refresh.
#include "ApiTestSupport.h"
#include "TestSupport.h"

Q_DECLARE_METATYPE(MultipartFields)
Q_DECLARE_METATYPE(QList<MultipartFile>)

class TestUploads : public QObject {
    Q_OBJECT
    std::unique_ptr<standin::Server> server;

  private slots:
    void init() {
        server = std::make_unique<standin::Server>();
        QVERIFY(server->listen());
    }
    void cleanup() { server.reset(); }

    void bodyBytes_data() {
        QTest::addColumn<MultipartFields>("fields");
        QTest::addColumn<QList<MultipartFile>>("files");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray binary("\r\n--Boundary-T\r\n\0\xff", 18);

        QTest::newRow("nothing: the closing line alone")
            << MultipartFields{} << QList<MultipartFile>{} << QByteArray("--Boundary-T--\r\n");
        QTest::newRow("one file")
            << MultipartFields{} << QList<MultipartFile>{{"avatar", "a.png", "image/png", "PNG"}}
            << QByteArray("--Boundary-T\r\n"
                          "Content-Disposition: form-data; name=\"avatar\"; filename=\"a.png\"\r\n"
                          "Content-Type: image/png\r\n\r\n"
                          "PNG\r\n"
                          "--Boundary-T--\r\n");
        QTest::newRow("fields first, then files in order, bytes untouched")
            << MultipartFields{{"text", "Привет\r\nмир \"в кавычках\""}, {"reply_to_id", "31"}}
            << QList<MultipartFile>{{"media", "снимок.jpg", "image/jpeg", binary},
                                    {"media", "пусто.txt", "text/plain; charset=utf-8", {}}}
            << QByteArray(
                   "--Boundary-T\r\n"
                   "Content-Disposition: form-data; name=\"text\"\r\n\r\n"
                   "Привет\r\nмир \"в кавычках\"\r\n"
                   "--Boundary-T\r\n"
                   "Content-Disposition: form-data; name=\"reply_to_id\"\r\n\r\n"
                   "31\r\n"
                   "--Boundary-T\r\n"
                   "Content-Disposition: form-data; name=\"media\"; filename=\"снимок.jpg\"\r\n"
                   "Content-Type: image/jpeg\r\n\r\n") +
                   binary +
                   QByteArray(
                       "\r\n"
                       "--Boundary-T\r\n"
                       "Content-Disposition: form-data; name=\"media\"; filename=\"пусто.txt\"\r\n"
                       "Content-Type: text/plain; charset=utf-8\r\n\r\n"
                       "\r\n"
                       "--Boundary-T--\r\n");
        QTest::newRow("quote in a file name cannot add a parameter")
            << MultipartFields{}
            << QList<MultipartFile>{{"photo", "x.png\"; name=\"admin", "image/png", "1"}}
            << QByteArray("--Boundary-T\r\n"
                          "Content-Disposition: form-data; name=\"photo\"; filename=\"x.png%22; "
                          "name=%22admin\"\r\n"
                          "Content-Type: image/png\r\n\r\n1\r\n--Boundary-T--\r\n");
        QTest::newRow("line breaks in a file name cannot add headers")
            << MultipartFields{}
            << QList<MultipartFile>{{"photo", "a\r\nContent-Type: text/html\r\n\r\n<b>",
                                     "image/png", "1"}}
            << QByteArray("--Boundary-T\r\n"
                          "Content-Disposition: form-data; name=\"photo\"; "
                          "filename=\"a%0D%0AContent-Type: text/html%0D%0A%0D%0A<b>\"\r\n"
                          "Content-Type: image/png\r\n\r\n1\r\n--Boundary-T--\r\n");
        QTest::newRow("hostile field names, values as they are")
            << MultipartFields{{"a\"b", "v\"1"}, {"c\nd\re", "v\r\n2"}} << QList<MultipartFile>{}
            << QByteArray("--Boundary-T\r\n"
                          "Content-Disposition: form-data; name=\"a%22b\"\r\n\r\nv\"1\r\n"
                          "--Boundary-T\r\n"
                          "Content-Disposition: form-data; name=\"c%0Ad%0De\"\r\n\r\nv\r\n2\r\n"
                          "--Boundary-T--\r\n");
        QTest::newRow("non-ASCII names are plain UTF-8, other characters untouched")
            << MultipartFields{{"подпись", "ок"}}
            << QList<MultipartFile>{{"фото", "Ё 100% ;=\\.png", "image/png", "1"}}
            << QByteArray(
                   "--Boundary-T\r\n"
                   "Content-Disposition: form-data; name=\"подпись\"\r\n\r\nок\r\n"
                   "--Boundary-T\r\n"
                   "Content-Disposition: form-data; name=\"фото\"; filename=\"Ё 100% ;=\\.png\"\r\n"
                   "Content-Type: image/png\r\n\r\n1\r\n--Boundary-T--\r\n");
    }
    void bodyBytes() {
        QFETCH(MultipartFields, fields);
        QFETCH(QList<MultipartFile>, files);
        QFETCH(QByteArray, expected);
        QCOMPARE(buildMultipartBody(fields, files, QStringLiteral("Boundary-T")), expected);
    }

    // Each request gets its own boundary, and the one announced in Content-Type is the one that
    // delimits the body.
    void everyRequestHasItsOwnBoundary() {
        auto api = signedInStudent(*server);
        QVERIFY(await(api->uploadAvatar("A", "a.png", "image/png")));
        QVERIFY(await(api->uploadAvatar("A", "a.png", "image/png")));
        const auto log = server->requests();
        QCOMPARE(log.size(), 2);
        QStringList seen;
        for (const auto& req : log) {
            const QString b = boundaryOf(req.headers.value("content-type"));
            QVERIFY2(isBoundary(b), req.headers.value("content-type").constData());
            QVERIFY(req.body.startsWith("--" + b.toLatin1() + "\r\n"));
            QVERIFY(req.body.endsWith("\r\n--" + b.toLatin1() + "--\r\n"));
            seen.append(b);
        }
        QVERIFY(seen.at(0) != seen.at(1));
    }

    // A MIME type is written as a header line of its part: a line break in it is refused before
    // anything goes out. Other odd but harmless types are sent.
    void lineBreakInMimeTypeIsRefused_data() {
        QTest::addColumn<Call>("call");
        QTest::addColumn<bool>("sent");
        QTest::newRow("avatar, injected header") << Call([](OrvelApi& a) {
            return a.uploadAvatar("1", "a.png", "image/png\r\nX-Injected: 1");
        }) << false;
        QTest::newRow("teacher photo, bare LF") << Call([](OrvelApi& a) {
            return a.uploadTeacherPhoto("Иванов И.И.", "1", "a.jpg", "image/jpeg\n");
        }) << false;
        QTest::newRow("chat avatar, bare CR")
            << Call([](OrvelApi& a) { return a.uploadChatAvatar(4, "1", "a.png", "\r"); }) << false;
        QTest::newRow("second attachment of a message") << Call([](OrvelApi& a) {
            return a.sendMessage(4, "hi", std::nullopt,
                                 {{"1", "a.png", "image/png"}, {"2", "b.gif", "image/gif\r\n"}});
        }) << false;
        QTest::newRow("parameters and quotes are fine") << Call([](OrvelApi& a) {
            return a.uploadAvatar("1", "a.txt", "text/plain; charset=\"utf-8\"");
        }) << true;
    }
    void lineBreakInMimeTypeIsRefused() {
        QFETCH(Call, call);
        QFETCH(bool, sent);
        auto api = signedInStudent(*server);
        const auto r = await(call(*api));
        QVERIFY(r);
        QCOMPARE(server->requests().size(), sent ? 1 : 0);
        if (!sent) {
            QVERIFY(!r->ok());
            QVERIFY(r->error().is(OrvelApiError::invalidParams));
            QCOMPARE(r->error().description(), QStringLiteral("Invalid parameters"));
        }
    }

    void sameBodyIsSentAgainAfterRefresh() {
        auto api = signedInStudent(*server);
        server->expireAccessTokens();
        server->clearLog();
        const auto r = await(api->sendMessage(4, "Привет", 7, {{"PNG\r\n", "a.png", "image/png"}}));
        QVERIFY(r);
        QVERIFY2(r->ok(), r->ok() ? "" : qPrintable(r->error().description()));
        QCOMPARE(server->count(QStringLiteral("POST"), QStringLiteral("/api/auth/refresh")), 1);
        QList<standin::LoggedRequest> sends;
        for (const auto& req : server->requests())
            if (req.path == u"/api/messenger/chats/4/messages")
                sends.append(req);
        QCOMPARE(sends.size(), 2);
        QCOMPARE(sends.at(1).headers.value("content-type"),
                 sends.at(0).headers.value("content-type"));
        QCOMPARE(sends.at(1).body, sends.at(0).body);
        QVERIFY(sends.at(1).body.contains("PNG\r\n\r\n--Boundary-"));
        QVERIFY(sends.at(1).headers.value("authorization") !=
                sends.at(0).headers.value("authorization"));
    }
};

QTEST_GUILESS_MAIN(TestUploads)
#include "tst_uploads.moc"
