#include "proxycore/V2RayRouteTranslator.h"

#include "proxycore/JsonFields.h"

#include <QHostAddress>

namespace Norvane::Platform {

namespace {

QJsonArray fieldRules(const JsonFields &rule, const QStringList &inboundTags, const QStringList &outboundTags)
{
    rule.allowOnly({"domain_suffix", "inbound", "ip_cidr", "outbound", "port"});
    const QString outbound = rule.string("outbound");
    if (!outboundTags.contains(outbound))
        rule.fail(QStringLiteral("outbound \"%1\" is not an outbound tag").arg(outbound));
    QJsonObject common{{"type", "field"}, {"outboundTag", outbound}};

    const QStringList inbounds = rule.stringList("inbound");
    for (const QString &inbound : inbounds) {
        if (!inboundTags.contains(inbound))
            rule.fail(QStringLiteral("inbound \"%1\" is not an inbound tag").arg(inbound));
    }
    if (!inbounds.isEmpty())
        common.insert("inboundTag", QJsonArray::fromStringList(inbounds));
    QStringList ports;
    for (int port : rule.portList("port"))
        ports.append(QString::number(port));
    if (!ports.isEmpty())
        common.insert("port", ports.join(QLatin1Char(',')));

    QStringList domains;
    for (const QString &suffix : rule.stringList("domain_suffix"))
        domains.append(QStringLiteral("domain:") + suffix);
    const QStringList ips = rule.stringList("ip_cidr");
    for (const QString &ip : ips) {
        if (QHostAddress::parseSubnet(ip).first.isNull())
            rule.fail(QStringLiteral("\"%1\" is not an IP address or range").arg(ip));
    }

    QJsonArray result;
    if (!domains.isEmpty()) {
        QJsonObject byDomain = common;
        byDomain.insert("domain", QJsonArray::fromStringList(domains));
        result.append(byDomain);
    }
    if (!ips.isEmpty()) {
        QJsonObject byAddress = common;
        byAddress.insert("ip", QJsonArray::fromStringList(ips));
        result.append(byAddress);
    }
    if (result.isEmpty() && (common.contains("inboundTag") || common.contains("port")))
        result.append(common);
    if (result.isEmpty())
        rule.fail(QStringLiteral("the rule has no condition"));
    return result;
}

} // namespace

QString V2RayRouteTranslator::finalOutbound(const QJsonObject &route, const QStringList &outboundTags)
{
    const JsonFields fields(route, QStringLiteral("route"));
    const QString tag = fields.optionalString("final", outboundTags.value(0));
    if (!outboundTags.contains(tag))
        fields.fail(QStringLiteral("final \"%1\" is not an outbound tag").arg(tag));
    return tag;
}

QJsonObject V2RayRouteTranslator::translate(const QJsonObject &route, const QJsonArray &leadingRules,
                                            const QStringList &inboundTags, const QStringList &outboundTags)
{
    const JsonFields fields(route, QStringLiteral("route"));
    fields.allowOnly({"auto_detect_interface", "final", "rules"});
    fields.boolean("auto_detect_interface", false); // the system picks the interface here; only the type is checked

    QJsonArray rules = leadingRules;
    for (const JsonFields &rule : JsonFields::elements(fields.array("rules"), QStringLiteral("route.rules"))) {
        for (const QJsonValue &translated : fieldRules(rule, inboundTags, outboundTags))
            rules.append(translated);
    }
    rules.append(QJsonObject{{"type", "field"},
                             {"network", "tcp,udp"},
                             {"outboundTag", finalOutbound(route, outboundTags)}});
    return {{"domainStrategy", "AsIs"}, {"rules", rules}};
}

} // namespace Norvane::Platform
