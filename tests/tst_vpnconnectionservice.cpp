#include "api/models/User.h"
#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/HeartbeatService.h"
#include "api/services/VpnConnectionService.h"
#include "api/vpn/SystemProxyBackup.h"
#include "api/vpn/V2RayCore.h"
#include "localbackend/LocalBackendServer.h"
#include "support/LogCapture.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>
#include <QCryptographicHash>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>
#include <memory>
#include <optional>

using namespace Norvane::Api;
using Norvane::LocalBackend::LocalBackendServer;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;
using Services::HeartbeatService;
using Services::VpnConnectionService;
using Vpn::V2RayCore;

namespace {

using State = VpnConnectionService::VpnConnectionState;
using Reason = VpnConnectionService::ConnectionFailureReason;

const QString kNetworkText = QStringLiteral("网络连接失败，请检查网络设置");
const QString kTrialText = QStringLiteral("您的免费体验时长已用完，请升级VIP继续使用");
const QString kLocalServer = QStringLiteral("socks=127.0.0.1:10315");
const QString kLinkKey = QStringLiteral("norvane-link-key-密钥");
constexpr int kConnectDelayMs = 200;

QString linkFor(const QString &address, const QString &prefix = QStringLiteral("vmess://"))
{
    const QJsonObject server{{"v", "2"}, {"ps", "测试节点"}, {"add", address}, {"port", "443"},
                             {"id", "b831381d-6324-4d53-ad4f-8cda48b30811"}, {"aid", "0"}, {"net", "tcp"}};
    return prefix + QString::fromLatin1(QJsonDocument(server).toJson(QJsonDocument::Compact).toBase64());
}

const QString kLink = linkFor(QStringLiteral("hk1.example.test"));

// Base64 of a random IV and the AES-256-CBC ciphertext, keyed by the SHA-256 of the key text,
// as the back end sends an encrypted link; made by the openssl command line.
QString encryptedLink(const QString &link, const QString &keyText)
{
    // A fixed IV keeps the ciphertext the same at every run. CBC has no authentication: with a
    // random one, a wrong key reads as valid padding about once in 256 runs.
    const QByteArray iv = QByteArrayLiteral("norvane-fixed-iv");
    const QByteArray key = QCryptographicHash::hash(keyText.toUtf8(), QCryptographicHash::Sha256);
    QProcess openssl;
    openssl.start(QStandardPaths::findExecutable(QStringLiteral("openssl")),
                  {"enc", "-aes-256-cbc", "-K", QString::fromLatin1(key.toHex()), "-iv", QString::fromLatin1(iv.toHex())});
    if (!openssl.waitForStarted())
        qFatal("install the openssl command line tool");
    openssl.write(link.toUtf8());
    openssl.closeWriteChannel();
    if (!openssl.waitForFinished(10000) || openssl.exitCode() != 0)
        qFatal("openssl failed to encrypt the link");
    return QString::fromLatin1((iv + openssl.readAllStandardOutput()).toBase64());
}

QDateTime daysFromNow(int days)
{
    return QDateTime::currentDateTime().addDays(days);
}

Models::User user(const QString &status, bool isVip, const QDateTime &vipExpiresAt, bool trialUsed, double hours)
{
    Models::User record;
    record.id = 42;
    record.email = QStringLiteral("user@norvane.local");
    record.status = status;
    record.isVip = isVip;
    record.vipExpiresAt = vipExpiresAt;
    record.trialUsed = trialUsed;
    record.trialHoursRemaining = hours;
    return record;
}

Models::User vipUser()
{
    return user(QStringLiteral("active"), true, daysFromNow(30), false, 0);
}

Models::User freeUser(double hours)
{
    return user(QStringLiteral("active"), false, QDateTime(), true, hours);
}

// What the service emitted, one text per signal; the figures' signals are counted apart.
struct ServiceEvents
{
    QObject context;
    QStringList events;
    QList<int> durations;
    int trafficChanges = 0;
    int latencyChanges = 0;

    explicit ServiceEvents(VpnConnectionService *service)
    {
        QObject::connect(service, &VpnConnectionService::connectionStateChanged, &context,
                         [this](State state) { events << QStringLiteral("state:%1").arg(int(state)); });
        QObject::connect(service, &VpnConnectionService::connectionSuccess, &context,
                         [this]() { events << QStringLiteral("success"); });
        QObject::connect(service, &VpnConnectionService::connectionFailed, &context,
                         [this](Reason reason, const QString &message) {
                             events << QStringLiteral("failed:%1:%2").arg(int(reason)).arg(message);
                         });
        QObject::connect(service, &VpnConnectionService::disconnected, &context,
                         [this]() { events << QStringLiteral("disconnected"); });
        QObject::connect(service, &VpnConnectionService::forceDisconnected, &context,
                         [this](const QString &message) { events << QStringLiteral("forced:") + message; });
        QObject::connect(service, &VpnConnectionService::permissionDenied, &context,
                         [this](Reason reason, const QString &message) {
                             events << QStringLiteral("denied:%1:%2").arg(int(reason)).arg(message);
                         });
        QObject::connect(service, &VpnConnectionService::connectionDurationChanged, &context,
                         [this](int seconds) { durations << seconds; });
        QObject::connect(service, &VpnConnectionService::trafficStatsChanged, &context,
                         [this]() { ++trafficChanges; });
        QObject::connect(service, &VpnConnectionService::latencyChanged, &context, [this]() { ++latencyChanges; });
    }

    bool waitFor(const QString &event, int timeoutMs = 5000) const
    {
        return QTest::qWaitFor([&]() { return events.contains(event); }, timeoutMs);
    }
};

const QStringList kDisconnectSequence{"state:3", "state:0", "disconnected"};
const QString kNetworkFailure = QStringLiteral("failed:10:") + kNetworkText;

} // namespace

class VpnConnectionServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsDisconnected();
    void failureReasonTexts_data();
    void failureReasonTexts();
    void permission_data();
    void permission();
    void acceptedConnectRunsEverythingAndDisconnectUndoesIt();
    void failureInsideTheConnectFlow_data();
    void failureInsideTheConnectFlow();
    void encryptedAndUpperCaseLinksConnect_data();
    void encryptedAndUpperCaseLinksConnect();
    void routingModeReachesTheDocument_data();
    void routingModeReachesTheDocument();
    void disconnectWhileConnectingNeverConnects();
    void disconnectWhileDisconnectedEmitsNothing();
    void connectWhileConnectedTearsDownFirst_data();
    void connectWhileConnectedTearsDownFirst();
    void connectWhileDisconnectingIsRefused();
    void forcedDisconnect_data();
    void forcedDisconnect();
    void keptForceOrderEndsEachConnectionOnce_data();
    void keptForceOrderEndsEachConnectionOnce();
    void trialWatch_data();
    void trialWatch();
    void coreCrashWhileConnected();
    void coreErrorLeavesRunnersUntilDisconnect();
    void connectEndsALeftoverCore();
    void lateConnectedOfAFailedAttemptIsIgnored();
    void repeatedConnectedIsIgnored();
    void logoutDisconnectsAndForgetsTheUser();

    void formatDuration_data();
    void formatDuration();
    void formatSpeed_data();
    void formatSpeed();
    void trafficFiguresAndSpeeds();
    void coreTrafficIsRelayedOnce();
    void latencyReachesTheHeartbeat();
    void durationCountsWhileConnected();

private:
    VpnConnectionService *service() const { return VpnConnectionService::instance(); }
    V2RayCore *core() const { return service()->proxyCore(); }
    bool connectAndWait(int serverId = 1, const QString &link = kLink);
    QStringList coreRuns() const;
    QString lastCorePid() const;
    bool coreAlive(const QString &pid) const;
    QList<QJsonObject> beats() const;
    QStringList beatStatuses() const;
    void giveUserProxy(int enable, const QString &server);
    QString configPath() const;
    QStringList since(int index) const { return m_events->events.mid(index); }

    QTemporaryDir m_dir;
    QString m_resources;
    QString m_coreLog;
    std::unique_ptr<LocalBackendServer> m_backend;
    std::unique_ptr<StandInMachine> m_machine;
    std::unique_ptr<ServiceEvents> m_events;
    std::optional<Reply> m_heartbeatReply;
};

void VpnConnectionServiceTest::initTestCase()
{
    TestEnvironment::isolate();
    QVERIFY(m_dir.isValid());
    const QDir dir(m_dir.path());
    // The configuration file has one fixed name in the temporary folder: a private one.
    QVERIFY(dir.mkpath(QStringLiteral("tmp")));
    qputenv("TMPDIR", dir.filePath(QStringLiteral("tmp")).toLocal8Bit());
    QVERIFY(configPath().startsWith(m_dir.path()));

    m_resources = dir.filePath(QStringLiteral("resources/vpn"));
    QVERIFY(dir.mkpath(QStringLiteral("resources/vpn/x32")));
    QVERIFY(QFile::link(TestEnvironment::helperPath(QStringLiteral("norvane_fake_core")),
                        m_resources + QStringLiteral("/x32/xray.exe")));
    QVERIFY(dir.mkpath(QStringLiteral("missing/x32")));
    QVERIFY(dir.mkpath(QStringLiteral("broken/x32")));
    QFile broken(dir.filePath(QStringLiteral("broken/x32/xray.exe")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a program");
    broken.close();
    m_coreLog = dir.filePath(QStringLiteral("core.log"));
    qputenv("NORVANE_FAKE_CORE_LOG", m_coreLog.toLocal8Bit());

    // Heartbeats reach a local back end that answers every one with an active device, unless
    // a test gives it another answer.
    m_backend = std::make_unique<LocalBackendServer>();
    m_backend->route("POST", "/api/v1/heartbeat", [this](const RecordedRequest &) {
        if (m_heartbeatReply)
            return *m_heartbeatReply;
        return Reply::json(QJsonObject{
            {"success", true},
            {"data", QJsonObject{{"interval", 30},
                                 {"user_status", QJsonObject{{"is_vip", true}, {"trial_hours_remaining", 5.0}}},
                                 {"device_status", QJsonObject{{"status", "active"}, {"force_disconnect", false}}}}}});
    });
    QVERIFY(m_backend->listen());
    Network::HttpClient::instance()->setBaseUrl(m_backend->baseUrl().toString());
    Network::HttpClient::instance()->setAuthToken(QStringLiteral("vpn-test-token"));

    // Read before anything shortens them.
    QCOMPARE(service()->durationTickInterval(), VpnConnectionService::kDurationTickMs);
    QCOMPARE(VpnConnectionService::kDurationTickMs, 1000);
    QCOMPARE(core()->connectDelay(), 2000);
    QCOMPARE(core()->statsInterval(), 2000);
    QCOMPARE(HeartbeatService::instance()->defaultIntervalMs(), 30000);
    service()->setDurationTickInterval(0);
    QCOMPARE(service()->durationTickInterval(), 1000);
}

void VpnConnectionServiceTest::init()
{
    QFile::remove(m_coreLog);
    QFile::remove(configPath());
    qunsetenv("NORVANE_FAKE_CORE_SCRIPT");
    core()->setResourcePath(m_resources);
    core()->setConnectDelay(kConnectDelayMs);
    // Traffic ticks only where a test asks for them.
    core()->setStatsInterval(600000);
    service()->setDurationTickInterval(VpnConnectionService::kDurationTickMs);
    service()->setRoutingMode(VpnConnectionService::GlobalRouting);
    // Every test is a sign-in of its own, so nothing of the last test's session carries over.
    service()->onUserLogout();
    service()->updateUserInfo(vipUser());
    Security::TokenManager::instance()->saveVpnEncryptConfig(QString(), false);
    m_machine = std::make_unique<StandInMachine>();
    if (Vpn::SystemProxyBackup::isActive())
        Vpn::SystemProxyBackup::release();
    m_backend->clearRequests();
    m_heartbeatReply.reset();
    m_events = std::make_unique<ServiceEvents>(service());
}

void VpnConnectionServiceTest::cleanup()
{
    m_events.reset();
    service()->disconnect();
    QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    // Every beat still on its way must arrive before the next test counts beats.
    QTRY_VERIFY(Network::HttpClient::instance()->findChildren<QNetworkReply *>().isEmpty());
    m_machine.reset();
}

bool VpnConnectionServiceTest::connectAndWait(int serverId, const QString &link)
{
    return service()->connect(serverId, link) && m_events->waitFor(QStringLiteral("success"));
}

// The core's starts with "run", as "PID|run|-c|PATH|--disable-color".
QStringList VpnConnectionServiceTest::coreRuns() const
{
    QFile file(m_coreLog);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList runs;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.section(QLatin1Char('|'), 1, 1) == QLatin1String("run"))
            runs << line;
    }
    return runs;
}

QString VpnConnectionServiceTest::lastCorePid() const
{
    // The core logs its start itself, a moment after the process started.
    (void)QTest::qWaitFor([this]() { return !coreRuns().isEmpty(); }, 2000);
    const QStringList runs = coreRuns();
    return runs.isEmpty() ? QString() : runs.last().section(QLatin1Char('|'), 0, 0);
}

bool VpnConnectionServiceTest::coreAlive(const QString &pid) const
{
    return !pid.isEmpty() && QFileInfo::exists(QStringLiteral("/proc/") + pid);
}

QList<QJsonObject> VpnConnectionServiceTest::beats() const
{
    QList<QJsonObject> bodies;
    for (const RecordedRequest &request : m_backend->requests("POST", "/api/v1/heartbeat"))
        bodies << request.jsonBody();
    return bodies;
}

QStringList VpnConnectionServiceTest::beatStatuses() const
{
    QStringList statuses;
    for (const QJsonObject &beat : beats())
        statuses << beat.value("connection_status").toString();
    return statuses;
}

void VpnConnectionServiceTest::giveUserProxy(int enable, const QString &server)
{
    QVERIFY(m_machine->setProxyEnable(enable));
    QVERIFY(m_machine->setProxyServer(server));
    QFile::remove(m_machine->logPath());
}

QString VpnConnectionServiceTest::configPath() const
{
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QStringLiteral("/norvane_config.json");
}

void VpnConnectionServiceTest::startsDisconnected()
{
    QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    QVERIFY(!service()->isConnected());
    QVERIFY(!service()->isConnecting());
    QCOMPARE(service()->connectionStateText(), QStringLiteral("未连接"));
    QCOMPARE(service()->property("connectionStateText").toString(), QStringLiteral("未连接"));
    QCOMPARE(service()->serverId(), 0);
    QCOMPARE(service()->connectionDurationText(), QStringLiteral("00:00:00"));
    QCOMPARE(service()->uploadSpeed(), QStringLiteral("0 B/s"));
    QCOMPARE(service()->downloadSpeed(), QStringLiteral("0 B/s"));
    QCOMPARE(service()->latency(), 0);
}

void VpnConnectionServiceTest::failureReasonTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("0") << 0 << "";
    QTest::newRow("1") << 1 << "请先登录账号";
    QTest::newRow("2") << 2 << "请先选择服务器";
    QTest::newRow("3") << 3 << "此线路为VIP专线，请升级VIP后使用";
    QTest::newRow("4") << 4 << "您的免费体验时长已用完，请升级VIP继续使用";
    QTest::newRow("5") << 5 << "您的VIP已过期，无法连接VIP专线";
    QTest::newRow("6") << 6 << "您的VIP已过期且体验时长已用完，请续费VIP";
    QTest::newRow("7") << 7 << "您的账户已被暂停，请联系客服";
    QTest::newRow("8") << 8 << "您的账户已被封禁，请联系客服";
    QTest::newRow("9") << 9 << "您的账号在其他设备登录，已被强制下线";
    QTest::newRow("10") << 10 << "网络连接失败，请检查网络设置";
    QTest::newRow("11") << 11 << "服务器连接失败，请稍后重试";
    QTest::newRow("12") << 12 << "未知错误";
    QTest::newRow("-1") << -1 << "未知错误";
}

void VpnConnectionServiceTest::failureReasonTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(service()->getFailureReasonText(Reason(code)), text);
}

void VpnConnectionServiceTest::permission_data()
{
    QTest::addColumn<bool>("known");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("isVip");
    QTest::addColumn<int>("vipDays"); // days from now to the VIP expiry; 0 for none
    QTest::addColumn<bool>("trialUsed");
    QTest::addColumn<double>("hours");
    QTest::addColumn<int>("serverId");
    QTest::addColumn<bool>("requiresVip");
    QTest::addColumn<int>("expected");

    QTest::newRow("no user record") << false << "active" << true << 30 << false << 0.0 << 1 << false << 1;
    QTest::newRow("no user record, VIP line") << false << "active" << true << 30 << false << 0.0 << 1 << true << 1;
    QTest::newRow("server 0") << true << "active" << true << 30 << false << 0.0 << 0 << false << 2;
    QTest::newRow("negative server") << true << "active" << true << 30 << false << 0.0 << -3 << false << 2;
    QTest::newRow("suspended, server 0") << true << "suspended" << true << 30 << false << 0.0 << 0 << false << 7;
    QTest::newRow("banned") << true << "banned" << true << 30 << false << 0.0 << 1 << false << 8;
    QTest::newRow("status in other case") << true << "Banned" << true << 30 << false << 0.0 << 1 << false << 0;
    QTest::newRow("free, trial never activated") << true << "active" << false << 0 << false << 0.0 << 1 << false << 0;
    QTest::newRow("free, trial used up") << true << "active" << false << 0 << true << 0.0 << 1 << false << 4;
    QTest::newRow("free, trial overdrawn") << true << "active" << false << 0 << true << -0.5 << 1 << false << 4;
    QTest::newRow("free, trial hours left") << true << "active" << false << 0 << true << 1.5 << 1 << false << 0;
    QTest::newRow("VIP line, free with hours") << true << "active" << false << 0 << true << 1.5 << 1 << true << 3;
    QTest::newRow("VIP line, VIP expired") << true << "active" << true << -1 << false << 0.0 << 1 << true << 5;
    QTest::newRow("VIP line, VIP valid") << true << "active" << true << 30 << false << 0.0 << 1 << true << 0;
    QTest::newRow("VIP expired, trial used up") << true << "active" << true << -1 << true << 0.0 << 1 << false << 6;
    QTest::newRow("VIP expired, trial left") << true << "active" << true << -1 << true << 0.5 << 1 << false << 0;
    QTest::newRow("VIP valid, trial used up") << true << "active" << true << 30 << true << 0.0 << 1 << false << 0;
    QTest::newRow("VIP without expiry, trial used up") << true << "active" << true << 0 << true << 0.0 << 1 << false << 0;
}

// The service's own check; where connect can meet the refusal, connect reports it in both
// signals, in order, and nothing starts.
void VpnConnectionServiceTest::permission()
{
    QFETCH(bool, known);
    QFETCH(QString, status);
    QFETCH(bool, isVip);
    QFETCH(int, vipDays);
    QFETCH(bool, trialUsed);
    QFETCH(double, hours);
    QFETCH(int, serverId);
    QFETCH(bool, requiresVip);
    QFETCH(int, expected);

    service()->updateUserInfo(user(status, isVip, vipDays != 0 ? daysFromNow(vipDays) : QDateTime(), trialUsed, hours));
    if (!known)
        service()->onUserLogout();
    QCOMPARE(int(service()->checkConnectionPermission(serverId, requiresVip)), expected);
    if (requiresVip || expected == 0)
        return;

    LogCapture log;
    const QString text = service()->getFailureReasonText(Reason(expected));
    QVERIFY(!service()->connect(serverId, kLink));
    QCOMPARE(m_events->events, (QStringList{QStringLiteral("failed:%1:%2").arg(expected).arg(text),
                                            QStringLiteral("denied:%1:%2").arg(expected).arg(text)}));
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 连接权限检查失败:")));
    QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    QVERIFY(coreRuns().isEmpty());
    QCOMPARE(m_machine->commandLines(), QStringList());
}

void VpnConnectionServiceTest::acceptedConnectRunsEverythingAndDisconnectUndoesIt()
{
    giveUserProxy(1, QStringLiteral("http=corp.example:8080"));
    LogCapture log;
    QElapsedTimer clock;
    clock.start();

    QVERIFY(service()->connect(7, kLink));
    QCOMPARE(m_events->events, QStringList{"state:1"});
    QVERIFY(service()->isConnecting());
    QCOMPARE(service()->connectionStateText(), QStringLiteral("连接中"));
    QCOMPARE(service()->serverId(), 7);
    QCOMPARE(service()->vmessLink(), kLink);
    // The core runs with the document and the system proxy points at it before "up".
    const QString pid = lastCorePid();
    QVERIFY(coreAlive(pid));
    QCOMPARE(coreRuns().last().section(QLatin1Char('|'), 1),
             QStringLiteral("run|-c|%1|--disable-color").arg(configPath()));
    QVERIFY(QFile::exists(configPath()));
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text(kLocalServer));
    QVERIFY(beats().isEmpty());

    QVERIFY(m_events->waitFor("success"));
    QVERIFY2(clock.elapsed() >= kConnectDelayMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_events->events, (QStringList{"state:1", "state:2", "success"}));
    QVERIFY(service()->isConnected());
    QCOMPARE(service()->connectionStateText(), QStringLiteral("已连接"));
    QVERIFY(HeartbeatService::instance()->isAutoHeartbeatRunning());
    QCOMPARE(HeartbeatService::instance()->heartbeatIntervalMs(), 30000);
    QTRY_COMPARE(beatStatuses(), QStringList{"connected"});
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 启动心跳, 服务器ID: 7")));
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 开始连接时长计时")));

    // A user disconnect: the core's crash reports during the stop are not failures.
    service()->disconnect();
    QCOMPARE(m_events->events, QStringList({"state:1", "state:2", "success"}) + kDisconnectSequence);
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 停止连接时长计时, 总时长: \"00:00:00\"")));
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] VPN已断开")));
    QVERIFY(!coreAlive(pid));
    QVERIFY(!QFile::exists(configPath()));
    QVERIFY(!HeartbeatService::instance()->isAutoHeartbeatRunning());
    QTRY_COMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text("http=corp.example:8080"));
    QCOMPARE(m_machine->state().value("environment").toObject(),
             (QJsonObject{{"http_proxy", ""}, {"https_proxy", ""}}));
    QCOMPARE(service()->serverId(), 0);
    QCOMPARE(service()->vmessLink(), QString());
    QCOMPARE(service()->connectionStateText(), QStringLiteral("未连接"));
}

void VpnConnectionServiceTest::failureInsideTheConnectFlow_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("resources"); // folder under the test's own, holding x32/xray.exe
    QTest::addColumn<int>("reports");
    QTest::addColumn<QString>("logLine");

    const QString notJson = QStringLiteral("vmess://") + QString::fromLatin1(QByteArray("not json").toBase64());
    QTest::newRow("malformed link") << notJson << "" << "resources/vpn" << 1
                                    << "[VpnConnectionService] 连接异常: \"无效的JSON格式\"";
    QTest::newRow("another scheme") << "trojan://secret@host:443" << "" << "resources/vpn" << 1
                                    << "[VpnConnectionService] 连接异常: \"无效的VMess链接格式\"";
    QTest::newRow("encrypted, no key") << encryptedLink(kLink, kLinkKey) << "" << "resources/vpn" << 1
                                       << "[VpnConnectionService] 未设置VPN加密密钥";
    QTest::newRow("encrypted, wrong key") << encryptedLink(kLink, kLinkKey) << "another key" << "resources/vpn" << 1
                                          << "[VpnConnectionService] VMess链接解密失败";
    QTest::newRow("upper-case prefix, key set") << linkFor("hk1.example.test", "VMESS://") << kLinkKey
                                                << "resources/vpn" << 1 << "[VpnConnectionService] VMess链接解密失败";
    QTest::newRow("core missing") << kLink << "" << "missing" << 2 << "[VpnConnectionService] VPN核心启动失败";
    QTest::newRow("core cannot run") << kLink << "" << "broken" << 3 << "[VpnConnectionService] VPN核心启动失败";
}

// connect accepts, then each failure report is a Disconnected state and code 10; nothing else runs.
void VpnConnectionServiceTest::failureInsideTheConnectFlow()
{
    QFETCH(QString, link);
    QFETCH(QString, key);
    QFETCH(QString, resources);
    QFETCH(int, reports);
    QFETCH(QString, logLine);

    Security::TokenManager::instance()->saveVpnEncryptConfig(key, !key.isEmpty());
    core()->setResourcePath(QDir(m_dir.path()).filePath(resources));
    LogCapture log;

    QVERIFY(service()->connect(3, link));
    QStringList expected{"state:1"};
    for (int i = 0; i < reports; ++i)
        expected << "state:0" << kNetworkFailure;
    QCOMPARE(m_events->events, expected);
    QVERIFY2(log.contains(logLine), qPrintable(log.messages().join('\n')));
    if (!key.isEmpty())
        QVERIFY(!log.contains(key));
    QCOMPARE(log.count(QStringLiteral("[VpnConnectionService] VPN连接失败: 10")), reports);
    QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    QCOMPARE(service()->serverId(), 0);
    QCOMPARE(service()->vmessLink(), QString());
    QVERIFY(coreRuns().isEmpty());
    QVERIFY(!QFile::exists(configPath()));
    QCOMPARE(m_machine->commandLines(), QStringList());

    // Nothing was left to tear down, and nothing comes later.
    QTest::qWait(kConnectDelayMs + 100);
    service()->disconnect();
    QCOMPARE(m_events->events, expected);
    QCOMPARE(m_machine->commandLines(), QStringList());
    QVERIFY(beats().isEmpty());
}

void VpnConnectionServiceTest::encryptedAndUpperCaseLinksConnect_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("address");

    QTest::newRow("encrypted, key set") << encryptedLink(linkFor("enc.example.test"), kLinkKey) << kLinkKey
                                        << "enc.example.test";
    QTest::newRow("upper-case prefix, no key") << linkFor("upper.example.test", "VMESS://") << ""
                                               << "upper.example.test";
}

void VpnConnectionServiceTest::encryptedAndUpperCaseLinksConnect()
{
    QFETCH(QString, link);
    QFETCH(QString, key);
    QFETCH(QString, address);

    Security::TokenManager::instance()->saveVpnEncryptConfig(key, !key.isEmpty());
    LogCapture log;
    QVERIFY(service()->connect(4, link));
    QFile config(configPath());
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QJsonObject document = QJsonDocument::fromJson(config.readAll()).object();
    QCOMPARE(document.value("outbounds").toArray().first().toObject().value("server").toString(), address);
    QVERIFY(m_events->waitFor("success"));
    QCOMPARE(service()->vmessLink(), link);
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] VMess链接已加密,开始解密...")));
    if (!key.isEmpty())
        QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] VMess链接解密成功")));
    QVERIFY(!log.contains(kLinkKey));
}

void VpnConnectionServiceTest::routingModeReachesTheDocument_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("rules");
    QTest::addColumn<QString>("name");

    QTest::newRow("smart") << 0 << 5 << "智能模式";
    QTest::newRow("global") << 1 << 3 << "全局模式";
    QTest::newRow("2 counts as global") << 2 << 3 << "全局模式";
}

void VpnConnectionServiceTest::routingModeReachesTheDocument()
{
    QFETCH(int, mode);
    QFETCH(int, rules);
    QFETCH(QString, name);

    LogCapture log;
    service()->setRoutingMode(mode);
    QCOMPARE(service()->routingMode(), mode);
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 设置路由模式: \"%1\"").arg(name)));
    QVERIFY(service()->connect(1, kLink));
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 路由模式: \"%1\"").arg(name)));
    QFile config(configPath());
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QJsonObject document = QJsonDocument::fromJson(config.readAll()).object();
    QCOMPARE(document.value("route").toObject().value("rules").toArray().size(), rules);

    // A running connection keeps its routing.
    service()->setRoutingMode(mode == 0 ? 1 : 0);
    QVERIFY(m_events->waitFor("success"));
    config.seek(0);
    QCOMPARE(QJsonDocument::fromJson(config.readAll()).object().value("route").toObject().value("rules").toArray().size(),
             rules);
}

void VpnConnectionServiceTest::disconnectWhileConnectingNeverConnects()
{
    QVERIFY(service()->connect(2, kLink));
    const QString pid = lastCorePid();
    service()->disconnect();
    QCOMPARE(m_events->events, QStringList{"state:1"} + kDisconnectSequence);
    QVERIFY(!coreAlive(pid));
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(0));

    QTest::qWait(kConnectDelayMs + 200);
    QCOMPARE(m_events->events, QStringList{"state:1"} + kDisconnectSequence);
    QVERIFY(beats().isEmpty());
}

void VpnConnectionServiceTest::disconnectWhileDisconnectedEmitsNothing()
{
    LogCapture log;
    service()->disconnect();
    QVERIFY(m_events->events.isEmpty());
    QCOMPARE(log.count(QStringLiteral("[VpnConnectionService]")), 1);
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 已经是断开状态")));
    QCOMPARE(m_machine->commandLines(), QStringList());
}

void VpnConnectionServiceTest::connectWhileConnectedTearsDownFirst_data()
{
    QTest::addColumn<bool>("stillAllowed");
    QTest::newRow("allowed") << true;
    QTest::newRow("refused after the teardown") << false;
}

void VpnConnectionServiceTest::connectWhileConnectedTearsDownFirst()
{
    QFETCH(bool, stillAllowed);

    QVERIFY(connectAndWait(3));
    const QString firstPid = lastCorePid();
    QTRY_COMPARE(beatStatuses(), QStringList{"connected"});
    if (!stillAllowed)
        service()->updateUserInfo(user(QStringLiteral("suspended"), true, daysFromNow(30), false, 0));
    QFile::remove(m_coreLog);
    const int mark = m_events->events.size();

    QCOMPARE(service()->connect(5, kLink), stillAllowed);
    QVERIFY(!coreAlive(firstPid));
    if (stillAllowed)
        QCOMPARE(since(mark), kDisconnectSequence + QStringList{"state:1"});
    // On a busy machine the new connection may beat before the farewell beat is seen here.
    QTRY_VERIFY(beatStatuses().size() >= 2);
    QCOMPARE(beatStatuses().mid(0, 2), (QStringList{"connected", "disconnected"}));
    if (!stillAllowed) {
        const QString text = service()->getFailureReasonText(VpnConnectionService::AccountSuspended);
        QCOMPARE(since(mark), kDisconnectSequence + QStringList({"failed:7:" + text, "denied:7:" + text}));
        QVERIFY(coreRuns().isEmpty());
        QCOMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
        QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(0));
        return;
    }
    QTRY_COMPARE(m_events->events.count("success"), 2);
    QCOMPARE(since(mark), kDisconnectSequence + QStringList({"state:1", "state:2", "success"}));
    QCOMPARE(service()->serverId(), 5);
    QVERIFY(coreAlive(lastCorePid()));
    QTRY_COMPARE(beatStatuses(), (QStringList{"connected", "disconnected", "connected"}));
}

// Receivers of the disconnect signals can neither start a connection nor run a second disconnect.
void VpnConnectionServiceTest::connectWhileDisconnectingIsRefused()
{
    QVERIFY(connectAndWait());
    QList<bool> results;
    QStringList texts;
    QObject context;
    QObject::connect(service(), &VpnConnectionService::connectionStateChanged, &context, [&](State state) {
        if (state != VpnConnectionService::Disconnecting)
            return;
        texts << service()->connectionStateText();
        results << service()->connect(9, kLink);
        service()->disconnect();
    });
    QFile::remove(m_coreLog);
    LogCapture log;

    service()->disconnect();
    QCOMPARE(results, QList<bool>{false});
    QCOMPARE(texts, QStringList{"断开中"});
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 正在断开连接，拒绝新的连接请求")));
    QCOMPARE(m_events->events, QStringList({"state:1", "state:2", "success"}) + kDisconnectSequence);
    QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    QTest::qWait(kConnectDelayMs + 100);
    QVERIFY(coreRuns().isEmpty());
}

void VpnConnectionServiceTest::forcedDisconnect_data()
{
    QTest::addColumn<bool>("connected");
    QTest::newRow("while connected") << true;
    QTest::newRow("while disconnected") << false;
}

void VpnConnectionServiceTest::forcedDisconnect()
{
    QFETCH(bool, connected);

    const QString message = QStringLiteral("管理员已将您强制下线");
    QStringList before;
    if (connected) {
        QVERIFY(connectAndWait());
        before = QStringList{"state:1", "state:2", "success"} + kDisconnectSequence;
    }
    const QString pid = connected ? lastCorePid() : QString();
    LogCapture log;
    emit HeartbeatService::instance()->forceDisconnectRequired(message);

    // The back end's own message, not the table's text.
    QCOMPARE(m_events->events, before + QStringList({"forced:" + message, "failed:9:" + message}));
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 收到强制断开信号: \"%1\"").arg(message)));
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 被服务器强制断开: \"%1\"").arg(message)));
    QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    if (connected) {
        QVERIFY(!coreAlive(pid));
        QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(0));
        QTRY_COMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
    } else {
        QCOMPARE(m_machine->commandLines(), QStringList());
    }
}

void VpnConnectionServiceTest::keptForceOrderEndsEachConnectionOnce_data()
{
    QTest::addColumn<Reply>("reply");
    QTest::addColumn<QString>("message");

    const QString kicked = QStringLiteral("管理员已将您强制下线");
    const auto device = [](const QJsonObject &status) {
        return Reply::json(QJsonObject{{"success", true}, {"data", QJsonObject{{"device_status", status}}}});
    };
    QTest::newRow("force flag") << device({{"status", "active"}, {"force_disconnect", true}, {"message", kicked}})
                                << kicked;
    QTest::newRow("device not active") << device({{"status", "kicked"}, {"message", kicked}}) << kicked;
    QTest::newRow("401") << Reply::json(QJsonObject{{"success", false}, {"message", "Unauthenticated."}}, 401)
                         << QStringLiteral("您的账号在其他设备登录，已被强制下线");
}

// The back end answers the connection's farewell beat with the same order as long as it keeps
// it set; the connection was ended by force once, and the user is told once.
void VpnConnectionServiceTest::keptForceOrderEndsEachConnectionOnce()
{
    QFETCH(Reply, reply);
    QFETCH(QString, message);

    const QStringList forcedEnd = QStringList{"state:1", "state:2", "success"} + kDisconnectSequence
                                  + QStringList{"forced:" + message, "failed:9:" + message};
    m_heartbeatReply = reply;
    for (int connection = 1; connection <= 2; ++connection) {
        m_events->events.clear();
        m_backend->clearRequests();
        QVERIFY(service()->connect(1, kLink));
        QVERIFY(m_events->waitFor("failed:9:" + message));
        // Both beats answered: the first one's order and the farewell beat's.
        QTRY_COMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
        QTRY_VERIFY(Network::HttpClient::instance()->findChildren<QNetworkReply *>().isEmpty());
        QTest::qWait(50);
        QCOMPARE(m_events->events, forcedEnd);
        QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    }
}

void VpnConnectionServiceTest::trialWatch_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("isVip");
    QTest::addColumn<double>("hours");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("warns");
    QTest::addColumn<int>("permissionAfter");

    QTest::newRow("free, -0.02 h") << true << false << -0.02 << true << false << 4;
    QTest::newRow("free, -0.005 h") << true << false << -0.005 << false << false << 4;
    QTest::newRow("free, 0 h") << true << false << 0.0 << false << true << 4;
    QTest::newRow("free, 0.05 h") << true << false << 0.05 << false << true << 0;
    QTest::newRow("free, 0.1 h") << true << false << 0.1 << false << true << 0;
    QTest::newRow("free, 0.2 h") << true << false << 0.2 << false << false << 0;
    QTest::newRow("VIP, -0.02 h") << true << true << -0.02 << false << false << 0;
    QTest::newRow("free, -0.02 h while connecting") << false << false << -0.02 << false << false << 4;
}

// The heartbeat's report of the user's standing: always copied, acted on only while connected.
void VpnConnectionServiceTest::trialWatch()
{
    QFETCH(bool, connected);
    QFETCH(bool, isVip);
    QFETCH(double, hours);
    QFETCH(bool, ends);
    QFETCH(bool, warns);
    QFETCH(int, permissionAfter);

    service()->updateUserInfo(freeUser(2.0));
    QVERIFY(service()->connect(1, kLink));
    if (connected) {
        QVERIFY(m_events->waitFor("success"));
        // The first beat's own report of the standing has been applied before this one.
        QTRY_COMPARE(beatStatuses().size(), 1);
        QTest::qWait(30);
    }
    const int mark = m_events->events.size();
    LogCapture log;

    emit HeartbeatService::instance()->userStatusUpdated(isVip, hours);
    QCOMPARE(since(mark), ends ? kDisconnectSequence + QStringList{"denied:4:" + kTrialText} : QStringList());
    QCOMPARE(log.contains(QStringLiteral("[VpnConnectionService] 体验时长已到期，断开连接")), ends);
    QCOMPARE(log.contains(QStringLiteral("[VpnConnectionService] 体验时长即将用完:")), warns);
    QCOMPARE(log.contains(QStringLiteral("[VpnConnectionService] 免费用户状态检查:")), connected && !isVip);
    QCOMPARE(service()->state(), ends ? VpnConnectionService::Disconnected
                                      : (connected ? VpnConnectionService::Connected : VpnConnectionService::Connecting));
    QCOMPARE(int(service()->checkConnectionPermission(1, false)), permissionAfter);
}

// The exact order: the core's two crash reports, then its end runs the disconnect steps.
void VpnConnectionServiceTest::coreCrashWhileConnected()
{
    giveUserProxy(0, QStringLiteral("http=home.example:3128"));
    QVERIFY(connectAndWait());
    const QString pid = lastCorePid();
    QTRY_COMPARE(beatStatuses(), QStringList{"connected"});
    LogCapture log;

    QCOMPARE(::kill(pid.toInt(), SIGKILL), 0);
    QVERIFY(m_events->waitFor("disconnected"));
    QCOMPARE(m_events->events, (QStringList{"state:1", "state:2", "success", "state:0", kNetworkFailure, "state:0",
                                            kNetworkFailure, "state:3", "state:0", "disconnected"}));
    QCOMPARE(log.count(QStringLiteral("[VpnConnectionService] VPN错误: \"XRay进程崩溃\"")), 2);
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] VPN意外断开")));
    QVERIFY(!HeartbeatService::instance()->isAutoHeartbeatRunning());
    QTRY_COMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(0));
    QCOMPARE(m_machine->internetSetting("ProxyServer"), StandInMachine::text("http=home.example:3128"));
    QVERIFY(!QFile::exists(configPath()));

    // Nothing is left for a later disconnect.
    const QStringList commands = m_machine->commandLines();
    service()->disconnect();
    QCOMPARE(m_machine->commandLines(), commands);
}

// A core error that does not end the process leaves core, proxy and heartbeat running behind
// a Disconnected state; a disconnect ends them without a second disconnect sequence.
void VpnConnectionServiceTest::coreErrorLeavesRunnersUntilDisconnect()
{
    service()->setDurationTickInterval(50);
    QVERIFY(connectAndWait());
    const QString pid = lastCorePid();
    QTRY_COMPARE(beatStatuses(), QStringList{"connected"});

    emit core()->error(QStringLiteral("XRay进程读取错误"));
    const QStringList afterFailure{"state:1", "state:2", "success", "state:0", kNetworkFailure};
    QCOMPARE(m_events->events, afterFailure);
    const int durations = m_events->durations.size();
    QTest::qWait(200);
    QCOMPARE(m_events->durations.size(), durations);
    QVERIFY(coreAlive(pid));
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QVERIFY(HeartbeatService::instance()->isAutoHeartbeatRunning());

    LogCapture log;
    service()->disconnect();
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 已经是断开状态")));
    QCOMPARE(m_events->events, afterFailure);
    QVERIFY(!coreAlive(pid));
    QVERIFY(!QFile::exists(configPath()));
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(0));
    QVERIFY(!HeartbeatService::instance()->isAutoHeartbeatRunning());
    QTRY_COMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
    QCOMPARE(m_events->durations.size(), durations);

    // Done once: a second disconnect runs nothing.
    const QStringList commands = m_machine->commandLines();
    service()->disconnect();
    QCOMPARE(m_machine->commandLines(), commands);
    QCOMPARE(m_events->events, afterFailure);
}

void VpnConnectionServiceTest::connectEndsALeftoverCore()
{
    QVERIFY(service()->connect(1, kLink));
    const QString pid = lastCorePid();
    emit core()->error(QStringLiteral("XRay进程写入错误"));
    QCOMPARE(m_events->events, (QStringList{"state:1", "state:0", kNetworkFailure}));
    QVERIFY(coreAlive(pid));
    QFile::remove(m_coreLog);
    LogCapture log;

    QVERIFY(service()->connect(2, kLink));
    QVERIFY(!coreAlive(pid));
    QVERIFY(!log.contains(QStringLiteral("[V2RayCore] XRay已经在运行中")));
    QVERIFY(m_events->waitFor("success"));
    QCOMPARE(m_events->events, (QStringList{"state:1", "state:0", kNetworkFailure, "state:1", "state:2", "success"}));
    QVERIFY(coreAlive(lastCorePid()));
    QCOMPARE(m_machine->internetSetting("ProxyEnable"), StandInMachine::dword(1));
}

void VpnConnectionServiceTest::lateConnectedOfAFailedAttemptIsIgnored()
{
    QVERIFY(service()->connect(1, kLink));
    emit core()->error(QStringLiteral("XRay进程读取错误"));
    // The core still runs, and its pending "connected" comes after the delay.
    QTest::qWait(kConnectDelayMs + 300);
    QCOMPARE(m_events->events, (QStringList{"state:1", "state:0", kNetworkFailure}));
    QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    QVERIFY(!HeartbeatService::instance()->isAutoHeartbeatRunning());
    QVERIFY(beats().isEmpty());
}

void VpnConnectionServiceTest::repeatedConnectedIsIgnored()
{
    QVERIFY(connectAndWait());
    QTRY_COMPARE(beatStatuses(), QStringList{"connected"});
    emit core()->connected();
    QTest::qWait(50);
    QCOMPARE(m_events->events, (QStringList{"state:1", "state:2", "success"}));
    QCOMPARE(beatStatuses(), QStringList{"connected"});
}

void VpnConnectionServiceTest::logoutDisconnectsAndForgetsTheUser()
{
    QVERIFY(connectAndWait());
    LogCapture log;
    service()->onUserLogout();
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 用户登出，断开连接")));
    QCOMPARE(m_events->events, QStringList({"state:1", "state:2", "success"}) + kDisconnectSequence);
    QCOMPARE(int(service()->checkConnectionPermission(1, false)), 1);

    // While disconnected only the log line and the reset.
    log.clear();
    m_events->events.clear();
    service()->onUserLogout();
    QVERIFY(m_events->events.isEmpty());
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 已经是断开状态")));
    QCOMPARE(int(service()->checkConnectionPermission(1, false)), 1);
}

void VpnConnectionServiceTest::formatDuration_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("0") << 0 << "00:00:00";
    QTest::newRow("59 s") << 59 << "00:00:59";
    QTest::newRow("1 h 2 min 5 s") << 3725 << "01:02:05";
    QTest::newRow("a day less a second") << 86399 << "23:59:59";
    QTest::newRow("100 h") << 360000 << "100:00:00";
}

void VpnConnectionServiceTest::formatDuration()
{
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(VpnConnectionService::formatDuration(seconds), text);
}

void VpnConnectionServiceTest::formatSpeed_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("nothing") << qint64(0) << 1 << "0 B/s";
    QTest::newRow("500 B") << qint64(500) << 1 << "500 B/s";
    QTest::newRow("1023 B") << qint64(1023) << 1 << "1023 B/s";
    QTest::newRow("1024 B") << qint64(1024) << 1 << "1.00 KB/s";
    QTest::newRow("1.5 KB") << qint64(1536) << 1 << "1.50 KB/s";
    QTest::newRow("3000 B") << qint64(3000) << 1 << "2.93 KB/s";
    QTest::newRow("3000 B over 2 s") << qint64(3000) << 2 << "1.46 KB/s";
    QTest::newRow("rate truncated before the threshold") << qint64(2047) << 2 << "1023 B/s";
    QTest::newRow("0 s counts as 1") << qint64(3000) << 0 << "2.93 KB/s";
    QTest::newRow("negative seconds count as 1") << qint64(500) << -4 << "500 B/s";
    QTest::newRow("1.5 MB") << qint64(1572864) << 1 << "1.50 MB/s";
    QTest::newRow("2 MB") << qint64(2097152) << 1 << "2.00 MB/s";
    QTest::newRow("just below 1 GB") << qint64(1073741823) << 1 << "1024.00 MB/s";
    QTest::newRow("1 GB") << qint64(1073741824) << 1 << "1.00 GB/s";
    QTest::newRow("negative") << qint64(-5) << 1 << "-5 B/s";
}

void VpnConnectionServiceTest::formatSpeed()
{
    QFETCH(qint64, bytes);
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(VpnConnectionService::formatSpeed(bytes, seconds), text);
}

void VpnConnectionServiceTest::trafficFiguresAndSpeeds()
{
    QVERIFY(connectAndWait());
    QTRY_COMPARE(beatStatuses(), QStringList{"connected"});
    // Before the first report of a connection nothing has moved.
    QCOMPARE(service()->uploadSpeed(), QStringLiteral("0 B/s"));
    QCOMPARE(service()->downloadSpeed(), QStringLiteral("0 B/s"));

    // Read right after a report: the difference of the last two reports per second.
    service()->updateTrafficStats(3000, 500);
    QCOMPARE(service()->uploadSpeed(), QStringLiteral("2.93 KB/s"));
    QCOMPARE(service()->downloadSpeed(), QStringLiteral("500 B/s"));
    service()->updateTrafficStats(2000, 500 + 1572864);
    QCOMPARE(service()->property("uploadSpeed").toString(), QStringLiteral("-1000 B/s"));
    QCOMPARE(service()->property("downloadSpeed").toString(), QStringLiteral("1.50 MB/s"));
    QCOMPARE(service()->uploadBytes(), qlonglong(2000));
    QCOMPARE(service()->property("downloadBytes").toLongLong(), qlonglong(500 + 1572864));
    QCOMPARE(m_events->trafficChanges, 2);

    // The heartbeat carries the latest totals; the reset emits nothing.
    service()->disconnect();
    QTRY_COMPARE(beats().size(), 2);
    QCOMPARE(beats().last().value("upload_bytes").toInteger(), qint64(2000));
    QCOMPARE(beats().last().value("download_bytes").toInteger(), qint64(500 + 1572864));
    QCOMPARE(service()->uploadBytes(), qlonglong(0));
    QCOMPARE(service()->downloadBytes(), qlonglong(0));
    QCOMPARE(m_events->trafficChanges, 2);

    // Not connected: the totals are kept, the speeds read nothing.
    service()->updateTrafficStats(100, 200);
    QCOMPARE(m_events->trafficChanges, 3);
    QCOMPARE(service()->uploadBytes(), qlonglong(100));
    QCOMPARE(service()->uploadSpeed(), QStringLiteral("0 B/s"));
    QCOMPARE(service()->downloadSpeed(), QStringLiteral("0 B/s"));
}

// The core is wired once, however many connections it serves.
void VpnConnectionServiceTest::coreTrafficIsRelayedOnce()
{
    QVERIFY(connectAndWait());
    service()->disconnect();
    core()->setStatsInterval(50);
    int coreReports = 0;
    qlonglong lastUpload = 0;
    QObject context;
    QObject::connect(core(), &V2RayCore::trafficUpdate, &context, [&](qlonglong upload, qlonglong) {
        ++coreReports;
        lastUpload = upload;
    });
    m_events->trafficChanges = 0;

    QVERIFY(connectAndWait());
    QVERIFY(QTest::qWaitFor([&]() { return coreReports >= 2; }, 3000));
    service()->disconnect();
    QCOMPARE(m_events->trafficChanges, coreReports);
    QTRY_COMPARE(beats().size(), 4);
    QVERIFY(lastUpload > 0);
    QCOMPARE(beats().last().value("upload_bytes").toInteger(), qint64(lastUpload));
}

void VpnConnectionServiceTest::latencyReachesTheHeartbeat()
{
    QVERIFY(connectAndWait());
    service()->updateLatency(80);
    QCOMPARE(service()->latency(), 80);
    QCOMPARE(service()->property("latency").toInt(), 80);
    QCOMPARE(m_events->latencyChanges, 1);

    service()->disconnect();
    QTRY_COMPARE(beats().size(), 2);
    QCOMPARE(beats().last().value("latency_ms").toInt(), 80);
    QCOMPARE(service()->latency(), 0);
    QCOMPARE(m_events->latencyChanges, 1);
}

void VpnConnectionServiceTest::durationCountsWhileConnected()
{
    service()->setDurationTickInterval(100);
    // Nothing counts before the connection is up, however slowly it comes up.
    QObject context;
    bool countedBeforeUp = false;
    QObject::connect(service(), &VpnConnectionService::connectionDurationChanged, &context,
                     [&]() { countedBeforeUp = countedBeforeUp || !m_events->events.contains("success"); });
    QVERIFY(service()->connect(1, kLink));
    QTest::qWait(kConnectDelayMs / 2);
    QVERIFY(m_events->waitFor("success"));

    QVERIFY(QTest::qWaitFor([&]() { return m_events->durations.contains(1); }, 3000));
    QVERIFY(!countedBeforeUp);
    QCOMPARE(m_events->durations.first(), 0);
    for (int i = 1; i < m_events->durations.size(); ++i)
        QVERIFY(m_events->durations[i] >= m_events->durations[i - 1]);
    QCOMPARE(service()->connectionDuration(), m_events->durations.last());
    QCOMPARE(service()->connectionDurationText(), QStringLiteral("00:00:01"));
    QCOMPARE(service()->property("connectionDurationText").toString(), QStringLiteral("00:00:01"));

    LogCapture log;
    const int ticks = m_events->durations.size();
    service()->disconnect();
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 停止连接时长计时, 总时长: \"00:00:01\"")));
    QCOMPARE(service()->connectionDurationText(), QStringLiteral("00:00:00"));
    QTest::qWait(250);
    QCOMPARE(m_events->durations.size(), ticks);
}

QTEST_MAIN(VpnConnectionServiceTest)
#include "tst_vpnconnectionservice.moc"
