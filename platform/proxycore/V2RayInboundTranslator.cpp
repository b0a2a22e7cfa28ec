#include "proxycore/V2RayInboundTranslator.h"

#include "proxycore/JsonFields.h"

#include <QHostAddress>
#include <QJsonObject>

namespace Norvane::Platform {

QJsonArray V2RayInboundTranslator::translate(const QJsonArray &inbounds, const QString &forwardAddress,
                                             QStringList *tags, QStringList *notes)
{
    QJsonArray result;
    for (const JsonFields &inbound : JsonFields::elements(inbounds, QStringLiteral("inbounds"))) {
        inbound.allowOnly({"listen", "listen_port", "set_system_proxy", "sniff", "sniff_override_destination",
                           "tag", "type"});
        const QString type = inbound.string("type");
        const QString tag = inbound.string("tag");
        if (tags->contains(tag))
            inbound.fail(QStringLiteral("the tag \"%1\" is used twice").arg(tag));
        tags->append(tag);
        const QString listen = inbound.string("listen");
        if (QHostAddress(listen).isNull())
            inbound.fail(QStringLiteral("\"listen\" is not an IP address: %1").arg(listen));
        if (inbound.boolean("set_system_proxy", false))
            inbound.fail(QStringLiteral("\"set_system_proxy\" cannot be done by the core; the client sets the system proxy"));

        QJsonObject translated{{"tag", tag}, {"listen", listen}, {"port", inbound.port("listen_port")}};
        if (type == QLatin1String("mixed")) {
            translated.insert("protocol", "socks");
            translated.insert("settings", QJsonObject{{"auth", "noauth"}, {"udp", true}, {"ip", listen}});
        } else if (type == QLatin1String("direct")) {
            if (forwardAddress.isEmpty())
                inbound.fail(QStringLiteral("a \"direct\" inbound needs a DNS server to forward to"));
            translated.insert("protocol", "dokodemo-door");
            translated.insert("settings", QJsonObject{{"address", forwardAddress}, {"port", 53},
                                                      {"network", "tcp,udp"}});
        } else {
            inbound.fail(QStringLiteral("inbound type \"%1\" cannot be mapped to v2ray").arg(type));
        }

        const bool sniff = inbound.boolean("sniff", false);
        const bool overrideDestination = inbound.boolean("sniff_override_destination", false);
        if (sniff && overrideDestination) {
            translated.insert("sniffing", QJsonObject{{"enabled", true},
                                                      {"destOverride", QJsonArray{"http", "tls"}}});
        } else if (sniff) {
            // v2ray 4.34 sniffs only to replace the destination.
            notes->append(QStringLiteral("%1: sniffing without overriding the destination has no "
                                         "equivalent in v2ray 4.34; not sniffing")
                              .arg(inbound.where()));
        }
        result.append(translated);
    }
    if (result.isEmpty())
        throw QStringLiteral("the document has no inbounds");
    return result;
}

} // namespace Norvane::Platform
