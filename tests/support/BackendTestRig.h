#pragma once

#include "localbackend/LocalBackendServer.h"

#include <QByteArray>
#include <QString>

#include <memory>

// What a suite of the client's services runs on: a private home and the local back end on
// 127.0.0.1 with the client pointed at it. The suite gives the back end the routes it needs;
// reset() takes back, between tests, what a test changed.
class BackendTestRig
{
public:
    BackendTestRig();
    ~BackendTestRig();
    BackendTestRig(const BackendTestRig &) = delete;
    BackendTestRig &operator=(const BackendTestRig &) = delete;

    // Isolates the process, makes the back end listen and points the client at it; false, with
    // a warning, when the back end cannot listen.
    bool start();
    // The client pointed at the back end again, no faults and no requests recorded.
    void reset();

    Norvane::LocalBackend::LocalBackendServer &backend() { return *m_backend; }
    const Norvane::LocalBackend::LocalBackendServer &backend() const { return *m_backend; }

    // The route gives this reply from now on.
    void answer(const QByteArray &method, const QString &pattern, const Norvane::LocalBackend::Reply &reply);
    // Until reset(), the route answers with this body (and status) in place of its own.
    void replaceBody(const QByteArray &method, const QString &pattern, const QByteArray &body);
    void replaceAnswer(const QByteArray &method, const QString &pattern, int status, const QByteArray &body);
    // Points the client at a port of 127.0.0.1 that refuses the connection.
    void refuseConnections();
    // A failure row's fault: the connection refused, or the route's answer replaced.
    void fail(const QByteArray &method, const QString &pattern, bool refused, int status, const QByteArray &body);

private:
    std::unique_ptr<Norvane::LocalBackend::LocalBackendServer> m_backend;
};
