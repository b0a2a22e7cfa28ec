#include "api/vpn/SystemProxyManager.h"

#include "api/vpn/SystemProxyBackup.h"
#include "platform/process/PlatformCommandResult.h"

#include <QDebug>
#include <QUrl>

namespace Norvane::Api::Vpn {

using Platform::PlatformCommandResult;

namespace {

const QString kInternetSettingsKey =
    QStringLiteral("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings");
// The user's environment variables live under this key, where setx writes them.
const QString kEnvironmentKey = QStringLiteral("HKCU\\Environment");
const QString kProxyEnable = QStringLiteral("ProxyEnable");
const QString kProxyServer = QStringLiteral("ProxyServer");
const QString kHttpProxy = QStringLiteral("http_proxy");
const QString kHttpsProxy = QStringLiteral("https_proxy");
const QString kDword = QStringLiteral("REG_DWORD");
const QString kSz = QStringLiteral("REG_SZ");

int commandTimeoutMs = SystemProxyManager::kDefaultCommandTimeoutMs;

QString described(const std::optional<RegistryValue> &value)
{
    return value ? value->type + QLatin1Char(' ') + value->data : QStringLiteral("(未读取)");
}

// A variable's value may carry a password, so only whether it was read is logged.
QString whetherRead(const std::optional<RegistryValue> &value)
{
    return value ? QStringLiteral("(已读取)") : QStringLiteral("(未读取)");
}

} // namespace

int SystemProxyManager::commandTimeout()
{
    return commandTimeoutMs;
}

void SystemProxyManager::setCommandTimeout(int milliseconds)
{
    commandTimeoutMs = milliseconds;
}

bool SystemProxyManager::runCommand(const QString &program, const QStringList &arguments)
{
    return PlatformCommandResult::runLogged("[SystemProxyManager]", program, arguments, commandTimeoutMs);
}

bool SystemProxyManager::setRegistryValue(const QString &key, const QString &name, const QString &value,
                                          const QString &type)
{
    return runCommand(QStringLiteral("reg"),
                      {QStringLiteral("add"), key, QStringLiteral("/v"), name, QStringLiteral("/t"), type,
                       QStringLiteral("/d"), value, QStringLiteral("/f")});
}

std::optional<RegistryValue> SystemProxyManager::queryRegistryValue(const QString &key, const QString &name)
{
    const PlatformCommandResult result = PlatformCommandResult::run(
        QStringLiteral("reg"), {QStringLiteral("query"), key, QStringLiteral("/v"), name}, commandTimeoutMs);
    if (!result.finished) {
        qWarning() << "[SystemProxyManager] 命令执行超时:" << QStringLiteral("reg");
        return std::nullopt;
    }
    // A value the user never set is the usual reason for a failure here.
    if (!result.succeeded) {
        qDebug() << "[SystemProxyManager] 未读取到" << name << ", 退出码:" << result.exitCode
                 << QString::fromLocal8Bit(result.standardError).trimmed();
        return std::nullopt;
    }
    return RegistryValue::fromQueryOutput(QString::fromLocal8Bit(result.standardOutput), name);
}

bool SystemProxyManager::importWinHttpProxy()
{
    return runCommand(QStringLiteral("netsh"),
                      {QStringLiteral("winhttp"), QStringLiteral("import"), QStringLiteral("proxy"),
                       QStringLiteral("source=ie")});
}

void SystemProxyManager::recordUserValues()
{
    const std::optional<RegistryValue> enable = queryRegistryValue(kInternetSettingsKey, kProxyEnable);
    const std::optional<RegistryValue> server = queryRegistryValue(kInternetSettingsKey, kProxyServer);
    const std::optional<RegistryValue> httpProxy = queryRegistryValue(kEnvironmentKey, kHttpProxy);
    const std::optional<RegistryValue> httpsProxy = queryRegistryValue(kEnvironmentKey, kHttpsProxy);
    QHash<QString, RegistryValue> values;
    const QList<std::pair<QString, std::optional<RegistryValue>>> read{
        {kProxyEnable, enable}, {kProxyServer, server}, {kHttpProxy, httpProxy}, {kHttpsProxy, httpsProxy}};
    for (const auto &[name, value] : read) {
        if (value)
            values.insert(name, *value);
    }
    SystemProxyBackup::activate(values);
    qDebug() << "[SystemProxyManager] 已保存用户原有代理设置 - ProxyEnable:" << described(enable)
             << ", ProxyServer:" << described(server) << ", http_proxy:" << whetherRead(httpProxy)
             << ", https_proxy:" << whetherRead(httpsProxy);
}

// What was never read is switched off, as if the user had had no proxy.
bool SystemProxyManager::restoreProxyEnable()
{
    const std::optional<RegistryValue> user = SystemProxyBackup::userValue(kProxyEnable);
    return setRegistryValue(kInternetSettingsKey, kProxyEnable, user ? user->data : QStringLiteral("0"),
                            user ? user->type : kDword);
}

// An unread ProxyServer is left alone: with ProxyEnable off it has no effect.
bool SystemProxyManager::restoreProxyServer()
{
    const std::optional<RegistryValue> user = SystemProxyBackup::userValue(kProxyServer);
    return !user || setRegistryValue(kInternetSettingsKey, kProxyServer, user->data, user->type);
}

std::optional<QString> SystemProxyManager::serverString(const QString &proxyUrl)
{
    const QUrl url(proxyUrl, QUrl::TolerantMode);
    QString scheme = url.scheme().toLower();
    const QString host = url.host(QUrl::FullyDecoded);
    const int port = url.port(-1);
    if (!url.isValid() || scheme.isEmpty() || host.isEmpty() || port <= 0) {
        qWarning() << "[SystemProxyManager] 无效的代理URL:" << proxyUrl;
        return std::nullopt;
    }
    if (scheme == QStringLiteral("socks5"))
        scheme = QStringLiteral("socks");
    return QStringLiteral("%1=%2:%3").arg(scheme, host).arg(port);
}

bool SystemProxyManager::setSystemProxy(const QString &proxyUrl)
{
    qDebug() << "[SystemProxyManager] 设置系统代理:" << proxyUrl;

    const std::optional<QString> parsed = serverString(proxyUrl);
    if (!parsed)
        return false;
    const QString server = *parsed;
    qDebug() << "[SystemProxyManager] 代理服务器字符串:" << server;

    // Kept from the first change on until a clearing has put everything back.
    if (!SystemProxyBackup::isActive())
        recordUserValues();

    if (!setRegistryValue(kInternetSettingsKey, kProxyEnable, QStringLiteral("1"), kDword)) {
        qWarning() << "[SystemProxyManager] 设置ProxyEnable失败";
        return false;
    }
    qDebug() << "[SystemProxyManager] ProxyEnable设置成功";

    if (!setRegistryValue(kInternetSettingsKey, kProxyServer, server, kSz)) {
        qWarning() << "[SystemProxyManager] 设置ProxyServer失败";
        // Without the server string the switched-on proxy would send the user's traffic nowhere.
        if (restoreProxyEnable())
            qDebug() << "[SystemProxyManager] ProxyEnable已回滚";
        else
            qWarning() << "[SystemProxyManager] 回滚ProxyEnable失败";
        return false;
    }
    qDebug() << "[SystemProxyManager] ProxyServer设置成功";

    if (runCommand(QStringLiteral("netsh"),
                   {QStringLiteral("winhttp"), QStringLiteral("set"), QStringLiteral("proxy"),
                    QStringLiteral("proxy-server=\"%1\"").arg(server),
                    QStringLiteral("bypass-list=\"<local>\"")}))
        qDebug() << "[SystemProxyManager] WinHTTP代理设置成功";
    else
        qWarning() << "[SystemProxyManager] 设置WinHTTP代理失败";

    if (!setEnvironmentProxy(proxyUrl))
        qWarning() << "[SystemProxyManager] 设置环境变量代理失败";

    importWinHttpProxy();

    qDebug() << "[SystemProxyManager] 系统代理设置完成";
    return true;
}

bool SystemProxyManager::setEnvironmentProxy(const QString &proxyUrl)
{
    qDebug() << "[SystemProxyManager] 设置环境变量代理:" << proxyUrl;
    if (!runCommand(QStringLiteral("setx"), {QStringLiteral("http_proxy"), proxyUrl})) {
        qWarning() << "[SystemProxyManager] 设置http_proxy失败";
        return false;
    }
    qDebug() << "[SystemProxyManager] http_proxy设置成功";
    if (!runCommand(QStringLiteral("setx"), {QStringLiteral("https_proxy"), proxyUrl})) {
        qWarning() << "[SystemProxyManager] 设置https_proxy失败";
        return false;
    }
    qDebug() << "[SystemProxyManager] https_proxy设置成功";
    qDebug() << "[SystemProxyManager] 环境变量代理设置完成";
    return true;
}

bool SystemProxyManager::clearSystemProxy()
{
    qDebug() << "[SystemProxyManager] 清除系统代理";
    bool cleared = true;

    if (SystemProxyBackup::isActive())
        qDebug() << "[SystemProxyManager] 恢复用户原有代理设置";
    if (!restoreProxyEnable()) {
        qWarning() << "[SystemProxyManager] 清除ProxyEnable失败";
        cleared = false;
    }
    if (!restoreProxyServer()) {
        qWarning() << "[SystemProxyManager] 恢复ProxyServer失败";
        cleared = false;
    }
    if (!runCommand(QStringLiteral("netsh"),
                    {QStringLiteral("winhttp"), QStringLiteral("reset"), QStringLiteral("proxy")})) {
        qWarning() << "[SystemProxyManager] 重置WinHTTP代理失败";
        cleared = false;
    }
    if (!clearEnvironmentProxy())
        cleared = false;
    if (!importWinHttpProxy()) {
        qWarning() << "[SystemProxyManager] 导入WinHTTP代理失败";
        cleared = false;
    }

    // The user's values and the mark stay until a clearing succeeds, so the next one retries.
    if (!cleared) {
        qWarning() << "[SystemProxyManager] 系统代理未能完全清除";
        return false;
    }
    SystemProxyBackup::release();
    qDebug() << "[SystemProxyManager] 系统代理已清除";
    return true;
}

// The user's own values go back; a variable that was never read is left empty.
bool SystemProxyManager::clearEnvironmentProxy()
{
    qDebug() << "[SystemProxyManager] 清除环境变量代理";
    bool cleared = true;
    for (const QString &name : {kHttpProxy, kHttpsProxy}) {
        const std::optional<RegistryValue> user = SystemProxyBackup::userValue(name);
        if (!runCommand(QStringLiteral("setx"), {name, user ? user->data : QString()})) {
            qWarning().noquote() << QStringLiteral("[SystemProxyManager] 清除%1失败").arg(name);
            cleared = false;
        }
    }
    qDebug() << "[SystemProxyManager] 环境变量代理已清除";
    return cleared;
}

bool SystemProxyManager::restoreAfterCrash()
{
    if (!SystemProxyBackup::isActive())
        return true;
    qWarning() << "[SystemProxyManager] 系统代理仍指向本客户端(上次未正常退出), 开始恢复";
    return clearSystemProxy();
}

// What the user had is unknown then, so clearing switches everything off. Runs at every
// start-up: ProxyServer is read only when the proxy is on.
bool SystemProxyManager::switchOffOrphanedProxy(const QString &proxyUrl)
{
    const std::optional<QString> server = serverString(proxyUrl);
    if (!server)
        return true;
    const std::optional<RegistryValue> enable = queryRegistryValue(kInternetSettingsKey, kProxyEnable);
    if (!enable || enable->data != QStringLiteral("1"))
        return true;
    const std::optional<RegistryValue> current = queryRegistryValue(kInternetSettingsKey, kProxyServer);
    if (!current || current->data != *server)
        return true;
    qWarning() << "[SystemProxyManager] 系统代理仍指向本客户端, 但没有用户原有设置的记录, 关闭系统代理";
    return clearSystemProxy();
}

} // namespace Norvane::Api::Vpn
