#include "api/vpn/Tun2SocksManager.h"

#include "api/vpn/AcceptedWait.h"
#include "api/vpn/ProcessErrorText.h"
#include "platform/process/PlatformCommandResult.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>

namespace Norvane::Api::Vpn {

namespace {

const QString kNetsh = QStringLiteral("netsh");
const QString kAdapterName = QStringLiteral("name=\"wintun\"");
const QString kQuotedAdapter = QStringLiteral("\"wintun\"");
const QString kGateway = QStringLiteral("192.168.123.1");
const QString kFallbackInterface = QStringLiteral("以太网");
const QString kProgramName = QStringLiteral("tun2socks");
const QString kStartFailedText = QStringLiteral("启动tun2socks进程失败");

QStringList ipv4(const QStringList &arguments)
{
    return QStringList{QStringLiteral("interface"), QStringLiteral("ipv4")} + arguments;
}

} // namespace

Tun2SocksManager::Tun2SocksManager(QObject *parent)
    : QObject(parent)
    , m_process(new QProcess(this))
    , m_resourcePath(QCoreApplication::applicationDirPath() + QStringLiteral("/resources/vpn"))
    , m_routes{QStringLiteral("1.0.0.0/8"),   QStringLiteral("2.0.0.0/7"),   QStringLiteral("4.0.0.0/6"),
               QStringLiteral("8.0.0.0/5"),   QStringLiteral("16.0.0.0/4"),  QStringLiteral("32.0.0.0/3"),
               QStringLiteral("64.0.0.0/2"),  QStringLiteral("128.0.0.0/1"), QStringLiteral("198.18.0.0/15")}
    , m_interfaceLister(&NetworkInterfaceEntry::systemInterfaces)
{
    connect(m_process, &QProcess::started, this, &Tun2SocksManager::onTun2SocksStarted);
    connect(m_process, &QProcess::finished, this, &Tun2SocksManager::onTun2SocksFinished);
    connect(m_process, &QProcess::errorOccurred, this, &Tun2SocksManager::onTun2SocksError);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &Tun2SocksManager::onTun2SocksStdout);
    connect(m_process, &QProcess::readyReadStandardError, this, &Tun2SocksManager::onTun2SocksStderr);
    qDebug() << "[Tun2SocksManager] 初始化完成，资源路径:" << m_resourcePath;
}

Tun2SocksManager::~Tun2SocksManager()
{
    stop();
}

void Tun2SocksManager::setResourcePath(const QString &path)
{
    m_resourcePath = path;
}

void Tun2SocksManager::setInterfaceLister(InterfaceLister lister)
{
    m_interfaceLister = std::move(lister);
}

void Tun2SocksManager::setStartPause(int milliseconds)
{
    if (acceptedWait(milliseconds, "[Tun2SocksManager] 忽略无效的 启动等待时间 : %1 毫秒"))
        m_startPauseMs = milliseconds;
}

void Tun2SocksManager::setCommandTimeout(int milliseconds)
{
    if (acceptedWait(milliseconds, "[Tun2SocksManager] 忽略无效的 命令超时 : %1 毫秒"))
        m_commandTimeoutMs = milliseconds;
}

void Tun2SocksManager::setTerminateTimeout(int milliseconds)
{
    if (acceptedWait(milliseconds, "[Tun2SocksManager] 忽略无效的 停止等待时间 : %1 毫秒"))
        m_terminateTimeoutMs = milliseconds;
}

bool Tun2SocksManager::start(const QString &proxyUrl)
{
    if (m_running) {
        qWarning() << "[Tun2SocksManager] tun2socks已经在运行中";
        return false;
    }
    qDebug() << "[Tun2SocksManager] 启动VPN隧道, 代理地址:" << proxyUrl;

    // The program ended by itself last time and no stop followed: its routes are still there.
    if (hasAdapterSettings()) {
        qDebug() << "[Tun2SocksManager] 清除上次隧道遗留的配置";
        clearAdapterSettings();
    }

    if (!startProcess(proxyUrl) || !outlivesStartPause()) {
        qWarning().noquote() << "[Tun2SocksManager]" << kStartFailedText;
        emit error(kStartFailedText);
        return false;
    }

    if (!configureAddress()) {
        failStart(QStringLiteral("配置wintun IP地址失败"));
        return false;
    }
    if (!configureDns()) {
        failStart(QStringLiteral("配置wintun DNS失败"));
        return false;
    }
    if (!addRoutes()) {
        failStart(QStringLiteral("添加路由规则失败"));
        return false;
    }

    m_running = true;
    qDebug() << "[Tun2SocksManager] VPN隧道启动成功";
    return true;
}

void Tun2SocksManager::stop()
{
    // After the program ended by itself the adapter's settings remain and are still taken back.
    if (!m_running && !hasAdapterSettings())
        return;
    qDebug() << "[Tun2SocksManager] 停止VPN隧道";
    clearAdapterSettings();
    stopProcess();
    m_running = false;
    qDebug() << "[Tun2SocksManager] VPN隧道已停止";
}

// Routes left pointing into an adapter whose program is gone would take all the machine's
// traffic nowhere, so a failed start takes back what it set before ending the program.
void Tun2SocksManager::failStart(const QString &message)
{
    qWarning().noquote() << "[Tun2SocksManager]" << message;
    clearAdapterSettings();
    stopProcess();
    emit error(message);
}

bool Tun2SocksManager::startProcess(const QString &proxyUrl)
{
    const QString program = m_resourcePath + QStringLiteral("/x32/tun2socks.exe");
    if (!QFile::exists(program)) {
        qWarning().noquote() << "[Tun2SocksManager]" << QStringLiteral("tun2socks可执行文件不存在: %1").arg(program);
        return false;
    }

    const QString proxy =
        proxyUrl.startsWith(QLatin1String("socks://")) ? QStringLiteral("socks5") + proxyUrl.mid(5) : proxyUrl;
    qDebug() << "[Tun2SocksManager] 代理URL:" << proxy;
    const QString outgoing = detectInterface();
    qDebug() << "[Tun2SocksManager] 网络接口:" << outgoing;

    const QStringList arguments{QStringLiteral("-device"), QStringLiteral("wintun"), QStringLiteral("-proxy"),
                                proxy, QStringLiteral("-interface"), outgoing};
    qDebug() << "[Tun2SocksManager] 启动tun2socks:" << program;
    qDebug() << "[Tun2SocksManager] 参数:" << arguments.join(QLatin1Char(' '));

    m_process->start(program, arguments, QIODevice::ReadWrite);
    if (!m_process->waitForStarted(kStartTimeoutMs)) {
        qWarning() << "[Tun2SocksManager] tun2socks启动超时";
        // One that starts after all must not run on unseen.
        stopProcess();
        return false;
    }
    qDebug() << "[Tun2SocksManager] tun2socks进程已启动, PID:" << m_process->processId();
    return true;
}

// The pause gives the program time to create the adapter; one that ended in it (a refused
// command line, a missing driver) has no adapter to configure.
bool Tun2SocksManager::outlivesStartPause()
{
    qDebug() << "[Tun2SocksManager] 等待tun2socks启动...";
    if (!m_process->waitForFinished(m_startPauseMs) && m_process->state() != QProcess::NotRunning)
        return true;
    qWarning() << "[Tun2SocksManager] tun2socks启动后立即退出, 退出码:" << m_process->exitCode();
    return false;
}

void Tun2SocksManager::stopProcess()
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    qDebug() << "[Tun2SocksManager] 停止tun2socks进程";
    // A program ended by the request's signal counts as crashed; that is no failure of its own
    // (one just started may not catch the signal yet). One that has to be killed is reported.
    m_ending = true;
    m_process->terminate();
    const bool ended = m_process->waitForFinished(m_terminateTimeoutMs);
    m_ending = false;
    if (!ended) {
        qWarning() << "[Tun2SocksManager] tun2socks进程未响应，强制终止";
        m_process->kill();
        m_process->waitForFinished(kKillTimeoutMs);
    }
    qDebug() << "[Tun2SocksManager] tun2socks进程已停止";
}

QString Tun2SocksManager::detectInterface() const
{
    const QList<NetworkInterfaceEntry> interfaces = m_interfaceLister();
    for (const NetworkInterfaceEntry &entry : interfaces) {
        if (entry.isLoopback || !entry.isUp || entry.name.contains(QLatin1String("wintun"), Qt::CaseInsensitive))
            continue;
        qDebug() << "[Tun2SocksManager] 检测到网络接口:" << entry.name;
        return entry.name;
    }
    qWarning() << "[Tun2SocksManager] 未找到合适的网络接口，使用默认值";
    return kFallbackInterface;
}

bool Tun2SocksManager::configureAddress()
{
    qDebug() << "[Tun2SocksManager] 配置wintun IP地址: 192.168.123.1/24";
    if (!runCommand(kNetsh, ipv4({QStringLiteral("set"), QStringLiteral("address"), kAdapterName,
                                  QStringLiteral("source=static"), QStringLiteral("addr=") + kGateway,
                                  QStringLiteral("mask=255.255.255.0")}))) {
        qWarning() << "[Tun2SocksManager] 配置wintun IP地址失败";
        return false;
    }
    m_addressSet = true;
    qDebug() << "[Tun2SocksManager] wintun IP地址配置成功";
    return true;
}

bool Tun2SocksManager::configureDns()
{
    qDebug() << "[Tun2SocksManager] 配置wintun DNS: 8.8.8.8";
    if (!runCommand(kNetsh, ipv4({QStringLiteral("set"), QStringLiteral("dnsservers"), kAdapterName,
                                  QStringLiteral("static"), QStringLiteral("address=8.8.8.8"),
                                  QStringLiteral("register=none"), QStringLiteral("validate=no")}))) {
        qWarning() << "[Tun2SocksManager] 配置wintun DNS失败";
        return false;
    }
    m_dnsSet = true;
    qDebug() << "[Tun2SocksManager] wintun DNS配置成功";
    return true;
}

bool Tun2SocksManager::addRoutes()
{
    qDebug() << "[Tun2SocksManager] 添加路由规则 (共" << m_routes.size() << "条)";
    for (const QString &route : std::as_const(m_routes)) {
        if (runCommand(kNetsh, ipv4({QStringLiteral("add"), QStringLiteral("route"), route, kQuotedAdapter,
                                     kGateway, QStringLiteral("metric=1")}))) {
            qDebug() << "[Tun2SocksManager] 添加路由:" << route << "✓";
            m_addedRoutes.append(route);
        } else {
            qWarning() << "[Tun2SocksManager] 添加路由失败:" << route;
        }
    }
    qDebug() << "[Tun2SocksManager] 路由规则添加完成:" << m_addedRoutes.size() << "/" << m_routes.size();
    return m_addedRoutes.size() == m_routes.size();
}

// Only the routes this tunnel added: deleting one it never added would fail anyway.
void Tun2SocksManager::removeRoutes()
{
    qDebug() << "[Tun2SocksManager] 清除路由规则";
    for (const QString &route : std::as_const(m_addedRoutes))
        runCommand(kNetsh, ipv4({QStringLiteral("delete"), QStringLiteral("route"), route, kQuotedAdapter}));
    m_addedRoutes.clear();
    qDebug() << "[Tun2SocksManager] 路由规则已清除";
}

void Tun2SocksManager::restoreDhcp()
{
    qDebug() << "[Tun2SocksManager] 清除wintun配置";
    if (m_dnsSet)
        runCommand(kNetsh, ipv4({QStringLiteral("set"), QStringLiteral("dnsservers"), kAdapterName,
                                 QStringLiteral("dhcp")}));
    if (m_addressSet)
        runCommand(kNetsh, ipv4({QStringLiteral("set"), QStringLiteral("address"), kAdapterName,
                                 QStringLiteral("source=dhcp")}));
    m_dnsSet = false;
    m_addressSet = false;
    qDebug() << "[Tun2SocksManager] wintun配置已清除";
}

bool Tun2SocksManager::hasAdapterSettings() const
{
    return m_addressSet || m_dnsSet || !m_addedRoutes.isEmpty();
}

void Tun2SocksManager::clearAdapterSettings()
{
    if (!m_addedRoutes.isEmpty())
        removeRoutes();
    if (m_addressSet || m_dnsSet)
        restoreDhcp();
}

bool Tun2SocksManager::runCommand(const QString &program, const QStringList &arguments) const
{
    return Platform::PlatformCommandResult::runLogged("[Tun2SocksManager]", program, arguments, m_commandTimeoutMs);
}

void Tun2SocksManager::onTun2SocksStarted()
{
    qDebug() << "[Tun2SocksManager] tun2socks进程已启动";
    emit started();
}

void Tun2SocksManager::onTun2SocksFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    const bool crashed = exitStatus == QProcess::CrashExit;
    qDebug() << "[Tun2SocksManager] tun2socks进程已退出, 退出码:" << exitCode << ", 状态:"
             << (crashed ? "崩溃" : "正常");
    m_running = false;
    if (crashed && !m_ending)
        emit error(processErrorText(QProcess::Crashed, kProgramName));
    emit stopped();
}

void Tun2SocksManager::onTun2SocksError(QProcess::ProcessError processError)
{
    if (m_ending && processError == QProcess::Crashed)
        return;
    const QString text = processErrorText(processError, kProgramName);
    qWarning().noquote() << "[Tun2SocksManager]" << text;
    emit error(text);
}

void Tun2SocksManager::onTun2SocksStdout()
{
    const QString text = QString::fromUtf8(m_process->readAllStandardOutput()).trimmed();
    if (text.isEmpty())
        return;
    qDebug() << "[tun2socks输出]" << text;
    emit logOutput(QStringLiteral("[tun2socks] ") + text);
}

void Tun2SocksManager::onTun2SocksStderr()
{
    const QString text = QString::fromUtf8(m_process->readAllStandardError()).trimmed();
    if (text.isEmpty())
        return;
    qDebug() << "[tun2socks错误]" << text;
    emit logOutput(QStringLiteral("[tun2socks错误] ") + text);
}

} // namespace Norvane::Api::Vpn
