#include "proxycore/V2RayConfigTranslator.h"

#include "proxycore/JsonFields.h"
#include "proxycore/V2RayDnsTranslator.h"
#include "proxycore/V2RayInboundTranslator.h"
#include "proxycore/V2RayOutboundTranslator.h"
#include "proxycore/V2RayRouteTranslator.h"

#include <QJsonDocument>
#include <QMap>

namespace Norvane::Platform {

namespace {

QJsonObject translateLog(const QJsonObject &log)
{
    static const QMap<QString, QString> levels{
        {"trace", "debug"}, {"debug", "debug"}, {"info", "info"}, {"warn", "warning"},
        {"warning", "warning"}, {"error", "error"}, {"fatal", "error"}, {"panic", "error"}};
    const JsonFields fields(log, QStringLiteral("log"));
    fields.allowOnly({"level"});
    if (!fields.has("level"))
        return {};
    const QString level = fields.string("level");
    if (!levels.contains(level))
        fields.fail(QStringLiteral("level \"%1\" is not one of %2").arg(level, levels.keys().join(", ")));
    return {{"loglevel", levels.value(level)}};
}

} // namespace

V2RayTranslation V2RayConfigTranslator::translate(const QByteArray &document)
{
    V2RayTranslation result;
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(document, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = QStringLiteral("the document is not valid JSON: %1 at offset %2")
                           .arg(parseError.errorString())
                           .arg(parseError.offset);
        return result;
    }
    if (!json.isObject()) {
        result.error = QStringLiteral("the document is not a JSON object");
        return result;
    }

    try {
        const JsonFields top(json.object(), QStringLiteral("the document"));
        top.allowOnly({"dns", "inbounds", "log", "outbounds", "route"});
        QStringList outboundTags;
        QStringList inboundTags;
        const QJsonArray outbounds = V2RayOutboundTranslator::translate(top.array("outbounds"), &outboundTags);
        const QJsonObject route = top.object("route");
        const QString finalOutbound = V2RayRouteTranslator::finalOutbound(route, outboundTags);
        const V2RayDnsSection dns =
            V2RayDnsTranslator::translate(top.object("dns"), outboundTags, finalOutbound, &result.notes);
        const QJsonArray inbounds = V2RayInboundTranslator::translate(top.array("inbounds"), dns.forwardAddress,
                                                                      &inboundTags, &result.notes);
        if (inboundTags.contains(V2RayDnsTranslator::queryTag()))
            throw QStringLiteral("inbounds: the tag \"%1\" is kept for the DNS's own queries")
                .arg(V2RayDnsTranslator::queryTag());
        result.config = {
            {"log", translateLog(top.object("log"))},
            {"inbounds", inbounds},
            {"outbounds", outbounds},
            {"routing", V2RayRouteTranslator::translate(route, dns.routingRules, inboundTags, outboundTags)}};
        if (!dns.config.isEmpty())
            result.config.insert("dns", dns.config);
    } catch (const QString &problem) {
        return {{}, {}, problem};
    }
    return result;
}

} // namespace Norvane::Platform
