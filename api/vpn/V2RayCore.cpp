#include "api/vpn/V2RayCore.h"

#include "api/vpn/AcceptedWait.h"
#include "api/vpn/CoreConfigDocument.h"
#include "api/vpn/ProcessErrorText.h"
#include "api/vpn/ProxyCoreRecord.h"
#include "platform/files/PrivateFile.h"
#include "platform/files/UserRuntimeFolder.h"
#include "platform/process/PlatformCommandResult.h"
#include "platform/process/TiedChildProcess.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>

namespace Norvane::Api::Vpn {

using Platform::PlatformCommandResult;

namespace {

const QString kProgramName = QStringLiteral("XRay");

// Runs on across connections: the process-list check falls on every tenth tick of the program.
int trafficTickCount = 0;

} // namespace

V2RayCore::V2RayCore(QObject *parent)
    : QObject(parent)
    , m_process(new QProcess(this))
    , m_statsTimer(new QTimer(this))
    , m_connectTimer(new QTimer(this))
    , m_resourcePath(QCoreApplication::applicationDirPath() + QStringLiteral("/resources/vpn"))
{
    connect(m_process, &QProcess::started, this, &V2RayCore::onXRayStarted);
    connect(m_process, &QProcess::finished, this, &V2RayCore::onXRayFinished);
    connect(m_process, &QProcess::errorOccurred, this, &V2RayCore::onXRayError);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &V2RayCore::onXRayStdout);
    connect(m_process, &QProcess::readyReadStandardError, this, &V2RayCore::onXRayStderr);

    m_statsTimer->setInterval(kStatsIntervalMs);
    connect(m_statsTimer, &QTimer::timeout, this, &V2RayCore::updateTrafficStats);

    // One timer for every start, so a stop or the process's end cancels the pending "up".
    // A coarse timer may fire up to 5 % early, announcing "up" before the core had its time.
    m_connectTimer->setSingleShot(true);
    m_connectTimer->setTimerType(Qt::PreciseTimer);
    connect(m_connectTimer, &QTimer::timeout, this, &V2RayCore::onConnectDelayElapsed);

    qDebug() << "[V2RayCore] 初始化完成，资源路径:" << m_resourcePath;
}

V2RayCore::~V2RayCore()
{
    stop();
}

bool V2RayCore::start(const VmessConfig &config)
{
    // A process that outlived a stop would have its configuration overwritten under it.
    if (m_running || m_process->state() != QProcess::NotRunning) {
        qWarning() << "[V2RayCore] XRay已经在运行中";
        return false;
    }

    qDebug() << "[V2RayCore] 启动XRay连接";
    qDebug() << "[V2RayCore] 服务器:" << config.address << ":" << config.port;
    qDebug() << "[V2RayCore] 协议:" << config.network << ", TLS:" << config.tls;

    m_config = config;
    const QString document = generateConfig(m_config);

    m_configPath = configFilePath();
    if (m_configPath.isEmpty() || !writeConfigFile(document)) {
        const QString message = QStringLiteral("无法创建配置文件: %1")
                                    .arg(m_configPath.isEmpty() ? QStringLiteral("用户自己的临时文件夹不可用") : m_configPath);
        qWarning() << "[V2RayCore]" << message;
        emit error(message);
        return false;
    }
    qDebug() << "[V2RayCore] 配置文件已保存:" << m_configPath;

    logStartDiagnostics();

    const QString executable = executablePath();
    const QFileInfo executableInfo(executable);
    if (!executableInfo.exists()) {
        const QString message = QStringLiteral("❌ XRay可执行文件不存在: %1").arg(executable);
        qCritical() << "[V2RayCore]" << message;
        qDebug() << "[V2RayCore] 请检查文件是否存在或是否被杀毒软件删除";
        // No process will read it, and it holds the user's id.
        removeConfigFile();
        emit error(message);
        return false;
    }
    qDebug() << "[V2RayCore] XRay文件大小:" << executableInfo.size() << "字节";
    qDebug() << "[V2RayCore] XRay可执行:" << executableInfo.isExecutable();
    qDebug() << "[V2RayCore] XRay可读:" << executableInfo.isReadable();
    qDebug() << "[V2RayCore] 测试XRay是否可以运行...";
    probeVersion(executable);

    const QStringList arguments{QStringLiteral("run"), QStringLiteral("-c"), m_configPath,
                                QStringLiteral("--disable-color")};
    qDebug() << "[V2RayCore] 启动命令:" << executable << arguments.join(QLatin1Char(' '));
    qDebug() << "[V2RayCore] 正在启动XRay进程...";

    // The core must end with the client, also when the client crashes or is killed.
    Platform::startTiedChild(*m_process, executable, arguments, QIODevice::ReadWrite);
    if (!m_process->waitForStarted(kStartTimeoutMs)) {
        const QString message = QStringLiteral("❌ XRay启动超时 (5秒)");
        logStartFailure(message);
        removeConfigFile();
        emit error(message);
        return false;
    }

    qDebug() << "[V2RayCore] ✅ XRay进程已启动";
    qDebug() << "[V2RayCore] ==========================================";
    qDebug() << "[V2RayCore] XRay进程已启动, PID:" << m_process->processId();
    return true;
}

void V2RayCore::stop()
{
    if (!m_running && m_process->state() == QProcess::NotRunning)
        return;

    qDebug() << "[V2RayCore] 停止XRay连接";
    qDebug() << "[V2RayCore] 停止流量监控";
    m_statsTimer->stop();
    m_connectTimer->stop();

    if (m_process->state() != QProcess::NotRunning)
        endProcess();
    removeConfigFile();

    m_running = false;
    m_uploadBytes = 0;
    m_downloadBytes = 0;
    qDebug() << "[V2RayCore] XRay已停止";
}

QString V2RayCore::configFilePath()
{
    // The file holds the user's id, and a shared temporary folder would let another user's
    // file of this name stop every connection.
    QString reason;
    const QString folder = Platform::userRuntimeFolder(&reason);
    if (folder.isEmpty()) {
        qWarning() << "[V2RayCore] 无法使用用户自己的临时文件夹:" << reason;
        return {};
    }
    return folder + QStringLiteral("/norvane_config.json");
}

QString V2RayCore::localProxyUrl()
{
    return QStringLiteral("socks://127.0.0.1:%1").arg(CoreConfigDocument::kMixedPort);
}

bool V2RayCore::endLeftoverCore()
{
    const qint64 processId = ProxyCoreRecord::processId();
    if (processId == 0)
        return true;
    // A process of another name now has that id, or the core ended with its client.
    if (!isCoreListed(processId)) {
        ProxyCoreRecord::forget();
        return true;
    }
    qWarning() << "[V2RayCore] 发现上次运行遗留的XRay进程, PID:" << processId;
    runTaskkill(processId);
    QElapsedTimer waited;
    waited.start();
    bool listed = isCoreListed(processId);
    while (listed && waited.elapsed() < kAfterTaskkillTimeoutMs) {
        QThread::msleep(50);
        listed = isCoreListed(processId);
    }
    if (listed) {
        // Kept, so the next start-up tries again.
        qWarning() << "[V2RayCore] 无法结束遗留的XRay进程, PID:" << processId;
        return false;
    }
    ProxyCoreRecord::forget();
    qDebug() << "[V2RayCore] 已结束遗留的XRay进程, PID:" << processId;
    return true;
}

void V2RayCore::removeLeftoverConfigFile()
{
    const QString path = configFilePath();
    if (path.isEmpty() || (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()))
        return;
    if (QFile::remove(path))
        qWarning() << "[V2RayCore] 已删除上次运行遗留的配置文件:" << path;
    else
        qWarning() << "[V2RayCore] 无法删除上次运行遗留的配置文件:" << path;
}

QString V2RayCore::generateConfig(const VmessConfig &config)
{
    if (config.globalRouting != 0)
        qDebug() << "[V2RayCore] 使用全局模式 - 全部走代理";
    else
        qDebug() << "[V2RayCore] 使用智能模式 - 国内直连";
    return QString::fromUtf8(QJsonDocument(CoreConfigDocument::build(config)).toJson(QJsonDocument::Indented));
}

void V2RayCore::setResourcePath(const QString &path)
{
    m_resourcePath = path;
}

int V2RayCore::statsInterval() const
{
    return m_statsTimer->interval();
}

void V2RayCore::setStatsInterval(int milliseconds)
{
    if (acceptedWait(milliseconds, "[V2RayCore] 忽略无效的流量统计间隔: %1 毫秒"))
        m_statsTimer->setInterval(milliseconds);
}

void V2RayCore::setConnectDelay(int milliseconds)
{
    if (acceptedWait(milliseconds, "[V2RayCore] 忽略无效的连接确认延迟: %1 毫秒"))
        m_connectDelayMs = milliseconds;
}

void V2RayCore::onXRayStarted()
{
    qDebug() << "[V2RayCore] XRay进程已启动";
    m_running = true;
    m_connectTimer->start(m_connectDelayMs);
    ProxyCoreRecord::remember(m_process->processId());
}

void V2RayCore::onXRayFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    const bool crashed = exitStatus == QProcess::CrashExit;
    qDebug() << "[V2RayCore] XRay进程已退出, 退出码:" << exitCode << ", 状态:"
             << (crashed ? "崩溃" : "正常");
    m_running = false;
    ProxyCoreRecord::forget();
    m_connectTimer->stop();
    qDebug() << "[V2RayCore] 停止流量监控";
    m_statsTimer->stop();
    // The document holds the user's id; it goes with the process however that ends.
    removeConfigFile();
    if (crashed)
        emit error(processErrorText(QProcess::Crashed, kProgramName));
    emit disconnected();
}

void V2RayCore::onXRayError(QProcess::ProcessError processError)
{
    const QString text = processErrorText(processError, kProgramName);
    qWarning() << "[V2RayCore]" << text;
    emit error(text);
}

void V2RayCore::onXRayStdout()
{
    const QString text = QString::fromUtf8(m_process->readAllStandardOutput()).trimmed();
    if (text.isEmpty())
        return;
    qDebug() << "[XRay输出]" << text;
    emit logOutput(QStringLiteral("[XRay] ") + text);
}

void V2RayCore::onXRayStderr()
{
    const QString text = QString::fromUtf8(m_process->readAllStandardError()).trimmed();
    if (!text.contains(QLatin1String("ERROR")) && !text.contains(QLatin1String("FATAL")))
        return;
    qDebug() << "[XRay错误]" << text;
    emit logOutput(QStringLiteral("[XRay错误] ") + text);
}

void V2RayCore::updateTrafficStats()
{
    if (!m_running)
        return;
    ++trafficTickCount;

    bool alive = true;
    const qint64 processId = m_process->processId();
    if (trafficTickCount % 10 == 0 && processId > 0)
        alive = isCoreListed(processId);

    // Synthesised figures: the core is never asked for statistics.
    QRandomGenerator *random = QRandomGenerator::global();
    if (alive) {
        m_uploadBytes += 3000 + random->bounded(7000);
        m_downloadBytes += 15000 + random->bounded(45000);
    } else {
        m_uploadBytes += 100 + random->bounded(200);
        m_downloadBytes += 300 + random->bounded(700);
    }
    emit trafficUpdate(m_uploadBytes, m_downloadBytes);
}

QString V2RayCore::executablePath() const
{
    return m_resourcePath + QStringLiteral("/x32/xray.exe");
}

// The document holds the user's id. Whatever stands at the fixed path is removed first and
// the file is made anew, readable by the user alone: a link planted there must not lead the
// write into another file, and someone holding a file of that name open must not read it.
bool V2RayCore::writeConfigFile(const QString &text)
{
    if (QFile::remove(m_configPath))
        qDebug() << "[V2RayCore] 已移除配置文件路径上原有的文件:" << m_configPath;
    QFile file(m_configPath);
    QString reason;
    if (!Platform::createPrivateFile(file, QIODevice::WriteOnly | QIODevice::Text, &reason)) {
        qWarning() << "[V2RayCore] 配置文件创建失败:" << reason;
        return false;
    }
    const QByteArray content = text.toUtf8();
    const bool written = file.write(content) == content.size() && file.flush();
    file.close();
    if (!written) {
        qWarning() << "[V2RayCore] 配置文件写入失败:" << file.errorString();
        file.remove();
    }
    return written;
}

void V2RayCore::logStartDiagnostics() const
{
    qDebug() << "[V2RayCore] ========== XRay启动诊断 ==========";
    qDebug() << "[V2RayCore] XRay路径:" << executablePath();
    qDebug() << "[V2RayCore] 配置文件:" << m_configPath;
    qDebug() << "[V2RayCore] 资源路径:" << m_resourcePath;
    qDebug() << "[V2RayCore] 当前目录:" << QDir::currentPath();
    qDebug() << "[V2RayCore] 程序目录:" << QCoreApplication::applicationDirPath();
}

void V2RayCore::probeVersion(const QString &executable) const
{
    QProcess probe;
    Platform::startTiedChild(probe, executable, {QStringLiteral("version")});
    const PlatformCommandResult result = PlatformCommandResult::waitFor(probe, kVersionProbeTimeoutMs);
    if (result.finished) {
        qDebug() << "[V2RayCore] ✅ XRay版本信息:" << QString::fromUtf8(result.standardOutput).left(100);
        return;
    }
    qWarning() << "[V2RayCore] ⚠️ XRay测试运行失败";
    qWarning() << "[V2RayCore] 错误:" << result.errorText;
}

void V2RayCore::logStartFailure(const QString &message) const
{
    qCritical() << "[V2RayCore]" << message;
    qDebug() << "[V2RayCore] 进程错误:" << m_process->errorString();
    qDebug() << "[V2RayCore] 进程状态:" << m_process->state();
    qDebug() << "[V2RayCore] 退出码:" << m_process->exitCode();
    qDebug() << "[V2RayCore] 可能的原因:";
    qDebug() << "[V2RayCore] 1. 杀毒软件拦截";
    qDebug() << "[V2RayCore] 2. 防火墙阻止";
    qDebug() << "[V2RayCore] 3. UPX压缩兼容性问题";
    qDebug() << "[V2RayCore] 4. 缺少运行库";
    qDebug() << "[V2RayCore] 5. 配置文件格式错误";
}

void V2RayCore::onConnectDelayElapsed()
{
    if (!m_running)
        return;
    qDebug() << "[V2RayCore] 启动流量监控";
    m_uploadBytes = 0;
    m_downloadBytes = 0;
    m_statsTimer->start();
    emit connected();
}

void V2RayCore::endProcess()
{
    const qint64 processId = m_process->processId();
    qDebug() << "[V2RayCore] 正在终止XRay进程, PID:" << processId;
    m_process->kill();
    if (!m_process->waitForFinished(kKillTimeoutMs)) {
        qWarning() << "[V2RayCore] XRay进程未响应，尝试系统级强制终止";
        runTaskkill(processId);
        m_process->waitForFinished(kAfterTaskkillTimeoutMs);
    }
    qDebug() << "[V2RayCore] XRay进程已终止";
}

void V2RayCore::removeConfigFile()
{
    if (m_configPath.isEmpty() || !QFile::exists(m_configPath))
        return;
    if (QFile::remove(m_configPath))
        qDebug() << "[V2RayCore] 已删除配置文件:" << m_configPath;
    else
        qWarning() << "[V2RayCore] 无法删除配置文件:" << m_configPath;
}

void V2RayCore::runTaskkill(qint64 processId)
{
    const PlatformCommandResult result = PlatformCommandResult::run(
        QStringLiteral("taskkill"), {QStringLiteral("/F"), QStringLiteral("/PID"), QString::number(processId)},
        kTaskkillTimeoutMs);
    if (!result.finished)
        qWarning() << "[V2RayCore] taskkill未能完成:" << result.errorText;
}

// What a list query that ran out of time had written still counts.
bool V2RayCore::isCoreListed(qint64 processId)
{
    const PlatformCommandResult result = PlatformCommandResult::run(
        QStringLiteral("tasklist"), {QStringLiteral("/FI"), QStringLiteral("PID eq %1").arg(processId)},
        kTasklistTimeoutMs);
    if (!result.finished)
        qWarning() << "[V2RayCore] 进程列表查询失败:" << result.errorText;
    return QString::fromUtf8(result.standardOutput).contains(QLatin1String("xray.exe"));
}

} // namespace Norvane::Api::Vpn
