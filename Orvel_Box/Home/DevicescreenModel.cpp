#include "DevicescreenModel.h"

#include "JsonRead.h"
#include "Log.h"

#include <QJsonArray>

void DevicescreenModel::appeared() {
    load();
}

void DevicescreenModel::load() {
    OrvelApi* client = api();
    if (!client)
        return;
    const quint64 generation = ++m_generation;
    store(client->getCurrentSession(), generation, [this](const QJsonObject& answer) {
        m_myDevice = session::current(Json::object(answer, QStringLiteral("session")));
        m_myDeviceLoading = false;
    });
    store(client->getSessions(), generation, [this](const QJsonObject& answer) {
        m_allDevices.clear();
        for (const QJsonValue& entry : Json::array(answer, QStringLiteral("sessions")))
            m_allDevices.append(session::listed(entry.toObject()));
        m_allDevicesLoading = false;
    });
}

QCoro::Task<void> DevicescreenModel::store(QCoro::Task<ApiResult> call, quint64 generation,
                                           std::function<void(const QJsonObject&)> apply) {
    QPointer<DevicescreenModel> self(this);
    const ApiResult answer = co_await std::move(call);
    if (!self)
        co_return;
    if (!answer.ok()) {
        Log::line(answer.error().description());
    } else if (generation == m_generation) {
        apply(answer.value());
        emit changed();
    }
    emit settled();
}

void DevicescreenModel::revoke(qint64 id) {
    // Ending our own session from the list would leave the application signed in with tokens
    // the service no longer accepts; that is a sign-out, so it goes through its confirmation.
    if (!m_myDeviceLoading && id == m_myDevice.id) {
        emit signOutRequested();
        return;
    }
    OrvelApi* client = api();
    if (!client)
        return;
    const quint64 generation = ++m_generation;
    m_myDeviceLoading = true;
    m_myDevice = session::placeholder();
    m_allDevices.clear();
    m_allDevicesLoading = true;
    emit changed();
    store(client->revokeSession(id), generation, [this](const QJsonObject&) { load(); });
}

void DevicescreenModel::signOut() {
    if (co())
        co()->startLogout();
}
