#include "proxycore/V2RayOutboundTranslator.h"

#include "proxycore/JsonFields.h"

#include <QJsonObject>
#include <QUuid>

namespace Norvane::Platform {

namespace {

const QStringList kVmessSecurities = {"auto", "none", "zero", "aes-128-gcm", "chacha20-poly1305"};

QJsonObject tlsSettings(const JsonFields &tls, const QString &server)
{
    return {{"serverName", tls.optionalString("server_name", server)},
            {"allowInsecure", tls.boolean("insecure", false)}};
}

QJsonObject wsSettings(const JsonFields &transport)
{
    transport.allowOnly({"headers", "path", "type"});
    const QString type = transport.string("type");
    if (type != QLatin1String("ws"))
        transport.fail(QStringLiteral("transport type \"%1\" cannot be mapped to v2ray").arg(type));

    QJsonObject settings{{"path", transport.optionalString("path", {})}};
    if (settings.value("path").toString().isEmpty())
        settings.insert("path", QStringLiteral("/"));
    const JsonFields headers(transport.object("headers"), transport.where() + QStringLiteral(".headers"));
    QJsonObject headerValues;
    for (const QString &name : transport.object("headers").keys())
        headerValues.insert(name, headers.string(name));
    if (!headerValues.isEmpty())
        settings.insert("headers", headerValues);
    return settings;
}

QJsonObject vmess(const JsonFields &outbound)
{
    outbound.allowOnly({"alter_id", "security", "server", "server_port", "tag", "tls", "transport",
                        "type", "uuid"});
    const QString server = outbound.string("server");
    const QString uuid = outbound.string("uuid");
    if (QUuid::fromString(uuid).isNull())
        outbound.fail(QStringLiteral("\"uuid\" is not a UUID: %1").arg(uuid));
    QString security = outbound.optionalString("security", QStringLiteral("auto"));
    if (security.isEmpty())
        security = QStringLiteral("auto");
    if (!kVmessSecurities.contains(security))
        outbound.fail(QStringLiteral("vmess security \"%1\" is not one of %2")
                          .arg(security, kVmessSecurities.join(QStringLiteral(", "))));

    const QJsonObject user{{"id", uuid}, {"alterId", outbound.integer("alter_id", 0)}, {"security", security}};
    const QJsonObject vnext{{"address", server}, {"port", outbound.port("server_port")},
                            {"users", QJsonArray{user}}};

    QJsonObject stream{{"network", "tcp"}, {"security", "none"}};
    const JsonFields tls(outbound.object("tls"), outbound.where() + QStringLiteral(".tls"));
    tls.allowOnly({"enabled", "insecure", "server_name"});
    if (tls.boolean("enabled", false)) {
        stream.insert("security", "tls");
        stream.insert("tlsSettings", tlsSettings(tls, server));
    }
    if (outbound.has("transport")) {
        stream.insert("network", "ws");
        stream.insert("wsSettings",
                      wsSettings(JsonFields(outbound.object("transport"), outbound.where() + ".transport")));
    }
    return {{"protocol", "vmess"},
            {"settings", QJsonObject{{"vnext", QJsonArray{vnext}}}},
            {"streamSettings", stream}};
}

} // namespace

QJsonArray V2RayOutboundTranslator::translate(const QJsonArray &outbounds, QStringList *tags)
{
    QJsonArray result;
    for (const JsonFields &outbound : JsonFields::elements(outbounds, QStringLiteral("outbounds"))) {
        const QString type = outbound.string("type");
        const QString tag = outbound.string("tag");
        if (tags->contains(tag))
            outbound.fail(QStringLiteral("the tag \"%1\" is used twice").arg(tag));
        tags->append(tag);

        QJsonObject translated;
        if (type == QLatin1String("vmess")) {
            translated = vmess(outbound);
        } else {
            outbound.allowOnly({"tag", "type"});
            if (type == QLatin1String("dns"))
                translated = {{"protocol", "dns"}};
            else if (type == QLatin1String("direct"))
                // Names sent direct resolve through the document's DNS, as the document means.
                translated = {{"protocol", "freedom"}, {"settings", QJsonObject{{"domainStrategy", "UseIP"}}}};
            else if (type == QLatin1String("block"))
                translated = {{"protocol", "blackhole"}};
            else
                outbound.fail(QStringLiteral("outbound type \"%1\" cannot be mapped to v2ray").arg(type));
        }
        translated.insert("tag", tag);
        result.append(translated);
    }
    if (result.isEmpty())
        throw QStringLiteral("the document has no outbounds");
    return result;
}

} // namespace Norvane::Platform
