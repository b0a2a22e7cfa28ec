#include "netsh/WinHttpCommand.h"

#include "common/EmulatedState.h"
#include "common/RegistryStore.h"
#include "common/StandInRunner.h"
#include "netsh/NetshParameters.h"

#include <QHash>
#include <QJsonObject>

namespace Norvane::Platform::Commands {

namespace {

const QString kProxyServer = QStringLiteral("proxy_server");
const QString kBypassList = QStringLiteral("bypass_list");

int syntaxError(QTextStream &err, const QString &detail)
{
    err << "The syntax supplied for this command is not valid: " << detail << ".\n";
    return StandInRunner::kFailed;
}

void printSettings(const QJsonObject &winHttp, QTextStream &out)
{
    out << "\nCurrent WinHTTP proxy settings:\n\n";
    const QString server = winHttp.value(kProxyServer).toString();
    if (server.isEmpty()) {
        out << "    Direct access (no proxy server).\n\n";
        return;
    }
    const QString bypass = winHttp.value(kBypassList).toString();
    out << "    Proxy Server(s) :  " << server << "\n"
        << "    Bypass List     :  " << (bypass.isEmpty() ? QStringLiteral("(none)") : bypass) << "\n\n";
}

// What Internet Explorer's settings (the Internet Settings values) give WinHTTP.
QJsonObject importedFromInternetSettings(const EmulatedState &state)
{
    const QString key = RegistryStore::kInternetSettings;
    const QJsonObject enable = RegistryStore::value(state, key, QStringLiteral("ProxyEnable"));
    const QJsonObject server = RegistryStore::value(state, key, QStringLiteral("ProxyServer"));
    const QJsonObject bypass = RegistryStore::value(state, key, QStringLiteral("ProxyOverride"));
    const bool enabled = enable.value(QStringLiteral("type")).toString() == QStringLiteral("REG_DWORD")
        && enable.value(QStringLiteral("data")).toDouble() != 0;
    const QString serverText = server.value(QStringLiteral("data")).toString();
    if (!enabled || serverText.isEmpty())
        return {};
    QJsonObject winHttp{{kProxyServer, serverText}};
    if (!bypass.value(QStringLiteral("data")).toString().isEmpty())
        winHttp.insert(kBypassList, bypass.value(QStringLiteral("data")).toString());
    return winHttp;
}

// The new WinHTTP settings of one call, or an error text.
bool newSettings(const QString &verb, const QStringList &parameters, const EmulatedState &state,
                 QJsonObject *winHttp, QString *error)
{
    QHash<QString, QString> values;
    if (verb == QStringLiteral("set")) {
        if (!NetshParameters::parse(parameters, {QStringLiteral("proxy-server"), QStringLiteral("bypass-list")},
                                    &values, error))
            return false;
        if (values.value(QStringLiteral("proxy-server")).isEmpty()) {
            *error = QStringLiteral("proxy-server is missing");
            return false;
        }
        *winHttp = QJsonObject{{kProxyServer, values.value(QStringLiteral("proxy-server"))}};
        if (!values.value(QStringLiteral("bypass-list")).isEmpty())
            winHttp->insert(kBypassList, values.value(QStringLiteral("bypass-list")));
        return true;
    }
    if (verb == QStringLiteral("import")) {
        if (!NetshParameters::parse(parameters, {QStringLiteral("source")}, &values, error))
            return false;
        if (values.value(QStringLiteral("source")).compare(QStringLiteral("ie"), Qt::CaseInsensitive) != 0) {
            *error = QStringLiteral("source must be ie");
            return false;
        }
        *winHttp = importedFromInternetSettings(state);
        return true;
    }
    if (!parameters.isEmpty()) {
        *error = QStringLiteral("\"%1 proxy\" takes no parameters").arg(verb);
        return false;
    }
    *winHttp = verb == QStringLiteral("reset") ? QJsonObject() : state.object(EmulatedState::kWinHttp);
    return true;
}

} // namespace

int WinHttpCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString verb = arguments.value(0).toLower();
    static const QStringList verbs{QStringLiteral("set"), QStringLiteral("reset"), QStringLiteral("import"),
                                   QStringLiteral("show")};
    if (!verbs.contains(verb) || arguments.value(1).compare(QStringLiteral("proxy"), Qt::CaseInsensitive) != 0) {
        err << "The following command was not found: winhttp " << arguments.join(QLatin1Char(' ')) << ".\n";
        return StandInRunner::kFailed;
    }

    EmulatedState state;
    QString error;
    if (!state.open(&error)) {
        err << "ERROR: " << error << "\n";
        return StandInRunner::kFailed;
    }
    QJsonObject winHttp;
    if (!newSettings(verb, arguments.mid(2), state, &winHttp, &error))
        return syntaxError(err, error);
    if (verb != QStringLiteral("show")) {
        state.set(EmulatedState::kWinHttp, winHttp);
        if (!state.commit(&error)) {
            err << "ERROR: " << error << "\n";
            return StandInRunner::kFailed;
        }
    }
    printSettings(winHttp, out);
    return 0;
}

} // namespace Norvane::Platform::Commands
