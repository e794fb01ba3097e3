// A journey is a test whose functions are the steps of one person's use of the application,
// run in order on one window: each starts where the one before left off.
#pragma once
#include "AppDriver.h"

#include <QTest>

class Journey : public QObject {
    Q_OBJECT
  public:
    explicit Journey(const QString& name) : app(name) {}

  protected:
    AppDriver app;

  private:
    bool m_broken = false; // the steps after a failed one cannot start where they expect to

  private slots:
    void init() {
        if (m_broken)
            QSKIP("An earlier step failed");
    }
    void cleanup() {
        if (QTest::currentTestFailed() && app.window())
            app.picture(QStringLiteral("failed-") +
                        QString::fromLatin1(QTest::currentTestFunction()));
        m_broken |= QTest::currentTestFailed();
    }
    void cleanupTestCase() { // the window answered throughout
        qInfo("%s", qPrintable(app.stalls().report()));
        QVERIFY2(app.stalls().worstMs() <= StallMeter::boundMs,
                 qPrintable(app.stalls().worstStep()));
    }
};
