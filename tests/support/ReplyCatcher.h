#pragma once

#include "api/network/ApiResponse.h"
#include "api/network/HttpClient.h"

#include <QList>

// Collects the responses handed to HttpClient callbacks so a test can wait for them.
class ReplyCatcher
{
public:
    Norvane::Api::Network::HttpClient::Callback callback();
    bool wait(int count = 1, int timeoutMs = 10000) const;
    const QList<Norvane::Api::Network::ApiResponse> &responses() const { return m_responses; }
    const Norvane::Api::Network::ApiResponse &last() const { return m_responses.last(); }

private:
    QList<Norvane::Api::Network::ApiResponse> m_responses;
};
