#include "netsh/InterfaceIpv4Command.h"

#include "common/CaseInsensitiveName.h"
#include "common/EmulatedState.h"
#include "common/StandInRunner.h"
#include "netsh/NetshParameters.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QRegularExpression>

namespace Norvane::Platform::Commands {

namespace {

using Values = QHash<QString, QString>;

const QString kName = QStringLiteral("name");
const QString kSource = QStringLiteral("source");
const QString kAddress = QStringLiteral("address");
const QString kMask = QStringLiteral("mask");
const QString kRegister = QStringLiteral("register");
const QString kValidate = QStringLiteral("validate");
const QString kPrefix = QStringLiteral("prefix");
const QString kInterface = QStringLiteral("interface");
const QString kNextHop = QStringLiteral("nexthop");
const QString kMetric = QStringLiteral("metric");
const QString kStatic = QStringLiteral("static");
const QString kDhcp = QStringLiteral("dhcp");

// The outcome of one subcommand: a changed state, or a refusal with netsh's message.
struct Outcome
{
    bool ok = true;
    QString message;
};

Outcome refused(const QString &message)
{
    return {false, message};
}

Outcome invalid(const QString &detail)
{
    return refused(QStringLiteral("The syntax supplied for this command is not valid: %1.").arg(detail));
}

bool parseIpv4(const QString &text, quint32 *address)
{
    static const QRegularExpression dotted(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    const QRegularExpressionMatch match = dotted.match(text);
    if (!match.hasMatch())
        return false;
    quint32 value = 0;
    for (int i = 1; i <= 4; ++i) {
        const uint octet = match.captured(i).toUInt();
        if (octet > 255)
            return false;
        value = (value << 8) | octet;
    }
    *address = value;
    return true;
}

QString ipv4Text(quint32 address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24).arg((address >> 16) & 0xFF).arg((address >> 8) & 0xFF).arg(address & 0xFF);
}

bool isMask(const QString &text)
{
    quint32 mask = 0;
    if (!parseIpv4(text, &mask))
        return false;
    const quint32 hostBits = ~mask;
    return (hostBits & (hostBits + 1)) == 0;
}

// "a.b.c.d/n" with the host bits cleared; empty when the text is no IPv4 prefix.
QString normalisedPrefix(const QString &text)
{
    const int slash = text.indexOf(QLatin1Char('/'));
    quint32 address = 0;
    bool ok = false;
    const int length = text.mid(slash + 1).toInt(&ok);
    if (slash < 0 || !ok || length < 0 || length > 32 || !parseIpv4(text.left(slash), &address))
        return {};
    const quint32 mask = length == 0 ? 0 : ~quint32(0) << (32 - length);
    return QStringLiteral("%1/%2").arg(ipv4Text(address & mask)).arg(length);
}

bool oneOf(const QString &value, const QStringList &choices)
{
    return choices.contains(value.toLower());
}

void setAdapterSettings(EmulatedState &state, const QString &adapter, const QString &group,
                        const QJsonObject &settings)
{
    QJsonObject interfaces = state.object(EmulatedState::kInterfaces);
    const QString stored = CaseInsensitiveName::find(interfaces, adapter);
    QJsonObject groups = interfaces.value(stored).toObject();
    groups.insert(group, settings);
    interfaces.insert(stored, groups);
    state.set(EmulatedState::kInterfaces, interfaces);
}

Outcome setAddress(const Values &values, EmulatedState &state)
{
    const QString source = values.value(kSource).toLower();
    if (values.value(kName).isEmpty())
        return invalid(QStringLiteral("name is missing"));
    QJsonObject settings{{kSource, source}};
    if (source == kStatic) {
        quint32 address = 0;
        if (!parseIpv4(values.value(kAddress), &address))
            return invalid(QStringLiteral("address is not an IPv4 address"));
        if (!isMask(values.value(kMask)))
            return invalid(QStringLiteral("mask is not an IPv4 network mask"));
        settings.insert(kAddress, values.value(kAddress));
        settings.insert(kMask, values.value(kMask));
    } else if (source == kDhcp) {
        if (values.contains(kAddress) || values.contains(kMask))
            return invalid(QStringLiteral("dhcp takes no address or mask"));
    } else {
        return invalid(QStringLiteral("source must be static or dhcp"));
    }
    setAdapterSettings(state, values.value(kName), kAddress, settings);
    return {};
}

Outcome setDnsServers(const Values &values, EmulatedState &state)
{
    const QString source = values.value(kSource).toLower();
    const QString registration = values.value(kRegister, QStringLiteral("primary")).toLower();
    if (values.value(kName).isEmpty())
        return invalid(QStringLiteral("name is missing"));
    if (!oneOf(registration, {QStringLiteral("none"), QStringLiteral("primary"), QStringLiteral("both")}))
        return invalid(QStringLiteral("register must be none, primary or both"));
    QJsonObject settings{{kSource, source}, {kRegister, registration}};
    if (source == kStatic) {
        const QString address = values.value(kAddress);
        const QString validate = values.value(kValidate, QStringLiteral("yes")).toLower();
        quint32 parsed = 0;
        if (address.compare(QStringLiteral("none"), Qt::CaseInsensitive) != 0 && !parseIpv4(address, &parsed))
            return invalid(QStringLiteral("address is not an IPv4 address or none"));
        if (!oneOf(validate, {QStringLiteral("yes"), QStringLiteral("no")}))
            return invalid(QStringLiteral("validate must be yes or no"));
        settings.insert(kAddress, address.toLower() == QStringLiteral("none") ? QStringLiteral("none") : address);
        settings.insert(kValidate, validate);
    } else if (source == kDhcp) {
        if (values.contains(kAddress) || values.contains(kValidate))
            return invalid(QStringLiteral("dhcp takes no address or validate"));
    } else {
        return invalid(QStringLiteral("source must be static or dhcp"));
    }
    setAdapterSettings(state, values.value(kName), QStringLiteral("dns"), settings);
    return {};
}

bool sameRoute(const QJsonObject &route, const QString &prefix, const QString &adapter, const QString &nextHop)
{
    return route.value(kPrefix).toString() == prefix
        && route.value(kInterface).toString().compare(adapter, Qt::CaseInsensitive) == 0
        && (nextHop.isEmpty() || route.value(kNextHop).toString() == nextHop);
}

// The route's prefix, adapter and next hop, checked; false with the refusal in *outcome.
bool readRoute(const Values &values, QString *prefix, QString *nextHop, Outcome *outcome)
{
    *prefix = normalisedPrefix(values.value(kPrefix));
    if (prefix->isEmpty()) {
        *outcome = invalid(QStringLiteral("prefix is not an IPv4 prefix"));
        return false;
    }
    if (values.value(kInterface).isEmpty()) {
        *outcome = invalid(QStringLiteral("interface is missing"));
        return false;
    }
    quint32 address = 0;
    if (values.contains(kNextHop) && !parseIpv4(values.value(kNextHop), &address)) {
        *outcome = invalid(QStringLiteral("nexthop is not an IPv4 address"));
        return false;
    }
    *nextHop = values.contains(kNextHop) ? ipv4Text(address) : QString();
    return true;
}

Outcome addRoute(const Values &values, EmulatedState &state)
{
    QString prefix;
    QString nextHop;
    Outcome outcome;
    if (!readRoute(values, &prefix, &nextHop, &outcome))
        return outcome;
    bool ok = true;
    const int metric = values.value(kMetric, QStringLiteral("256")).toInt(&ok);
    if (!ok || metric < 0)
        return invalid(QStringLiteral("metric is not a number"));
    if (nextHop.isEmpty())
        nextHop = QStringLiteral("0.0.0.0");

    QJsonArray routes = state.array(EmulatedState::kRoutes);
    for (const QJsonValue &route : routes) {
        if (sameRoute(route.toObject(), prefix, values.value(kInterface), nextHop))
            return refused(QStringLiteral("The object already exists."));
    }
    routes.append(QJsonObject{{kPrefix, prefix},
                              {kInterface, values.value(kInterface)},
                              {kNextHop, nextHop},
                              {kMetric, metric}});
    state.set(EmulatedState::kRoutes, routes);
    return {};
}

Outcome deleteRoute(const Values &values, EmulatedState &state)
{
    QString prefix;
    QString nextHop;
    Outcome outcome;
    if (!readRoute(values, &prefix, &nextHop, &outcome))
        return outcome;
    QJsonArray kept;
    const QJsonArray routes = state.array(EmulatedState::kRoutes);
    for (const QJsonValue &route : routes) {
        if (!sameRoute(route.toObject(), prefix, values.value(kInterface), nextHop))
            kept.append(route);
    }
    if (kept.size() == routes.size())
        return refused(QStringLiteral("Element not found."));
    state.set(EmulatedState::kRoutes, kept);
    return {};
}

struct Subcommand
{
    QString verb;
    QString object;
    QStringList tags;
    Outcome (*apply)(const Values &, EmulatedState &);
};

const QList<Subcommand> &subcommands()
{
    static const QList<Subcommand> table{
        {QStringLiteral("set"), QStringLiteral("address"), {kName, kSource, kAddress, kMask}, setAddress},
        {QStringLiteral("set"), QStringLiteral("dnsservers"),
         {kName, kSource, kAddress, kRegister, kValidate}, setDnsServers},
        {QStringLiteral("add"), QStringLiteral("route"), {kPrefix, kInterface, kNextHop, kMetric}, addRoute},
        {QStringLiteral("delete"), QStringLiteral("route"), {kPrefix, kInterface, kNextHop}, deleteRoute},
    };
    return table;
}

} // namespace

int InterfaceIpv4Command::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const Subcommand *subcommand = nullptr;
    for (const Subcommand &candidate : subcommands()) {
        if (candidate.verb.compare(arguments.value(0), Qt::CaseInsensitive) == 0
            && candidate.object.compare(arguments.value(1), Qt::CaseInsensitive) == 0)
            subcommand = &candidate;
    }
    if (!subcommand) {
        err << "The following command was not found: interface ipv4 " << arguments.join(QLatin1Char(' '))
            << ".\n";
        return StandInRunner::kFailed;
    }

    Values values;
    QString error;
    if (!NetshParameters::parse(arguments.mid(2), subcommand->tags, &values, &error)) {
        err << "The syntax supplied for this command is not valid: " << error << ".\n";
        return StandInRunner::kFailed;
    }
    EmulatedState state;
    if (!state.open(&error)) {
        err << "ERROR: " << error << "\n";
        return StandInRunner::kFailed;
    }
    const Outcome outcome = subcommand->apply(values, state);
    if (!outcome.ok) {
        err << outcome.message << "\n";
        return StandInRunner::kFailed;
    }
    if (!state.commit(&error)) {
        err << "ERROR: " << error << "\n";
        return StandInRunner::kFailed;
    }
    out << "Ok.\n\n";
    return 0;
}

} // namespace Norvane::Platform::Commands
