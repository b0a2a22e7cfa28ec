#pragma once

#include "api/vpn/VmessConfig.h"

#include <QJsonObject>

namespace Norvane::Api::Vpn {

// The proxy core's configuration: a local mixed proxy and a DNS inbound in front of one vmess
// server, with global or smart (domestic traffic direct) routing.
class CoreConfigDocument
{
public:
    static constexpr int kMixedPort = 10315;
    static constexpr int kDnsPort = 16450;

    static QJsonObject build(const VmessConfig &config);
};

} // namespace Norvane::Api::Vpn
