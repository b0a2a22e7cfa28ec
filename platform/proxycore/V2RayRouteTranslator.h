#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace Norvane::Platform {

// The document's route as v2ray's routing: field rules in document order ("domain:" for each
// suffix; a rule that names suffixes and addresses matches either, so it becomes two), then a
// last rule for everything else to the final outbound. Throws the problem's text.
class V2RayRouteTranslator
{
public:
    // The outbound for what no rule matches: "final", else the first outbound.
    static QString finalOutbound(const QJsonObject &route, const QStringList &outboundTags);

    static QJsonObject translate(const QJsonObject &route, const QJsonArray &leadingRules,
                                 const QStringList &inboundTags, const QStringList &outboundTags);
};

} // namespace Norvane::Platform
