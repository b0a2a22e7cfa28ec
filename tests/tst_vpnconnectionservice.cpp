#include "api/models/User.h"
#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/HeartbeatService.h"
#include "api/services/VpnConnectionService.h"
#include "api/vpn/V2RayCore.h"
#include "support/ConnectionEvents.h"
#include "support/ConnectionTestRig.h"
#include "support/LogCapture.h"
#include "support/ServerLinks.h"
#include "support/SignalWait.h"
#include "support/StandInMachine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QCryptographicHash>
#include <QStandardPaths>
#include <QTest>

#include <signal.h>

using namespace Norvane::Api;
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
constexpr int kConnectDelayMs = ConnectionTestRig::kConnectDelayMs;

const QString kLink = vmessLinkTo(QStringLiteral("hk1.example.test"));

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

Models::User freeUser(double hours)
{
    return user(QStringLiteral("active"), false, QDateTime(), true, hours);
}

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

private:
    VpnConnectionService *service() const { return VpnConnectionService::instance(); }
    V2RayCore *core() const { return service()->proxyCore(); }
    ConnectionEvents &events() { return m_rig.events(); }
    bool connectAndWait(int serverId = 1, const QString &link = kLink) { return m_rig.connectAndWait(serverId, link); }
    QStringList coreRuns() const;
    QString lastCorePid() const;
    bool coreAlive(const QString &pid) const;
    QList<QJsonObject> beats() const { return m_rig.beats(); }
    QStringList beatStatuses() const { return m_rig.beatStatuses(); }
    void giveUserProxy(int enable, const QString &server);
    QString configPath() const { return m_rig.configPath(); }
    QStringList since(int index) { return events().texts.mid(index); }

    ConnectionTestRig m_rig;
};

void VpnConnectionServiceTest::initTestCase()
{
    QVERIFY(m_rig.prepare());
    // Cores that cannot start: none at all, and a file that is no program.
    const QDir dir(m_rig.folder());
    QVERIFY(dir.mkpath(QStringLiteral("missing/x32")));
    QVERIFY(dir.mkpath(QStringLiteral("broken/x32")));
    QFile broken(dir.filePath(QStringLiteral("broken/x32/xray.exe")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a program");
    broken.close();

    // Read before anything shortens them.
    QCOMPARE(core()->connectDelay(), 2000);
    QCOMPARE(core()->statsInterval(), 2000);
    QCOMPARE(HeartbeatService::instance()->defaultIntervalMs(), 30000);
}

void VpnConnectionServiceTest::init()
{
    m_rig.reset();
}

void VpnConnectionServiceTest::cleanup()
{
    m_rig.finish();
}

// The core's starts with "run", as "PID|run|-c|PATH|--disable-color".
QStringList VpnConnectionServiceTest::coreRuns() const
{
    QFile file(m_rig.coreLogPath());
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

void VpnConnectionServiceTest::giveUserProxy(int enable, const QString &server)
{
    QVERIFY(m_rig.machine().setProxyEnable(enable));
    QVERIFY(m_rig.machine().setProxyServer(server));
    QFile::remove(m_rig.machine().logPath());
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
    QCOMPARE(events().texts, (QStringList{QStringLiteral("failed:%1:%2").arg(expected).arg(text),
                                            QStringLiteral("denied:%1:%2").arg(expected).arg(text)}));
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 连接权限检查失败:")));
    QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    QVERIFY(coreRuns().isEmpty());
    QCOMPARE(m_rig.machine().commandLines(), QStringList());
}

void VpnConnectionServiceTest::acceptedConnectRunsEverythingAndDisconnectUndoesIt()
{
    giveUserProxy(1, QStringLiteral("http=corp.example:8080"));
    LogCapture log;
    QElapsedTimer clock;
    clock.start();

    QVERIFY(service()->connect(7, kLink));
    QCOMPARE(events().texts, QStringList{"state:1"});
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
    QCOMPARE(m_rig.machine().internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QCOMPARE(m_rig.machine().internetSetting("ProxyServer"), StandInMachine::text(kLocalServer));
    QVERIFY(beats().isEmpty());

    QVERIFY(events().waitFor("success"));
    QVERIFY2(clock.elapsed() >= kConnectDelayMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(events().texts, (QStringList{"state:1", "state:2", "success"}));
    QVERIFY(service()->isConnected());
    QCOMPARE(service()->connectionStateText(), QStringLiteral("已连接"));
    QVERIFY(HeartbeatService::instance()->isAutoHeartbeatRunning());
    QCOMPARE(HeartbeatService::instance()->heartbeatIntervalMs(), 30000);
    QTRY_COMPARE(beatStatuses(), QStringList{"connected"});
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 启动心跳, 服务器ID: 7")));
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 开始连接时长计时")));

    // A user disconnect: the core's crash reports during the stop are not failures.
    service()->disconnect();
    QCOMPARE(events().texts, QStringList({"state:1", "state:2", "success"}) + kDisconnectSequence);
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 停止连接时长计时, 总时长: \"00:00:00\"")));
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] VPN已断开")));
    QVERIFY(!coreAlive(pid));
    QVERIFY(!QFile::exists(configPath()));
    QVERIFY(!HeartbeatService::instance()->isAutoHeartbeatRunning());
    QTRY_COMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
    QCOMPARE(m_rig.machine().internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QCOMPARE(m_rig.machine().internetSetting("ProxyServer"), StandInMachine::text("http=corp.example:8080"));
    QCOMPARE(m_rig.machine().state().value("environment").toObject(),
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
    QTest::newRow("upper-case prefix, key set") << vmessLinkTo("hk1.example.test", "VMESS://") << kLinkKey
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
    core()->setResourcePath(QDir(m_rig.folder()).filePath(resources));
    LogCapture log;

    QVERIFY(service()->connect(3, link));
    QStringList expected{"state:1"};
    for (int i = 0; i < reports; ++i)
        expected << "state:0" << kNetworkFailure;
    QCOMPARE(events().texts, expected);
    QVERIFY2(log.contains(logLine), qPrintable(log.messages().join('\n')));
    if (!key.isEmpty())
        QVERIFY(!log.contains(key));
    QCOMPARE(log.count(QStringLiteral("[VpnConnectionService] VPN连接失败: 10")), reports);
    QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    QCOMPARE(service()->serverId(), 0);
    QCOMPARE(service()->vmessLink(), QString());
    QVERIFY(coreRuns().isEmpty());
    QVERIFY(!QFile::exists(configPath()));
    QCOMPARE(m_rig.machine().commandLines(), QStringList());

    // Nothing was left to tear down, and nothing comes later.
    QTest::qWait(kConnectDelayMs + 100);
    service()->disconnect();
    QCOMPARE(events().texts, expected);
    QCOMPARE(m_rig.machine().commandLines(), QStringList());
    QVERIFY(beats().isEmpty());
}

void VpnConnectionServiceTest::encryptedAndUpperCaseLinksConnect_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("address");

    QTest::newRow("encrypted, key set") << encryptedLink(vmessLinkTo("enc.example.test"), kLinkKey) << kLinkKey
                                        << "enc.example.test";
    QTest::newRow("upper-case prefix, no key") << vmessLinkTo("upper.example.test", "VMESS://") << ""
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
    QVERIFY(events().waitFor("success"));
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
    QVERIFY(events().waitFor("success"));
    config.seek(0);
    QCOMPARE(QJsonDocument::fromJson(config.readAll()).object().value("route").toObject().value("rules").toArray().size(),
             rules);
}

void VpnConnectionServiceTest::disconnectWhileConnectingNeverConnects()
{
    QVERIFY(service()->connect(2, kLink));
    const QString pid = lastCorePid();
    service()->disconnect();
    QCOMPARE(events().texts, QStringList{"state:1"} + kDisconnectSequence);
    QVERIFY(!coreAlive(pid));
    QCOMPARE(m_rig.machine().internetSetting("ProxyEnable"), StandInMachine::dword(0));

    QTest::qWait(kConnectDelayMs + 200);
    QCOMPARE(events().texts, QStringList{"state:1"} + kDisconnectSequence);
    QVERIFY(beats().isEmpty());
}

void VpnConnectionServiceTest::disconnectWhileDisconnectedEmitsNothing()
{
    LogCapture log;
    service()->disconnect();
    QVERIFY(events().texts.isEmpty());
    QCOMPARE(log.count(QStringLiteral("[VpnConnectionService]")), 1);
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 已经是断开状态")));
    QCOMPARE(m_rig.machine().commandLines(), QStringList());
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
    QFile::remove(m_rig.coreLogPath());
    const int mark = events().texts.size();
    LogCapture log;

    QCOMPARE(service()->connect(5, kLink), stillAllowed);
    QVERIFY(!coreAlive(firstPid));
    if (stillAllowed)
        QCOMPARE(since(mark), kDisconnectSequence + QStringList{"state:1"});
    if (!stillAllowed) {
        QTRY_VERIFY(beatStatuses().size() >= 2);
        QCOMPARE(beatStatuses().mid(0, 2), (QStringList{"connected", "disconnected"}));
        const QString text = service()->getFailureReasonText(VpnConnectionService::AccountSuspended);
        QCOMPARE(since(mark), kDisconnectSequence + QStringList({"failed:7:" + text, "denied:7:" + text}));
        QVERIFY(coreRuns().isEmpty());
        QCOMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
        QCOMPARE(m_rig.machine().internetSetting("ProxyEnable"), StandInMachine::dword(0));
        return;
    }
    QTRY_COMPARE(events().texts.count("success"), 2);
    QCOMPARE(since(mark), kDisconnectSequence + QStringList({"state:1", "state:2", "success"}));
    QCOMPARE(service()->serverId(), 5);
    QVERIFY(coreAlive(lastCorePid()));
    // The farewell and the new connection's first beat may be on their way at once, and the
    // back end records them as they arrive; the client sends the farewell first.
    QTRY_COMPARE(beatStatuses().size(), 3);
    QCOMPARE(beatStatuses().first(), QStringLiteral("connected"));
    QStringList arrived = beatStatuses().mid(1);
    arrived.sort();
    QCOMPARE(arrived, (QStringList{"connected", "disconnected"}));
    const QStringList sent = log.messages().filter(QStringLiteral("[HeartbeatService] 发送心跳"));
    QVERIFY2(sent.size() >= 2, qPrintable(sent.join(QLatin1Char('\n'))));
    QVERIFY2(sent[0].contains(QStringLiteral("服务器ID: 3 , 状态: \"disconnected\"")), qPrintable(sent[0]));
    QVERIFY2(sent[1].contains(QStringLiteral("服务器ID: 5 , 状态: \"connected\"")), qPrintable(sent[1]));
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
    QFile::remove(m_rig.coreLogPath());
    LogCapture log;

    service()->disconnect();
    QCOMPARE(results, QList<bool>{false});
    QCOMPARE(texts, QStringList{"断开中"});
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 正在断开连接，拒绝新的连接请求")));
    QCOMPARE(events().texts, QStringList({"state:1", "state:2", "success"}) + kDisconnectSequence);
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
    QCOMPARE(events().texts, before + QStringList({"forced:" + message, "failed:9:" + message}));
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 收到强制断开信号: \"%1\"").arg(message)));
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 被服务器强制断开: \"%1\"").arg(message)));
    QCOMPARE(service()->state(), VpnConnectionService::Disconnected);
    if (connected) {
        QVERIFY(!coreAlive(pid));
        QCOMPARE(m_rig.machine().internetSetting("ProxyEnable"), StandInMachine::dword(0));
        QTRY_COMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
    } else {
        QCOMPARE(m_rig.machine().commandLines(), QStringList());
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
    m_rig.setHeartbeatReply(reply);
    for (int connection = 1; connection <= 2; ++connection) {
        events().texts.clear();
        m_rig.backend().clearRequests();
        QVERIFY(service()->connect(1, kLink));
        QVERIFY(events().waitFor("failed:9:" + message));
        // Both beats answered: the first one's order and the farewell beat's.
        QTRY_COMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
        QTRY_VERIFY(Network::HttpClient::instance()->findChildren<QNetworkReply *>().isEmpty());
        QTest::qWait(50);
        QCOMPARE(events().texts, forcedEnd);
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
        QVERIFY(events().waitFor("success"));
        // The first beat's own report of the standing has been applied before this one.
        QTRY_COMPARE(beatStatuses().size(), 1);
        Network::HttpClient::instance()->finishOpenRequests();
    }
    const int mark = events().texts.size();
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
    QVERIFY(events().waitFor("disconnected"));
    QCOMPARE(events().texts, (QStringList{"state:1", "state:2", "success", "state:0", kNetworkFailure, "state:0",
                                            kNetworkFailure, "state:3", "state:0", "disconnected"}));
    QCOMPARE(log.count(QStringLiteral("[VpnConnectionService] VPN错误: \"XRay进程崩溃\"")), 2);
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] VPN意外断开")));
    QVERIFY(!HeartbeatService::instance()->isAutoHeartbeatRunning());
    QTRY_COMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
    QCOMPARE(m_rig.machine().internetSetting("ProxyEnable"), StandInMachine::dword(0));
    QCOMPARE(m_rig.machine().internetSetting("ProxyServer"), StandInMachine::text("http=home.example:3128"));
    QVERIFY(!QFile::exists(configPath()));

    // Nothing is left for a later disconnect.
    const QStringList commands = m_rig.machine().commandLines();
    service()->disconnect();
    QCOMPARE(m_rig.machine().commandLines(), commands);
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
    QCOMPARE(events().texts, afterFailure);
    const int durations = events().durations.size();
    QTest::qWait(200);
    QCOMPARE(events().durations.size(), durations);
    QVERIFY(coreAlive(pid));
    QCOMPARE(m_rig.machine().internetSetting("ProxyEnable"), StandInMachine::dword(1));
    QVERIFY(HeartbeatService::instance()->isAutoHeartbeatRunning());

    LogCapture log;
    service()->disconnect();
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 已经是断开状态")));
    QCOMPARE(events().texts, afterFailure);
    QVERIFY(!coreAlive(pid));
    QVERIFY(!QFile::exists(configPath()));
    QCOMPARE(m_rig.machine().internetSetting("ProxyEnable"), StandInMachine::dword(0));
    QVERIFY(!HeartbeatService::instance()->isAutoHeartbeatRunning());
    QTRY_COMPARE(beatStatuses(), (QStringList{"connected", "disconnected"}));
    QCOMPARE(events().durations.size(), durations);

    // Done once: a second disconnect runs nothing.
    const QStringList commands = m_rig.machine().commandLines();
    service()->disconnect();
    QCOMPARE(m_rig.machine().commandLines(), commands);
    QCOMPARE(events().texts, afterFailure);
}

void VpnConnectionServiceTest::connectEndsALeftoverCore()
{
    QVERIFY(service()->connect(1, kLink));
    const QString pid = lastCorePid();
    emit core()->error(QStringLiteral("XRay进程写入错误"));
    QCOMPARE(events().texts, (QStringList{"state:1", "state:0", kNetworkFailure}));
    QVERIFY(coreAlive(pid));
    QFile::remove(m_rig.coreLogPath());
    LogCapture log;

    QVERIFY(service()->connect(2, kLink));
    QVERIFY(!coreAlive(pid));
    QVERIFY(!log.contains(QStringLiteral("[V2RayCore] XRay已经在运行中")));
    QVERIFY(events().waitFor("success"));
    QCOMPARE(events().texts, (QStringList{"state:1", "state:0", kNetworkFailure, "state:1", "state:2", "success"}));
    QVERIFY(coreAlive(lastCorePid()));
    QCOMPARE(m_rig.machine().internetSetting("ProxyEnable"), StandInMachine::dword(1));
}

void VpnConnectionServiceTest::lateConnectedOfAFailedAttemptIsIgnored()
{
    QVERIFY(service()->connect(1, kLink));
    QSignalSpy coreConnected(core(), &V2RayCore::connected);
    emit core()->error(QStringLiteral("XRay进程读取错误"));
    // The core still runs, and its pending "connected" comes after the delay.
    QVERIFY(waitForEmissions(coreConnected, 1, kConnectDelayMs + 5000));
    QTest::qWait(50);
    QCOMPARE(events().texts, (QStringList{"state:1", "state:0", kNetworkFailure}));
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
    QCOMPARE(events().texts, (QStringList{"state:1", "state:2", "success"}));
    QCOMPARE(beatStatuses(), QStringList{"connected"});
}

void VpnConnectionServiceTest::logoutDisconnectsAndForgetsTheUser()
{
    QVERIFY(connectAndWait());
    LogCapture log;
    service()->onUserLogout();
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 用户登出，断开连接")));
    QCOMPARE(events().texts, QStringList({"state:1", "state:2", "success"}) + kDisconnectSequence);
    QCOMPARE(int(service()->checkConnectionPermission(1, false)), 1);

    // While disconnected only the log line and the reset.
    log.clear();
    events().texts.clear();
    service()->onUserLogout();
    QVERIFY(events().texts.isEmpty());
    QVERIFY(log.contains(QStringLiteral("[VpnConnectionService] 已经是断开状态")));
    QCOMPARE(int(service()->checkConnectionPermission(1, false)), 1);
}

QTEST_MAIN(VpnConnectionServiceTest)
#include "tst_vpnconnectionservice.moc"
