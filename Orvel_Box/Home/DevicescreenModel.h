#pragma once
#include "LoadTicket.h"
#include "RecordListModel.h"
#include "ScreenModel.h"
#include "session.h"

#include <QCoroTask>
#include <functional>

// The account's signed-in devices: this device, the service's session list, ending one
// session and signing out. Loads each time the screen is shown.
//
// Every load and every revoke takes a new ticket; an answer that comes back to a superseded
// ticket was overtaken and is dropped, so a slow answer never overwrites a newer list.
// A failed request is logged and leaves its block waiting.
class DevicescreenModel : public ScreenModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(session myDevice READ myDevice NOTIFY changed)
    Q_PROPERTY(bool myDeviceLoading READ myDeviceLoading NOTIFY changed)
    Q_PROPERTY(QAbstractListModel* allDevices READ allDevicesModel CONSTANT)
    Q_PROPERTY(bool allDevicesLoading READ allDevicesLoading NOTIFY changed)
  public:
    explicit DevicescreenModel(QObject* parent = nullptr);

    session myDevice() const { return m_myDevice; }
    bool myDeviceLoading() const { return m_myDeviceLoading; }
    const QList<session>& allDevices() const { return m_allDevices->items(); }
    QAbstractListModel* allDevicesModel() const { return m_allDevices; }
    bool allDevicesLoading() const { return m_allDevicesLoading; }

    // What a card's button, menu item or Delete key does: asks the view to confirm ending the
    // session (revokeRequested), or to confirm signing out when it is this device's own.
    Q_INVOKABLE void askRevoke(qint64 id);
    // Ends the session `id` on the service, then loads both blocks again. Ending the session
    // this application runs on asks for the sign-out confirmation instead.
    Q_INVOKABLE void revoke(qint64 id);
    // Signs out of the application (the confirmed dialog).
    Q_INVOKABLE void signOut();

  signals:
    void changed();
    // The user asked to end this device's own session: the view confirms, then signs out.
    void signOutRequested();
    // The user asked to end another device's session: the view confirms, then calls revoke.
    void revokeRequested(qint64 id, const QString& deviceName);
    // A load or revoke finished, failed or was dropped; for tests and diagnostics.
    void settled();

  protected:
    void appeared() override;

  private:
    void load();
    // Awaits one load's answer and hands it to `apply` unless a newer load or a revoke has
    // started since.
    QCoro::Task<void> applyAnswerTask(QCoro::Task<ApiResult> call, LoadTicket ticket,
                                      std::function<void(const QJsonObject&)> apply);

    session m_myDevice = session::placeholder();
    bool m_myDeviceLoading = true;
    RecordListModel<session>* m_allDevices;
    bool m_allDevicesLoading = true;
    LoadTickets m_loads;
};
