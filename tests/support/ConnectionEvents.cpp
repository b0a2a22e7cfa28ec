#include "support/ConnectionEvents.h"

#include "api/services/VpnConnectionService.h"

#include <QTest>

using Norvane::Api::Services::VpnConnectionService;

ConnectionEvents::ConnectionEvents(VpnConnectionService *service)
{
    using State = VpnConnectionService::VpnConnectionState;
    using Reason = VpnConnectionService::ConnectionFailureReason;

    QObject::connect(service, &VpnConnectionService::connectionStateChanged, &m_context,
                     [this](State state) { texts << QStringLiteral("state:%1").arg(int(state)); });
    QObject::connect(service, &VpnConnectionService::connectionSuccess, &m_context,
                     [this]() { texts << QStringLiteral("success"); });
    QObject::connect(service, &VpnConnectionService::connectionFailed, &m_context,
                     [this](Reason reason, const QString &message) {
                         texts << QStringLiteral("failed:%1:%2").arg(int(reason)).arg(message);
                     });
    QObject::connect(service, &VpnConnectionService::disconnected, &m_context,
                     [this]() { texts << QStringLiteral("disconnected"); });
    QObject::connect(service, &VpnConnectionService::forceDisconnected, &m_context,
                     [this](const QString &message) { texts << QStringLiteral("forced:") + message; });
    QObject::connect(service, &VpnConnectionService::permissionDenied, &m_context,
                     [this](Reason reason, const QString &message) {
                         texts << QStringLiteral("denied:%1:%2").arg(int(reason)).arg(message);
                     });
    QObject::connect(service, &VpnConnectionService::connectionDurationChanged, &m_context,
                     [this](int seconds) { durations << seconds; });
    QObject::connect(service, &VpnConnectionService::trafficStatsChanged, &m_context,
                     [this]() { ++trafficChanges; });
    QObject::connect(service, &VpnConnectionService::latencyChanged, &m_context, [this]() { ++latencyChanges; });
}

bool ConnectionEvents::waitFor(const QString &text, int timeoutMs) const
{
    return QTest::qWaitFor([&]() { return texts.contains(text); }, timeoutMs);
}
