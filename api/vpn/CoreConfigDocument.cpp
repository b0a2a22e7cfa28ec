#include "api/vpn/CoreConfigDocument.h"

#include <QJsonArray>
#include <QStringList>

namespace Norvane::Api::Vpn {

namespace {

const QString kDirect = QStringLiteral("direct");
const QString kDnsDirect = QStringLiteral("dns-direct");
const QString kDnsOut = QStringLiteral("dns-out");
const QString kLocalAddress = QStringLiteral("127.0.0.1");
const QString kDomesticResolver = QStringLiteral("223.5.5.5");

QJsonObject dnsServer(const QString &tag, const QString &address, const QString &resolver, const QString &detour)
{
    QJsonObject server{{QStringLiteral("tag"), tag}, {QStringLiteral("address"), address}};
    if (!resolver.isEmpty())
        server.insert(QStringLiteral("address_resolver"), resolver);
    if (!detour.isEmpty())
        server.insert(QStringLiteral("detour"), detour);
    return server;
}

QJsonObject dns(const VmessConfig &config)
{
    const QJsonArray servers{
        dnsServer(QStringLiteral("dns-remote"), QStringLiteral("https://1.1.1.1/dns-query"), kDnsDirect, QString()),
        dnsServer(kDnsDirect, kDomesticResolver, QStringLiteral("dns-local"), kDirect),
        dnsServer(QStringLiteral("dns-local"), kDomesticResolver, QString(), kDirect),
        dnsServer(QStringLiteral("dns-block"), QStringLiteral("rcode://success"), QString(), QString()),
    };
    // The server's own name must not be resolved through the proxy it names.
    const QJsonArray rules{
        QJsonObject{{QStringLiteral("domain"), config.address}, {QStringLiteral("server"), kDnsDirect}},
    };
    return QJsonObject{
        {QStringLiteral("servers"), servers},
        {QStringLiteral("rules"), rules},
        {QStringLiteral("final"), QStringLiteral("dns-remote")},
        {QStringLiteral("independent_cache"), true},
    };
}

QJsonArray inbounds()
{
    const QJsonObject mixed{
        {QStringLiteral("type"), QStringLiteral("mixed")},
        {QStringLiteral("tag"), QStringLiteral("mixed-in")},
        {QStringLiteral("listen"), kLocalAddress},
        {QStringLiteral("listen_port"), CoreConfigDocument::kMixedPort},
        {QStringLiteral("sniff"), true},
        {QStringLiteral("sniff_override_destination"), true},
        {QStringLiteral("set_system_proxy"), false},
    };
    const QJsonObject dnsIn{
        {QStringLiteral("type"), kDirect},
        {QStringLiteral("tag"), QStringLiteral("dns-in")},
        {QStringLiteral("listen"), kLocalAddress},
        {QStringLiteral("listen_port"), CoreConfigDocument::kDnsPort},
    };
    return QJsonArray{mixed, dnsIn};
}

QJsonObject proxyOutbound(const VmessConfig &config)
{
    QJsonObject proxy{
        {QStringLiteral("type"), QStringLiteral("vmess")},
        {QStringLiteral("tag"), QStringLiteral("proxy")},
        {QStringLiteral("server"), config.address},
        {QStringLiteral("server_port"), config.port},
        {QStringLiteral("uuid"), config.uuid},
        {QStringLiteral("security"), config.security},
        {QStringLiteral("alter_id"), config.alterId},
    };
    if (config.network == QLatin1String("ws")) {
        QJsonObject transport{
            {QStringLiteral("type"), QStringLiteral("ws")},
            {QStringLiteral("path"), config.path.isEmpty() ? QStringLiteral("/") : config.path},
        };
        if (!config.host.isEmpty())
            transport.insert(QStringLiteral("headers"), QJsonObject{{QStringLiteral("Host"), config.host}});
        proxy.insert(QStringLiteral("transport"), transport);
    }
    if (config.tls == QLatin1String("tls")) {
        const QString serverName = config.sni.isEmpty() ? config.address : config.sni;
        proxy.insert(QStringLiteral("tls"), QJsonObject{
                                                {QStringLiteral("enabled"), true},
                                                {QStringLiteral("server_name"), serverName},
                                                {QStringLiteral("insecure"), false},
                                            });
    }
    return proxy;
}

QJsonObject outbound(const QString &type, const QString &tag)
{
    return QJsonObject{{QStringLiteral("type"), type}, {QStringLiteral("tag"), tag}};
}

QJsonArray outbounds(const VmessConfig &config)
{
    return QJsonArray{
        proxyOutbound(config),
        outbound(QStringLiteral("dns"), kDnsOut),
        outbound(kDirect, kDirect),
        outbound(QStringLiteral("block"), QStringLiteral("block")),
    };
}

QJsonObject rule(const QString &member, const QJsonValue &match, const QString &outboundTag)
{
    return QJsonObject{{member, match}, {QStringLiteral("outbound"), outboundTag}};
}

QJsonObject route(const VmessConfig &config)
{
    QJsonArray rules{
        rule(QStringLiteral("inbound"), QStringLiteral("dns-in"), kDnsOut),
        rule(QStringLiteral("port"), 53, kDnsOut),
        rule(QStringLiteral("ip_cidr"),
             QJsonArray::fromStringList({QStringLiteral("10.0.0.0/8"), QStringLiteral("172.16.0.0/12"),
                                         QStringLiteral("192.168.0.0/16"), QStringLiteral("127.0.0.0/8")}),
             kDirect),
    };
    if (config.globalRouting == 0) {
        static const QStringList domesticSuffixes{
            QStringLiteral("cn"),          QStringLiteral("com.cn"),     QStringLiteral("baidu.com"),
            QStringLiteral("qq.com"),      QStringLiteral("taobao.com"), QStringLiteral("tmall.com"),
            QStringLiteral("jd.com"),      QStringLiteral("163.com"),    QStringLiteral("sina.com"),   
            QStringLiteral("sohu.com"),    QStringLiteral("bilibili.com"), QStringLiteral("douyin.com"),
            QStringLiteral("aliyun.com"),  QStringLiteral("alibaba.com"),
        };
        static const QStringList domesticRanges{
            QStringLiteral("1.0.1.0/24"),   QStringLiteral("1.0.2.0/23"),   QStringLiteral("1.0.8.0/21"),
            QStringLiteral("1.0.32.0/19"),  QStringLiteral("1.1.0.0/24"),   QStringLiteral("1.1.2.0/23"),
            QStringLiteral("1.1.4.0/22"),   QStringLiteral("1.1.8.0/21"),   QStringLiteral("223.5.5.5/32"),
            QStringLiteral("223.6.6.6/32"), QStringLiteral("114.114.114.114/32"),
        };
        rules.append(rule(QStringLiteral("domain_suffix"), QJsonArray::fromStringList(domesticSuffixes), kDirect));
        rules.append(rule(QStringLiteral("ip_cidr"), QJsonArray::fromStringList(domesticRanges), kDirect));
    }
    return QJsonObject{
        {QStringLiteral("rules"), rules},
        {QStringLiteral("final"), QStringLiteral("proxy")},
        {QStringLiteral("auto_detect_interface"), true},
    };
}

} // namespace

QJsonObject CoreConfigDocument::build(const VmessConfig &config)
{
    return QJsonObject{
        {QStringLiteral("log"), QJsonObject{{QStringLiteral("level"), QStringLiteral("warning")}}},
        {QStringLiteral("dns"), dns(config)},
        {QStringLiteral("inbounds"), inbounds()},
        {QStringLiteral("outbounds"), outbounds(config)},
        {QStringLiteral("route"), route(config)},
    };
}

} // namespace Norvane::Api::Vpn
