#pragma once
#include "CO.h"

#include <QCoroTask>
#include <QHash>
#include <QJsonValue>
#include <QObject>
#include <QSet>

// Writes preference values to the per-user store, one request at a time per key. A value
// chosen while an earlier one for the same key is still on its way waits for it and replaces
// any value already waiting, so the store ends with the last choice, whatever order parallel
// answers would have arrived in. Different keys are written independently.
//
// One writer per coordinator, living as long as it: a screen that closes right after a change
// does not lose the write. Values still waiting when the user signs out are dropped, so they
// never reach the next account signed in in this window.
class PreferenceWriter : public QObject {
    Q_OBJECT
  public:
    // The writer of `co`, made on first use.
    static PreferenceWriter* of(CO* co);

    void write(const QString& key, const QJsonValue& value);
    // Nothing in flight or waiting.
    bool idle() const { return m_busy.isEmpty(); }

  signals:
    // The last waiting value of `key` was written (or failed); for tests and diagnostics.
    void settled(const QString& key);

  private:
    explicit PreferenceWriter(CO* co);
    QCoro::Task<void> writeTask(QString key);

    CO* m_co;
    QHash<QString, QJsonValue> m_waiting;
    QSet<QString> m_busy;
};
