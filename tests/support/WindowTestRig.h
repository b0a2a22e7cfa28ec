#pragma once

#include <QTemporaryDir>

#include <memory>

class ClientWindow;
class StandInMachine;

namespace Norvane::LocalBackend {
class ApiRoutes;
class LocalBackendServer;
}

// What an end-to-end test of the client's window runs on: a private home and temporary folder,
// the emulated machine of the platform's command stand-ins, the in-process local back end and
// the window itself, with the connection's timers shortened. The proxy core binds fixed ports,
// so these tests hold the ports' lock.
class WindowTestRig
{
public:
    WindowTestRig();
    ~WindowTestRig();
    WindowTestRig(const WindowTestRig &) = delete;
    WindowTestRig &operator=(const WindowTestRig &) = delete;

    // The folders, the machine and the back end's routes, which the test may change before
    // open(); false, with a warning, when the proxy core's ports are taken.
    bool prepare();
    // Serves the routes, points the client's services at them and opens the window.
    bool open();
    // Ends a connection that is still up and closes the window.
    void close();

    QTemporaryDir &tmp() { return m_tmp; }
    StandInMachine &machine() { return *m_machine; }
    Norvane::LocalBackend::ApiRoutes &routes() { return *m_routes; }
    // The server itself, for faults on its routes.
    Norvane::LocalBackend::LocalBackendServer &backend() { return *m_backend; }
    ClientWindow &client() const { return *m_client; }

private:
    QTemporaryDir m_tmp;
    std::unique_ptr<StandInMachine> m_machine;
    std::unique_ptr<Norvane::LocalBackend::LocalBackendServer> m_backend;
    std::unique_ptr<Norvane::LocalBackend::ApiRoutes> m_routes;
    std::unique_ptr<ClientWindow> m_client;
};
