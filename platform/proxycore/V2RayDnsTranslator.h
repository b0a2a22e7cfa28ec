#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace Norvane::Platform {

struct V2RayDnsSection
{
    QJsonObject config;       // v2ray's "dns"; empty when the document names no DNS server
    QJsonArray routingRules;  // routes of the DNS's own queries, to come before every other rule
    QString forwardAddress;   // the main server's host, for what a DNS inbound cannot answer itself
};

// The document's DNS as v2ray's. v2ray sends its DNS queries through the routing, not through a
// per-server detour, so each server used gets a rule for its queries, which carry the inbound tag
// `queryTag()`; those rules must come first, before the document's "port 53 goes to the DNS
// outbound" catches them. Throws the problem's text.
class V2RayDnsTranslator
{
public:
    static QString queryTag() { return QStringLiteral("dns-internal"); }

    static V2RayDnsSection translate(const QJsonObject &dns, const QStringList &outboundTags,
                                     const QString &defaultOutbound, QStringList *notes);
};

} // namespace Norvane::Platform
