#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace Norvane::Platform {

struct V2RayTranslation
{
    QJsonObject config;  // v2ray 4.34's configuration; empty when the document was refused
    QStringList notes;   // what was left out because v2ray has no equivalent
    QString error;       // why the document was refused; empty on success
};

// The client's proxy-core document (sing-box style: type/listen_port, route.rules, dns.servers
// with tags) as a configuration for Debian's v2ray 4.34 (protocol/port, routing field rules).
// v2ray ignores members it does not know, so every member of the document must be understood
// here or the document is refused: nothing of it is lost without a word.
class V2RayConfigTranslator
{
public:
    static V2RayTranslation translate(const QByteArray &document);
};

} // namespace Norvane::Platform
