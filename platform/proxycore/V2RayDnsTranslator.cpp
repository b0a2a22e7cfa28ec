#include "proxycore/V2RayDnsTranslator.h"

#include "proxycore/JsonFields.h"

#include <QHostAddress>
#include <QUrl>

namespace Norvane::Platform {

namespace {

enum class Kind { Local, Udp, Https, Rcode };

struct Server
{
    QString tag;
    QString address;
    Kind kind = Kind::Udp;
    QString host;
    int port = 53;
    QString detour;
    QStringList domains;
};

void readAddress(const JsonFields &fields, Server *server)
{
    server->address = fields.string("address");
    if (server->address == QLatin1String("local")) {
        server->kind = Kind::Local;
        return;
    }
    const bool hasScheme = server->address.contains(QLatin1String("://"));
    const QUrl url(hasScheme ? server->address : QStringLiteral("udp://") + server->address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("rcode")) {
        server->kind = Kind::Rcode;
        return;
    }
    if (scheme == QLatin1String("https"))
        server->kind = Kind::Https;
    else if (scheme != QLatin1String("udp"))
        fields.fail(QStringLiteral("DNS server address \"%1\" has no equivalent in v2ray 4.34").arg(server->address));
    server->host = url.host();
    server->port = url.port(server->kind == Kind::Https ? 443 : 53);
    if (!url.isValid() || server->host.isEmpty())
        fields.fail(QStringLiteral("\"%1\" is not a DNS server address").arg(server->address));
}

qsizetype indexOf(const QList<Server> &servers, const QString &tag)
{
    for (qsizetype i = 0; i < servers.size(); ++i) {
        if (servers[i].tag == tag)
            return i;
    }
    return -1;
}

QList<Server> readServers(const JsonFields &dns, const QStringList &outboundTags)
{
    QList<Server> servers;
    QStringList resolvers;
    for (const JsonFields &fields : JsonFields::elements(dns.array("servers"), dns.where() + ".servers")) {
        fields.allowOnly({"address", "address_resolver", "detour", "tag"});
        Server server;
        server.tag = fields.string("tag");
        if (indexOf(servers, server.tag) >= 0)
            fields.fail(QStringLiteral("the tag \"%1\" is used twice").arg(server.tag));
        readAddress(fields, &server);
        server.detour = fields.optionalString("detour", {});
        if (fields.has("detour") && !outboundTags.contains(server.detour))
            fields.fail(QStringLiteral("detour \"%1\" is not an outbound tag").arg(server.detour));
        servers.append(server);
        resolvers.append(fields.has("address_resolver") ? fields.string("address_resolver") : QString());
    }
    // v2ray resolves its servers' own names itself; a resolver is only checked.
    for (const QString &resolver : resolvers) {
        if (!resolver.isEmpty() && indexOf(servers, resolver) < 0)
            dns.fail(QStringLiteral("address_resolver \"%1\" is not a DNS server tag").arg(resolver));
    }
    return servers;
}

QJsonObject entry(const Server &server)
{
    QJsonObject result;
    if (server.kind == Kind::Local)
        result = {{"address", "localhost"}};
    else if (server.kind == Kind::Https)
        result = {{"address", server.address}};
    else
        result = {{"address", server.host}, {"port", server.port}};
    if (!server.domains.isEmpty())
        result.insert("domains", QJsonArray::fromStringList(server.domains));
    return result;
}

QJsonObject queryRoute(const Server &server, const QString &defaultOutbound)
{
    QJsonObject rule{{"type", "field"},
                     {"inboundTag", QJsonArray{V2RayDnsTranslator::queryTag()}},
                     {"outboundTag", server.detour.isEmpty() ? defaultOutbound : server.detour}};
    if (QHostAddress(server.host).isNull())
        rule.insert("domain", QJsonArray{QStringLiteral("full:") + server.host});
    else
        rule.insert("ip", QJsonArray{server.host});
    return rule;
}

} // namespace

V2RayDnsSection V2RayDnsTranslator::translate(const QJsonObject &dnsObject, const QStringList &outboundTags,
                                              const QString &defaultOutbound, QStringList *notes)
{
    const JsonFields dns(dnsObject, QStringLiteral("dns"));
    dns.allowOnly({"final", "independent_cache", "rules", "servers"});
    dns.boolean("independent_cache", false); // v2ray has one cache; only the type is checked
    QList<Server> servers = readServers(dns, outboundTags);

    // The final server answers first; the servers of rules follow, each with its domains.
    QList<qsizetype> used;
    if (!servers.isEmpty() || dns.has("final")) {
        const QString finalTag = dns.optionalString("final", servers.isEmpty() ? QString() : servers.first().tag);
        const qsizetype finalIndex = indexOf(servers, finalTag);
        if (finalIndex < 0)
            dns.fail(QStringLiteral("final \"%1\" is not a DNS server tag").arg(finalTag));
        used.append(finalIndex);
    }
    for (const JsonFields &rule : JsonFields::elements(dns.array("rules"), dns.where() + ".rules")) {
        rule.allowOnly({"domain", "server"});
        const QString tag = rule.string("server");
        const qsizetype index = indexOf(servers, tag);
        if (index < 0)
            rule.fail(QStringLiteral("server \"%1\" is not a DNS server tag").arg(tag));
        if (!rule.has("domain"))
            rule.fail(QStringLiteral("the rule has no condition"));
        for (const QString &domain : rule.stringList("domain"))
            servers[index].domains.append(QStringLiteral("full:") + domain);
        if (!used.contains(index))
            used.append(index);
    }

    V2RayDnsSection section;
    QJsonArray entries;
    for (qsizetype index : used) {
        const Server &server = servers[index];
        if (server.kind == Kind::Rcode)
            dns.fail(QStringLiteral("server \"%1\" (%2) answers queries, and v2ray has no equivalent")
                         .arg(server.tag, server.address));
        entries.append(entry(server));
        if (server.kind != Kind::Local)
            section.routingRules.append(queryRoute(server, defaultOutbound));
    }
    for (qsizetype i = 0; i < servers.size(); ++i) {
        if (servers[i].kind == Kind::Rcode && !used.contains(i))
            notes->append(QStringLiteral("dropped DNS server \"%1\" (%2): v2ray has no equivalent")
                              .arg(servers[i].tag, servers[i].address));
    }
    if (!used.isEmpty()) {
        section.config = {{"servers", entries}, {"tag", queryTag()}};
        section.forwardAddress = servers[used.first()].host;
    }
    return section;
}

} // namespace Norvane::Platform
