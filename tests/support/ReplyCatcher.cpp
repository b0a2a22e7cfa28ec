#include "support/ReplyCatcher.h"

#include <QTest>

Norvane::Api::Network::HttpClient::Callback ReplyCatcher::callback()
{
    return [this](const Norvane::Api::Network::ApiResponse &response) { m_responses.append(response); };
}

bool ReplyCatcher::wait(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&]() { return m_responses.size() >= count; }, timeoutMs);
}
