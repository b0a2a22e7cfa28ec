#pragma once

#include <QString>

namespace Norvane::Api::Vpn {

// One server as its vmess link names it, plus the routing the connection asks for.
struct VmessConfig
{
    QString address;
    int port = 443;
    QString uuid;
    int alterId = 0;
    QString security = QStringLiteral("auto");
    QString network = QStringLiteral("tcp");
    QString headerType = QStringLiteral("none");
    QString host;
    QString path;
    QString tls = QStringLiteral("none");
    QString sni;
    QString remark;
    // Not in the link: 1 sends everything through the proxy, 0 lets domestic traffic go direct.
    int globalRouting = 1;
};

} // namespace Norvane::Api::Vpn
