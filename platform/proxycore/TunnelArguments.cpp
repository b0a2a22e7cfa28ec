#include "proxycore/TunnelArguments.h"

#include <QMap>
#include <QUrl>

namespace Norvane::Platform {

namespace {

const QStringList kOptions = {"-device", "-proxy", "-interface"};

QString proxyProblem(const QString &proxy)
{
    const QUrl url(proxy, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("socks5") || url.host().isEmpty() || url.port() < 1
        || !url.path().isEmpty() || url.hasQuery() || url.hasFragment())
        return QStringLiteral("-proxy \"%1\" is not a socks5://HOST:PORT address").arg(proxy);
    return {};
}

} // namespace

TunnelArguments TunnelArguments::parse(const QStringList &arguments)
{
    TunnelArguments result;
    QMap<QString, QString> values;
    for (qsizetype i = 0; i < arguments.size() && result.m_error.isEmpty(); i += 2) {
        const QString &option = arguments[i];
        const QString value = arguments.value(i + 1);
        if (!kOptions.contains(option))
            result.m_error = QStringLiteral("unknown option \"%1\"").arg(option);
        else if (values.contains(option))
            result.m_error = QStringLiteral("%1 is given twice").arg(option);
        else if (i + 1 >= arguments.size() || value.isEmpty() || kOptions.contains(value))
            result.m_error = QStringLiteral("%1 needs a value").arg(option);
        else
            values.insert(option, value);
    }
    for (const QString &option : kOptions) {
        if (result.m_error.isEmpty() && !values.contains(option))
            result.m_error = QStringLiteral("%1 is missing").arg(option);
    }
    if (result.m_error.isEmpty())
        result.m_error = proxyProblem(values.value("-proxy"));
    if (result.isValid()) {
        result.m_device = values.value("-device");
        result.m_proxy = values.value("-proxy");
        result.m_interface = values.value("-interface");
    }
    return result;
}

} // namespace Norvane::Platform
