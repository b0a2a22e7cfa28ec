#include "support/WindowTestRig.h"

#include "api/network/HttpClient.h"
#include "api/services/ApiManager.h"
#include "api/services/HeartbeatService.h"
#include "api/services/VpnConnectionService.h"
#include "api/vpn/SystemProxyBackup.h"
#include "api/vpn/V2RayCore.h"
#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "support/ClientWindow.h"
#include "support/LocalPort.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"

#include <QDebug>

using namespace Norvane::Api;
using Norvane::LocalBackend::ApiRoutes;
using Norvane::LocalBackend::LocalBackendServer;

WindowTestRig::WindowTestRig() = default;

WindowTestRig::~WindowTestRig() = default;

bool WindowTestRig::prepare()
{
    TestEnvironment::isolate();
    if (!m_tmp.isValid())
        return false;
    qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
    if (!LocalPort::isFree(10315) || !LocalPort::isFree(16450)) {
        qWarning("ports 10315 and 16450 of 127.0.0.1 are taken by another program");
        return false;
    }
    m_machine = std::make_unique<StandInMachine>();
    if (Vpn::SystemProxyBackup::isActive())
        Vpn::SystemProxyBackup::release();
    m_backend = std::make_unique<LocalBackendServer>();
    m_routes = std::make_unique<ApiRoutes>(*m_backend);
    return true;
}

bool WindowTestRig::open()
{
    if (!m_backend->listen())
        return false;
    Network::HttpClient::instance()->setBaseUrl(m_backend->baseUrl().toString());
    ApiManager::instance()->initialize([](bool) {});
    Services::VpnConnectionService::instance()->proxyCore()->setConnectDelay(500);
    Services::HeartbeatService::instance()->setDefaultIntervalMs(200);
    m_client = std::make_unique<ClientWindow>();
    return m_client->open();
}

void WindowTestRig::close()
{
    Services::VpnConnectionService::instance()->disconnect();
    m_client.reset();
}
