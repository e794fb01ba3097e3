#include "DevicescreenModel.h"

#include "JsonRead.h"
#include "Log.h"

#include <QJsonArray>

DevicescreenModel::DevicescreenModel(QObject* parent)
    : ScreenModel(parent), m_allDevices(new RecordListModel<session>(this)) {}

void DevicescreenModel::appeared() {
    load();
}

void DevicescreenModel::load() {
    OrvelApi* client = api();
    if (!client)
        return;
    const LoadTicket ticket = m_loads.start(this);
    applyAnswerTask(client->getCurrentSession(), ticket, [this](const QJsonObject& answer) {
        m_myDevice = session::current(Json::object(answer, QStringLiteral("session")));
        m_myDeviceLoading = false;
    });
    applyAnswerTask(client->getSessions(), ticket, [this](const QJsonObject& answer) {
        QList<session> sessions;
        for (const QJsonValue& entry : Json::array(answer, QStringLiteral("sessions")))
            sessions.append(session::listed(entry.toObject()));
        m_allDevices->setItems(std::move(sessions));
        m_allDevicesLoading = false;
    });
}

QCoro::Task<void>
DevicescreenModel::applyAnswerTask(QCoro::Task<ApiResult> call, LoadTicket ticket,
                                   std::function<void(const QJsonObject&)> apply) {
    const ApiResult answer = co_await std::move(call);
    if (!ticket.alive())
        co_return;
    if (!answer.ok()) {
        Log::line(Log::home(), answer.error().description());
    } else if (ticket.current()) {
        apply(answer.value());
        emit changed();
    }
    emit settled();
}

void DevicescreenModel::askRevoke(qint64 id) {
    if (!m_myDeviceLoading && id == m_myDevice.id) {
        emit signOutRequested();
        return;
    }
    for (const session& s : allDevices())
        if (s.id == id)
            emit revokeRequested(id, s.device_name);
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
    const LoadTicket ticket = m_loads.start(this);
    m_myDeviceLoading = true;
    m_myDevice = session::placeholder();
    m_allDevices->setItems({});
    m_allDevicesLoading = true;
    emit changed();
    applyAnswerTask(client->revokeSession(id), ticket, [this](const QJsonObject&) { load(); });
}

void DevicescreenModel::signOut() {
    if (co())
        co()->logout();
}
