#include "PreferenceWriter.h"

#include "Log.h"

#include <QPointer>

PreferenceWriter::PreferenceWriter(CO* co) : QObject(co), m_co(co) {
    connect(co, &CO::appStateChanged, this, [this] {
        if (m_co->appState() != CO::appStates::home)
            m_waiting.clear();
    });
}

PreferenceWriter* PreferenceWriter::of(CO* co) {
    if (auto* existing = co->findChild<PreferenceWriter*>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new PreferenceWriter(co);
}

void PreferenceWriter::write(const QString& key, const QJsonValue& value) {
    m_waiting.insert(key, value);
    if (m_busy.contains(key))
        return;
    m_busy.insert(key);
    writeTask(key);
}

QCoro::Task<void> PreferenceWriter::writeTask(QString key) {
    QPointer<PreferenceWriter> self(this);
    while (m_waiting.contains(key)) {
        const QJsonValue value = m_waiting.take(key);
        const ApiResult answer = co_await m_co->api()->storageSet(key, value);
        if (!self)
            co_return;
        if (!answer.ok())
            Log::line(Log::session(), answer.error().description());
    }
    m_busy.remove(key);
    emit settled(key);
}
