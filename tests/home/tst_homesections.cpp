// The home screen as drawn, each section in light and dark on a desktop and on a phone, and
// the news sheet driven by mouse and keyboard. Pictures go to the artefact folder.
#include "HomeScene.h"
#include "NewsScreenModel.h"
#include "SystemColors.h"

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(OrvelBox_TimetablePlugin)
Q_IMPORT_QML_PLUGIN(OrvelBox_HomePlugin)

using home::Shown;

namespace {
class KeySink : public QQuickItem {
  public:
    explicit KeySink(QQuickItem* parent) : QQuickItem(parent) { setFlag(ItemIsFocusScope); }

  protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
            e->accept();
            return true;
        }
        return QQuickItem::event(e);
    }
};

const char* const sectionNames[] = {"timetableSection", "newsSection", "menuSection"};

// Lets short animations end, then takes the picture and leaves a copy in the artefacts.
QImage picture(Shown& s, const QString& name) {
    if (!s.picturesArrived())
        qWarning("Some pictures were still loading");
    QTest::qWait(300);
    const QImage image = s.scene->grab();
    image.save(artifactDir() + QLatin1Char('/') + name + QStringLiteral(".png"));
    return image;
}
} // namespace

class TestHomeSections : public QObject {
    Q_OBJECT
    SignedInWindow app;

    static QSize windowFor(const QString& idiom) {
        return idiom == u"phone" ? QSize(390, 780) : QSize(1000, 700);
    }
    Shown show(const QString& scheme, const QString& idiom, const QString& accent = "blue") {
        QVariantMap settings = app.root->preferences()->settings();
        settings.insert(QStringLiteral("settings__theme"), scheme);
        settings.insert(QStringLiteral("settings__accent_color"), *SystemColors::named(accent));
        settings.insert(QStringLiteral("settings__accent_color_string"), accent);
        app.root->preferences()->setSettings(settings);
        return home::show(app, idiom, windowFor(idiom));
    }
    // Shows section `index` and waits until its content is there.
    static bool open(Shown& s, int index) {
        s.press(Qt::Key_1 + index, Qt::ControlModifier);
        const QString name = QString::fromLatin1(sectionNames[index]);
        if (!QTest::qWaitFor([&] { return s.visibleItem(name) != nullptr; }, 5000))
            return false;
        switch (index) {
        case 0:
            return QTest::qWaitFor(
                [&] {
                    const QString state =
                        s.modelOf<QObject>(name)->property("screenState").toString();
                    return state == u"lessons" || state == u"rest";
                },
                10000);
        case 1:
            return QTest::qWaitFor([&] { return !s.modelOf<NewsScreenModel>(name)->isLoading(); },
                                   10000);
        default:
            return QTest::qWaitFor([&] { return !s.model()->meInformationLoading(); }, 10000);
        }
    }
    NewsScreenModel* news(Shown& s) const {
        return s.modelOf<NewsScreenModel>(QStringLiteral("newsSection"));
    }
    QObject* sheet(Shown& s) const {
        return s.visibleItem(QStringLiteral("newsSection"))->property("sheet").value<QObject*>();
    }
    QQuickItem* page(Shown& s) const { return sheet(s)->property("page").value<QQuickItem*>(); }

  private slots:
    void initTestCase() { QVERIFY(home::start(app)); }
    void cleanupTestCase() { app.stop(); }
    void init() { app.server->clearFaults(); }

    void sections_data() {
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("idiom");
        for (int section = 0; section < 3; ++section)
            for (const char* scheme : {"light", "dark"})
                for (const char* idiom : {"pad", "phone"})
                    QTest::addRow("%s %s %s", sectionNames[section], scheme, idiom)
                        << section << scheme << idiom;
    }
    void sections() {
        QFETCH(int, section);
        QFETCH(QString, scheme);
        QFETCH(QString, idiom);
        Shown s = show(scheme, idiom);
        QVERIFY(s.scene);
        QVERIFY(open(s, section));
        const QString name =
            QStringLiteral("home-%1-%2-%3")
                .arg(QString::fromLatin1(sectionNames[section]).chopped(int(qstrlen("Section"))),
                     scheme, idiom);
        const QImage image = picture(s, name);
        const bool dark = scheme == u"dark";
        // The scheme reaches the whole window, and the selected section is marked in blue.
        QVERIFY(pixelsNear(image, *SystemColors::named(u"systemBackground", dark), 4) >
                image.width() * 20);
        QVERIFY(pixelsNear(image, *SystemColors::named(u"blue"), 6) > 40);
    }

    void newsWaitsForItsFirstList() {
        standin::Fault down;
        down.status = 503;
        app.server->setFault(QStringLiteral("GET"),
                             QStringLiteral("/api/collections/site_news/records"), down);
        LogCapture log;
        Shown s = show(QStringLiteral("light"), QStringLiteral("pad"));
        QVERIFY(s.scene);
        s.press(Qt::Key_2, Qt::ControlModifier);
        QTRY_VERIFY(s.visibleItem(QStringLiteral("newsSection")));
        QSignalSpy finished(news(s), &NewsScreenModel::loadFinished);
        QVERIFY(finished.wait(10000));
        QVERIFY(s.visibleItem(QStringLiteral("newsLoading")));
        QVERIFY(!s.visibleItem(QStringLiteral("newsList")));
        QVERIFY(log.lines.contains(QStringLiteral("HTTP Error: 503")));
        picture(s, QStringLiteral("home-news-waiting"));
    }

    // A card opens its page in a sheet, by mouse or by Return; Escape and the close button
    // dismiss it, and the web view goes with the sheet.
    void cardOpensItsPage_data() {
        QTest::addColumn<QString>("idiom");
        QTest::addColumn<bool>("byKey");
        QTest::newRow("pad, keyboard") << "pad" << true;
        QTest::newRow("phone, mouse") << "phone" << false;
    }
    void cardOpensItsPage() {
        QFETCH(QString, idiom);
        QFETCH(bool, byKey);
        Shown s = show(QStringLiteral("dark"), idiom, QStringLiteral("orange"));
        QVERIFY(s.scene);
        QVERIFY(open(s, 1));
        QVERIFY(!page(s));
        QQuickItem* list = s.visibleItem(QStringLiteral("newsList"));
        if (byKey)
            s.press(Qt::Key_Return);
        else
            QTest::mouseClick(&s.scene->window(), Qt::LeftButton, {},
                              list->mapToScene(QPointF(list->width() / 2, 220)).toPoint());
        QTRY_VERIFY(sheet(s)->property("opened").toBool());
        const News first = news(s)->news().first();
        QCOMPARE(news(s)->selectedNews().id, first.id);
        QVERIFY(page(s));
        QCOMPARE(page(s)->property("url").toUrl(), first.pageUrl());
        QCOMPARE(page(s)->property("view").value<QObject*>()->property("url").toUrl(),
                 first.pageUrl());
        picture(s, QStringLiteral("home-news-page-") + idiom);

        if (byKey) {
            // A page that has the keyboard takes every key press it is sent, as the web engine
            // does.
            KeySink sink(page(s));
            sink.forceActiveFocus();
            s.press(Qt::Key_Escape);
        } else {
            QQuickItem* close = s.visibleItem(QStringLiteral("sheetClose"));
            QTest::mouseClick(&s.scene->window(), Qt::LeftButton, {},
                              close->mapToScene(QPointF(15, 15)).toPoint());
        }
        QTRY_VERIFY(!sheet(s)->property("visible").toBool());
        QVERIFY(!news(s)->hasSelection());
        QVERIFY(!page(s));
    }
};

QTEST_MAIN(TestHomeSections)
#include "tst_homesections.moc"
