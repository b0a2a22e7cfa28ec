#include "support/BackendTestRig.h"

#include "api/network/HttpClient.h"
#include "support/RefusedBaseUrl.h"
#include "support/TestEnvironment.h"

#include <QDebug>

using Norvane::Api::Network::HttpClient;
using Norvane::LocalBackend::Fault;
using Norvane::LocalBackend::LocalBackendServer;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

BackendTestRig::BackendTestRig() = default;

BackendTestRig::~BackendTestRig() = default;

bool BackendTestRig::start()
{
    TestEnvironment::isolate();
    m_backend = std::make_unique<LocalBackendServer>();
    if (!m_backend->listen()) {
        qWarning("the local back end cannot listen on 127.0.0.1");
        return false;
    }
    HttpClient::instance()->setBaseUrl(m_backend->baseUrl().toString());
    return true;
}

void BackendTestRig::reset()
{
    HttpClient::instance()->setBaseUrl(m_backend->baseUrl().toString());
    m_backend->clearFaults();
    m_backend->clearRequests();
}

void BackendTestRig::answer(const QByteArray &method, const QString &pattern, const Reply &reply)
{
    m_backend->route(method, pattern, [reply](const RecordedRequest &) { return reply; });
}

void BackendTestRig::replaceBody(const QByteArray &method, const QString &pattern, const QByteArray &body)
{
    Fault fault;
    fault.body = body;
    m_backend->setFault(method, pattern, fault);
}

void BackendTestRig::replaceAnswer(const QByteArray &method, const QString &pattern, int status,
                                   const QByteArray &body)
{
    Fault fault;
    fault.status = status;
    fault.body = body;
    m_backend->setFault(method, pattern, fault);
}

void BackendTestRig::refuseConnections()
{
    HttpClient::instance()->setBaseUrl(refusedBaseUrl());
}

void BackendTestRig::fail(const QByteArray &method, const QString &pattern, bool refused, int status,
                          const QByteArray &body)
{
    if (refused)
        refuseConnections();
    else
        replaceAnswer(method, pattern, status, body);
}
