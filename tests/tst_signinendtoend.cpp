#include "api/bridge/QmlApiAdapter.h"
#include "api/network/HttpClient.h"
#include "api/services/ApiManager.h"
#include "api/services/HeartbeatService.h"
#include "api/services/VpnConnectionService.h"
#include "api/storage/LocalStorage.h"
#include "api/vpn/SystemProxyBackup.h"
#include "api/vpn/V2RayCore.h"
#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "support/LocalPort.h"
#include "support/LogCapture.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using namespace Norvane::Api;
using Norvane::LocalBackend::ApiRoutes;
using Norvane::LocalBackend::LocalBackendServer;
using Services::VpnConnectionService;

namespace {

const QString kDemoEmail = QStringLiteral("demo@norvane.local");
const QString kDemoPassword = QStringLiteral("demo1234");
const QString kNewEmail = QStringLiteral("newuser@norvane.local");
const QString kNewPassword = QStringLiteral("newpass99");
const QString kSecondFreeLine = QStringLiteral("本地免费节点 WS");
constexpr int kSecondFreeLineId = 4;

// The built-in seed with a second free line right after the first, over the WebSocket server.
QByteArray seedWithTwoFreeLines()
{
    QFile file(ApiRoutes::builtInSeedPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QJsonObject seed = QJsonDocument::fromJson(file.readAll()).object();
    QJsonArray servers = seed.value("servers").toArray();
    QJsonObject line;
    for (const QJsonValue &server : servers) {
        if (server.toObject().value("transport").toString() == u"ws")
            line = server.toObject();
    }
    line.insert("id", kSecondFreeLineId);
    line.insert("name", kSecondFreeLine);
    line.insert("app_name", QStringLiteral("本地免费 WS"));
    line.insert("tier", QStringLiteral("free"));
    line.insert("tier_text", QStringLiteral("免费"));
    servers.insert(1, line);
    seed.insert("servers", servers);
    return QJsonDocument(seed).toJson();
}

bool isTextItem(QQuickItem *item, const QString &text)
{
    return item->isVisible() && item->property("text").toString() == text;
}

} // namespace

// The sign-in road of the client's window, walked by mouse clicks and typed keys alone, with
// the real bridge and services, against the local back end and the real proxy-core stand-in:
// signing in from the home header, signing up from the login page, choosing a line on the
// server page and connecting with the home page's control. With NORVANE_SCREENSHOT_DIR set, the
// login page, the registration page with an input error and the server page are saved there.
class SignInEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void signInFromTheHomeHeader();
    void signUpFromTheLoginPage();
    void chooseTheSecondFreeLineAndConnect();
    void passwordsStayOutOfTheLogAndTheSettings();

private:
    QVariant evaluate(const QString &expression);
    QQuickItem *currentPage();
    bool waitForPage(const QString &type);
    QQuickItem *find(QQuickItem *root, const std::function<bool(QQuickItem *)> &test);
    QQuickItem *textItem(QQuickItem *root, const QString &text);
    QQuickItem *field(QQuickItem *root, const QString &placeholder);
    QQuickItem *named(const QString &objectName);
    QObject *pageDialog();
    void click(QQuickItem *item);
    void typeKeys(const QString &text);
    void typeInto(QQuickItem *field, const QString &text);
    void saveScreenshot(const QString &name);

    std::unique_ptr<LogCapture> m_log;
    QTemporaryDir m_tmp;
    std::unique_ptr<StandInMachine> m_machine;
    std::unique_ptr<LocalBackendServer> m_backend;
    std::unique_ptr<ApiRoutes> m_routes;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QmlApiAdapter *m_api = nullptr;
    QQuickWindow *m_window = nullptr;
};

void SignInEndToEndTest::initTestCase()
{
    // Made once the test log is up, so that it sees every message before that log does.
    m_log = std::make_unique<LogCapture>();
    TestEnvironment::isolate();
    QVERIFY(m_tmp.isValid());
    qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
    QVERIFY2(LocalPort::isFree(10315) && LocalPort::isFree(16450),
             "ports 10315 and 16450 of 127.0.0.1 are taken by another program");
    m_machine = std::make_unique<StandInMachine>();
    if (Vpn::SystemProxyBackup::isActive())
        Vpn::SystemProxyBackup::release();

    m_backend = std::make_unique<LocalBackendServer>();
    m_routes = std::make_unique<ApiRoutes>(*m_backend);
    QString error;
    QVERIFY2(m_routes->loadSeed(seedWithTwoFreeLines(), &error), qPrintable(error));
    QVERIFY(m_backend->listen());
    Network::HttpClient::instance()->setBaseUrl(m_backend->baseUrl().toString());
    ApiManager::instance()->initialize([](bool) {});
    VpnConnectionService::instance()->proxyCore()->setConnectDelay(500);
    Services::HeartbeatService::instance()->setDefaultIntervalMs(200);

    // Put together as the program's start-up does.
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_api = new QmlApiAdapter(this);
    m_engine->rootContext()->setContextProperty(QStringLiteral("API"), m_api);
    m_engine->addImportPath(QStringLiteral(":/qt/qml"));
    m_engine->load(QUrl(QStringLiteral("qrc:/qt/qml/UntitledProject1Content/App.qml")));
    QCOMPARE(m_engine->rootObjects().size(), 1);
    m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
    QVERIFY(m_window);
    m_window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QVERIFY(waitForPage(QStringLiteral("ScreenWrapper")));
    QVERIFY(!m_api->isLoggedIn());
}

void SignInEndToEndTest::cleanupTestCase()
{
    VpnConnectionService::instance()->disconnect();
    m_engine.reset();
    delete m_api;
    // Gone while the test log still is: it hands the channel back to that log.
    m_log.reset();
}

// Evaluated in the window's own scope, where its ids (stackView) and properties are known.
QVariant SignInEndToEndTest::evaluate(const QString &expression)
{
    QQmlExpression qml(qmlContext(m_window), m_window, expression);
    const QVariant value = qml.evaluate();
    if (qml.hasError())
        qWarning().noquote() << qml.error().toString();
    return value;
}

QQuickItem *SignInEndToEndTest::currentPage()
{
    return qobject_cast<QQuickItem *>(evaluate(QStringLiteral("stackView.currentItem")).value<QObject *>());
}

// The home page is the stack's own item; every other page sits first in its page item.
bool SignInEndToEndTest::waitForPage(const QString &type)
{
    const QString test = QStringLiteral("!stackView.busy && (stackView.currentItem instanceof %1"
                                        " || stackView.currentItem.children[0] instanceof %1)").arg(type);
    return QTest::qWaitFor([&]() { return evaluate(test).toBool(); }, 5000);
}

QQuickItem *SignInEndToEndTest::find(QQuickItem *root, const std::function<bool(QQuickItem *)> &test)
{
    if (!root)
        return nullptr;
    if (test(root))
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = find(child, test))
            return found;
    }
    return nullptr;
}

QQuickItem *SignInEndToEndTest::textItem(QQuickItem *root, const QString &text)
{
    return find(root, [&](QQuickItem *item) { return isTextItem(item, text); });
}

QQuickItem *SignInEndToEndTest::field(QQuickItem *root, const QString &placeholder)
{
    return find(root, [&](QQuickItem *item) { return item->property("placeholderText").toString() == placeholder; });
}

QQuickItem *SignInEndToEndTest::named(const QString &objectName)
{
    return find(m_window->contentItem(), [&](QQuickItem *item) { return item->objectName() == objectName; });
}

// The registration page's own message dialog.
QObject *SignInEndToEndTest::pageDialog()
{
    const QList<QObject *> objects = currentPage()->findChildren<QObject *>();
    for (QObject *object : objects) {
        if (object->metaObject()->indexOfProperty("messageText") >= 0)
            return object;
    }
    return nullptr;
}

void SignInEndToEndTest::click(QQuickItem *item)
{
    QVERIFY(item);
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

// One key press per character, to whichever item has the focus; the texts typed here are ASCII.
void SignInEndToEndTest::typeKeys(const QString &text)
{
    for (const QChar character : text)
        QTest::keyClick(m_window, character.toLatin1());
}

void SignInEndToEndTest::typeInto(QQuickItem *field, const QString &text)
{
    click(field);
    QTRY_VERIFY(field->hasActiveFocus());
    typeKeys(text);
    QCOMPARE(field->property("text").toString(), text);
}

void SignInEndToEndTest::saveScreenshot(const QString &name)
{
    const QString folder = qEnvironmentVariable("NORVANE_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QVERIFY(QDir().mkpath(folder));
    const QString path = QDir(folder).filePath(name);
    QVERIFY2(m_window->grabWindow().save(path), qPrintable(path));
    qInfo().noquote() << "saved" << path;
}

void SignInEndToEndTest::signInFromTheHomeHeader()
{
    QCOMPARE(named(QStringLiteral("nameLine"))->property("text").toString(), QStringLiteral("未登录"));
    click(named(QStringLiteral("userInfoBox")));
    QVERIFY(waitForPage(QStringLiteral("LoginScreenWrapper")));

    QQuickItem *page = currentPage();
    typeInto(field(page, QStringLiteral("邮箱 / 用户名")), kDemoEmail);
    typeInto(field(page, QStringLiteral("密码")), kDemoPassword);
    saveScreenshot(QStringLiteral("login.png"));

    QSignalSpy signedIn(m_api, &QmlApiAdapter::loginSuccess);
    click(textItem(page, QStringLiteral("登 录")));
    QVERIFY(signedIn.wait(5000));
    QVERIFY(waitForPage(QStringLiteral("ScreenWrapper")));
    QCOMPARE(evaluate(QStringLiteral("stackView.depth")).toInt(), 1);
    QVERIFY(m_api->isLoggedIn());
    QCOMPARE(m_api->userEmail(), kDemoEmail);
    QTRY_COMPARE(named(QStringLiteral("nameLine"))->property("text").toString(), QStringLiteral("演示用户"));
}

void SignInEndToEndTest::signUpFromTheLoginPage()
{
    QSignalSpy signedOut(m_api, &QmlApiAdapter::loginStateChanged);
    m_api->logout();
    QTRY_VERIFY_WITH_TIMEOUT(!m_api->isLoggedIn() && signedOut.count() == 4, 5000);
    QTRY_COMPARE(named(QStringLiteral("nameLine"))->property("text").toString(), QStringLiteral("未登录"));

    click(named(QStringLiteral("userInfoBox")));
    QVERIFY(waitForPage(QStringLiteral("LoginScreenWrapper")));
    click(textItem(currentPage(), QStringLiteral("立即注册")));
    QVERIFY(waitForPage(QStringLiteral("RegisterScreenWrapper")));
    QCOMPARE(evaluate(QStringLiteral("stackView.depth")).toInt(), 3);

    // A slip in the confirmation is caught on the page and shown in its dialog.
    QQuickItem *page = currentPage();
    typeInto(field(page, QStringLiteral("电子邮箱")), kNewEmail);
    typeInto(field(page, QStringLiteral("设置密码 (至少6位)")), kNewPassword);
    typeInto(field(page, QStringLiteral("确认密码")), QStringLiteral("newpass98"));
    QSignalSpy attempts(m_api, &QmlApiAdapter::loginError);
    click(textItem(page, QStringLiteral("立即注册")));
    QObject *dialog = pageDialog();
    QVERIFY(dialog);
    QTRY_VERIFY(dialog->property("opened").toBool());
    QCOMPARE(dialog->property("titleText").toString(), QStringLiteral("错误"));
    QCOMPARE(dialog->property("messageText").toString(), QStringLiteral("两次输入的密码不一致"));
    saveScreenshot(QStringLiteral("register-error.png"));
    QCOMPARE(m_api->isLoggedIn(), false);

    click(textItem(qvariant_cast<QQuickItem *>(dialog->property("contentItem")), QStringLiteral("确定")));
    QTRY_VERIFY(!dialog->property("visible").toBool());
    QQuickItem *confirmation = field(page, QStringLiteral("确认密码"));
    click(confirmation);
    QTRY_VERIFY(confirmation->hasActiveFocus());
    QTest::keyClick(m_window, Qt::Key_Backspace);
    typeKeys(QStringLiteral("9"));
    QCOMPARE(confirmation->property("text").toString(), kNewPassword);

    QSignalSpy signedIn(m_api, &QmlApiAdapter::loginSuccess);
    click(textItem(page, QStringLiteral("立即注册")));
    QVERIFY(signedIn.wait(5000));
    QCOMPARE(attempts.count(), 0);
    // The notice shows on the registration page, which stays on top with the login page below.
    QTRY_VERIFY(dialog->property("opened").toBool());
    QCOMPARE(dialog->property("titleText").toString(), QStringLiteral("成功"));
    QCOMPARE(dialog->property("messageText").toString(), QStringLiteral("注册成功！"));
    QCOMPARE(evaluate(QStringLiteral("stackView.depth")).toInt(), 3);
    QVERIFY(evaluate(QStringLiteral("stackView.currentItem.children[0] instanceof RegisterScreenWrapper")).toBool());

    QVERIFY(QTest::qWaitFor([&]() { return evaluate(QStringLiteral("stackView.depth")).toInt() == 1; }, 3000));
    QVERIFY(waitForPage(QStringLiteral("ScreenWrapper")));
    QVERIFY(m_api->isLoggedIn());
    QCOMPARE(m_api->userEmail(), kNewEmail);
    QTRY_COMPARE(named(QStringLiteral("nameLine"))->property("text").toString(), QStringLiteral("newuser"));
}

void SignInEndToEndTest::chooseTheSecondFreeLineAndConnect()
{
    // A new account has no trial time yet: the home page offers it.
    QQuickItem *trial = named(QStringLiteral("trialButton"));
    QTRY_VERIFY(trial && trial->isVisible());
    click(trial);
    QTRY_VERIFY_WITH_TIMEOUT(m_api->freeMinutes() > 0, 5000);

    click(qvariant_cast<QQuickItem *>(evaluate(QStringLiteral("stackView.currentItem.selectServerArea"))));
    QVERIFY(waitForPage(QStringLiteral("SelectServerScreen")));
    QQuickItem *page = currentPage();
    QTRY_VERIFY(textItem(page, kSecondFreeLine));
    // The home page below took the first line it may use as its default, and the page marks it.
    QTRY_COMPARE(evaluate(QStringLiteral("currentServerId")).toInt(), 1);
    QQuickItem *lock = textItem(page, QStringLiteral("🔒"));
    QVERIFY2(lock, "a VIP line is locked for a free account");
    QVERIFY(textItem(page, QStringLiteral("✓")));
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QTest::qWait(100);
    saveScreenshot(QStringLiteral("servers.png"));

    // A locked line refuses the click; the page stays.
    click(lock->parentItem());
    QTest::qWait(50);
    QCOMPARE(evaluate(QStringLiteral("stackView.depth")).toInt(), 2);
    QCOMPARE(evaluate(QStringLiteral("currentServerId")).toInt(), 1);

    click(textItem(page, kSecondFreeLine));
    QVERIFY(waitForPage(QStringLiteral("ScreenWrapper")));
    QCOMPARE(evaluate(QStringLiteral("currentServerId")).toInt(), kSecondFreeLineId);
    QCOMPARE(evaluate(QStringLiteral("currentServerLatency")).toString(), QStringLiteral("45ms"));
    QVERIFY2(textItem(currentPage(), kSecondFreeLine), "the home card shows the chosen line");

    QSignalSpy connected(m_api, &QmlApiAdapter::vpnConnected);
    click(named(QStringLiteral("connectButton")));
    QVERIFY(connected.wait(10000));
    QCOMPARE(VpnConnectionService::instance()->state(), VpnConnectionService::Connected);
    QTRY_COMPARE(named(QStringLiteral("statusLine"))->property("text").toString(), QStringLiteral("已连接"));
}

void SignInEndToEndTest::passwordsStayOutOfTheLogAndTheSettings()
{
    QVERIFY(!m_log->messages().isEmpty());
    for (const QString &password : {kDemoPassword, kNewPassword})
        QVERIFY2(!m_log->contains(password), qPrintable(password));
    Storage::LocalStorage::instance()->sync();
    QFile settings(Storage::LocalStorage::instance()->filePath());
    QVERIFY(settings.open(QIODevice::ReadOnly));
    const QByteArray stored = settings.readAll();
    QVERIFY(stored.contains(kNewEmail.toUtf8()));
    for (const QString &password : {kDemoPassword, kNewPassword})
        QVERIFY2(!stored.contains(password.toUtf8()), qPrintable(password));
}

QTEST_MAIN(SignInEndToEndTest)
#include "tst_signinendtoend.moc"
