#pragma once

#include <QJsonArray>
#include <QStringList>

namespace Norvane::Platform {

// The document's outbounds as v2ray outbounds: vmess (with its ws and TLS stream settings),
// "dns", "direct" (freedom) and "block" (blackhole). Throws the problem's text.
class V2RayOutboundTranslator
{
public:
    // `tags` receives the outbound tags in document order.
    static QJsonArray translate(const QJsonArray &outbounds, QStringList *tags);
};

} // namespace Norvane::Platform
