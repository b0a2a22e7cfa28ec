#include "api/vpn/Tun2SocksManager.h"

#include "process/PlatformCommand.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QThread>

namespace Norvane::Api::Vpn {

namespace {

const QString kNetsh = QStringLiteral("netsh");
const QString kAdapterName = QStringLiteral("name=\"wintun\"");
const QString kQuotedAdapter = QStringLiteral("\"wintun\"");
const QString kGateway = QStringLiteral("192.168.123.1");
const QString kFallbackInterface = QStringLiteral("以太网");

QStringList ipv4(const QStringList &arguments)
{
    return QStringList{QStringLiteral("interface"), QStringLiteral("ipv4")} + arguments;
}

} // namespace

Tun2SocksManager::Tun2SocksManager(QObject *parent)
    : QObject(parent),
      m_process(new QProcess(this)),
      m_resourcePath(QCoreApplication::applicationDirPath() + QStringLiteral("/resources/vpn")),
      m_routes{QStringLiteral("1.0.0.0/8"),   QStringLiteral("2.0.0.0/7"),  QStringLiteral("4.0.0.0/6"),
               QStringLiteral("8.0.0.0/5"),   QStringLiteral("16.0.0.0/4"), QStringLiteral("32.0.0.0/3"),
               QStringLiteral("64.0.0.0/2"),  QStringLiteral("128.0.0.0/1"), QStringLiteral("198.18.0.0/15")},
      m_interfaceLister(&NetworkInterfaceFacts::fromSystem)
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

void Tun2SocksManager::setStartPause(int milliseconds)
{
    if (milliseconds < 0) {
        qWarning() << "[Tun2SocksManager] 忽略无效的等待时间:" << milliseconds;
        return;
    }
    m_startPauseMs = milliseconds;
}

void Tun2SocksManager::setInterfaceLister(NetworkInterfaceLister lister)
{
    m_interfaceLister = std::move(lister);
}

bool Tun2SocksManager::start(const QString &proxyUrl)
{
    if (m_running) {
        qWarning() << "[Tun2SocksManager] tun2socks已经在运行中";
        return false;
    }
    qDebug() << "[Tun2SocksManager] 启动VPN隧道, 代理地址:" << proxyUrl;

    if (!startProcess(proxyUrl)) {
        qWarning() << "[Tun2SocksManager] 启动tun2socks进程失败";
        emit error(QStringLiteral("启动tun2socks进程失败"));
        return false;
    }

    qDebug() << "[Tun2SocksManager] 等待tun2socks启动...";
    QThread::msleep(m_startPauseMs);

    m_networkTouched = true;
    if (!configureAddress())
        return failStart(QStringLiteral("配置wintun IP地址失败"));
    if (!configureDns())
        return failStart(QStringLiteral("配置wintun DNS失败"));
    if (!addRoutes())
        return failStart(QStringLiteral("添加路由规则失败"));

    m_running = true;
    qDebug() << "[Tun2SocksManager] VPN隧道启动成功";
    return true;
}

// A half-configured adapter would take the machine's traffic into a tunnel that is gone, so
// whatever was set is taken back before the program ends.
bool Tun2SocksManager::failStart(const QString &message)
{
    qWarning() << "[Tun2SocksManager]" << message;
    undoNetworkSettings();
    stopProcess();
    emit error(message);
    return false;
}

void Tun2SocksManager::stop()
{
    if (!m_running && !m_networkTouched && m_process->state() == QProcess::NotRunning)
        return;
    qDebug() << "[Tun2SocksManager] 停止VPN隧道";
    // Also after the program ended by itself: its routes would still point into the adapter.
    undoNetworkSettings();
    stopProcess();
    m_running = false;
    qDebug() << "[Tun2SocksManager] VPN隧道已停止";
}

void Tun2SocksManager::undoNetworkSettings()
{
    if (!m_networkTouched)
        return;
    removeRoutes();
    restoreDhcp();
    m_networkTouched = false;
}

bool Tun2SocksManager::startProcess(const QString &proxyUrl)
{
    const QString program = m_resourcePath + QStringLiteral("/x32/tun2socks.exe");
    if (!QFile::exists(program)) {
        qWarning() << "[Tun2SocksManager]" << QStringLiteral("tun2socks可执行文件不存在: %1").arg(program);
        return false;
    }

    const QString scheme = QStringLiteral("socks://");
    const QString proxy = proxyUrl.startsWith(scheme) ? QStringLiteral("socks5") + proxyUrl.mid(5) : proxyUrl;
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
        return false;
    }
    qDebug() << "[Tun2SocksManager] tun2socks进程已启动, PID:" << m_process->processId();
    return true;
}

void Tun2SocksManager::stopProcess()
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    qDebug() << "[Tun2SocksManager] 停止tun2socks进程";
    m_process->terminate();
    if (!m_process->waitForFinished(kTerminateTimeoutMs)) {
        qWarning() << "[Tun2SocksManager] tun2socks进程未响应，强制终止";
        m_process->kill();
        m_process->waitForFinished(kKillTimeoutMs);
    }
    qDebug() << "[Tun2SocksManager] tun2socks进程已停止";
}

QString Tun2SocksManager::detectInterface() const
{
    const QList<NetworkInterfaceFacts> interfaces = m_interfaceLister();
    for (const NetworkInterfaceFacts &facts : interfaces) {
        if (facts.loopback || !facts.up || facts.name.contains(QLatin1String("wintun"), Qt::CaseInsensitive))
            continue;
        qDebug() << "[Tun2SocksManager] 检测到网络接口:" << facts.name;
        return facts.name;
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
    qDebug() << "[Tun2SocksManager] wintun DNS配置成功";
    return true;
}

bool Tun2SocksManager::addRoutes()
{
    qDebug() << "[Tun2SocksManager] 添加路由规则 (共" << m_routes.size() << "条)";
    int added = 0;
    for (const QString &route : std::as_const(m_routes)) {
        if (runCommand(kNetsh, ipv4({QStringLiteral("add"), QStringLiteral("route"), route, kQuotedAdapter, kGateway,
                                     QStringLiteral("metric=1")}))) {
            qDebug() << "[Tun2SocksManager] 添加路由:" << route << "✓";
            ++added;
        } else {
            qWarning() << "[Tun2SocksManager] 添加路由失败:" << route;
        }
    }
    qDebug() << "[Tun2SocksManager] 路由规则添加完成:" << added << "/" << m_routes.size();
    return added == m_routes.size();
}

void Tun2SocksManager::removeRoutes()
{
    qDebug() << "[Tun2SocksManager] 清除路由规则";
    for (const QString &route : std::as_const(m_routes))
        runCommand(kNetsh, ipv4({QStringLiteral("delete"), QStringLiteral("route"), route, kQuotedAdapter}));
    qDebug() << "[Tun2SocksManager] 路由规则已清除";
}

void Tun2SocksManager::restoreDhcp()
{
    qDebug() << "[Tun2SocksManager] 清除wintun配置";
    runCommand(kNetsh, ipv4({QStringLiteral("set"), QStringLiteral("dnsservers"), kAdapterName, QStringLiteral("dhcp")}));
    runCommand(kNetsh, ipv4({QStringLiteral("set"), QStringLiteral("address"), kAdapterName,
                             QStringLiteral("source=dhcp")}));
    qDebug() << "[Tun2SocksManager] wintun配置已清除";
}

bool Tun2SocksManager::runCommand(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(Platform::commandProgram(program), arguments, QIODevice::ReadWrite);
    if (!process.waitForFinished(kCommandTimeoutMs)) {
        qWarning() << "[Tun2SocksManager] 命令执行超时:" << program;
        // The call's process must not outlive the call.
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << "[Tun2SocksManager] 命令执行失败, 退出码:" << process.exitCode();
        qWarning() << "[Tun2SocksManager] 错误输出:" << QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    return true;
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
    if (crashed)
        emit error(QStringLiteral("tun2socks进程崩溃"));
    emit stopped();
}

void Tun2SocksManager::onTun2SocksError(QProcess::ProcessError processError)
{
    QString text;
    switch (processError) {
    case QProcess::FailedToStart: text = QStringLiteral("tun2socks启动失败，请检查文件是否存在"); break;
    case QProcess::Crashed: text = QStringLiteral("tun2socks进程崩溃"); break;
    case QProcess::Timedout: text = QStringLiteral("tun2socks进程超时"); break;
    case QProcess::ReadError: text = QStringLiteral("tun2socks进程读取错误"); break;
    case QProcess::WriteError: text = QStringLiteral("tun2socks进程写入错误"); break;
    default: text = QStringLiteral("tun2socks未知错误"); break;
    }
    qWarning() << "[Tun2SocksManager]" << text;
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
