#pragma once

#include "localbackend/LocalBackendServer.h"
#include "support/BackendTestRig.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

class ConnectionEvents;
class StandInMachine;

// What a suite of the connection service runs on: a private temporary folder (the core's
// configuration file has one fixed name there), the fake proxy core under resources/vpn, which
// logs each of its runs, the platform's command stand-ins, and the local back end, which answers
// every heartbeat with an active device unless a test gives it another answer.
class ConnectionTestRig
{
public:
    static constexpr int kConnectDelayMs = 200;

    ConnectionTestRig();
    ~ConnectionTestRig();
    ConnectionTestRig(const ConnectionTestRig &) = delete;
    ConnectionTestRig &operator=(const ConnectionTestRig &) = delete;

    // The folders, the fake core and the back end, once per suite; false, with a warning, when
    // one of them cannot be made. Shortens nothing.
    bool prepare();
    // Before each test: no core log and no configuration file, the core's connect delay
    // shortened and its traffic tick out of the way, a fresh machine and event record, and
    // every test a sign-in of a VIP user of its own.
    void reset();
    // After each test: the connection ended and every beat still on its way arrived.
    void finish();

    // The suite's own folder, which holds resources/vpn/x32/xray.exe.
    QString folder() const { return m_dir.path(); }
    QString coreLogPath() const { return m_coreLog; }
    QString configPath() const;
    StandInMachine &machine() { return *m_machine; }
    ConnectionEvents &events() { return *m_events; }
    Norvane::LocalBackend::LocalBackendServer &backend() { return m_backend.backend(); }
    // Until the next reset(), every heartbeat gets this answer.
    void setHeartbeatReply(const Norvane::LocalBackend::Reply &reply) { m_heartbeatReply = reply; }

    bool connectAndWait(int serverId, const QString &link);
    // The heartbeats' bodies as the back end received them, and their connection statuses.
    QList<QJsonObject> beats() const;
    QStringList beatStatuses() const;

private:
    QTemporaryDir m_dir;
    QString m_resources;
    QString m_coreLog;
    BackendTestRig m_backend;
    std::unique_ptr<StandInMachine> m_machine;
    std::unique_ptr<ConnectionEvents> m_events;
    std::optional<Norvane::LocalBackend::Reply> m_heartbeatReply;
};
