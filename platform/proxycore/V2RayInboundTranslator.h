#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>

namespace Norvane::Platform {

// The document's inbounds as v2ray inbounds: "mixed" becomes socks (no HTTP proxy: v2ray's
// socks inbound refuses it), "direct" a dokodemo-door that hands what the DNS outbound cannot
// answer itself to `forwardAddress` on port 53. Throws the problem's text.
class V2RayInboundTranslator
{
public:
    static QJsonArray translate(const QJsonArray &inbounds, const QString &forwardAddress,
                                QStringList *tags, QStringList *notes);
};

} // namespace Norvane::Platform
