#include "api/bridge/QmlApiAdapter.h"
#include "api/services/VpnConnectionService.h"
#include "api/storage/LocalStorage.h"
#include "localbackend/ApiRoutes.h"
#include "support/ClientWindow.h"
#include "support/LogCapture.h"
#include "support/QuickWindowDriver.h"
#include "support/SignalWait.h"
#include "support/WindowTestRig.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Norvane::Api;
using Norvane::LocalBackend::ApiRoutes;
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

} // namespace

// The sign-in road of the client's window, walked by mouse clicks and typed keys alone, with
// the real bridge and services, against the local back end and the real proxy-core stand-in:
// signing in from the home header, signing up from the login page, choosing a line on the
// server page and connecting with the home page's control. With NORVANE_SCREENSHOT_DIR set, the
// login page, the registration page as it opens and with an input error, and the server page are
// saved there.
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
    QVariant evaluate(const QString &expression) { return m_rig.client().evaluate(expression); }
    const QuickWindowDriver &driver() const { return m_rig.client().driver(); }
    QQuickItem *currentPage();
    bool waitForPage(const QString &type) { return m_rig.client().waitForPage(type); }
    QString textOf(const QString &objectName) const;
    QObject *pageDialog();

    std::unique_ptr<LogCapture> m_log;
    WindowTestRig m_rig;
    QmlApiAdapter *m_api = nullptr;
    QQuickWindow *m_window = nullptr;
};

void SignInEndToEndTest::initTestCase()
{
    // Made once the test log is up, so that it sees every message before that log does.
    m_log = std::make_unique<LogCapture>();
    QVERIFY(m_rig.prepare());
    QString error;
    QVERIFY2(m_rig.routes().loadSeed(seedWithTwoFreeLines(), &error), qPrintable(error));
    QVERIFY(m_rig.open());
    m_api = m_rig.client().api();
    m_window = m_rig.client().window();
    // Typed keys go to the focused field of the active window.
    m_window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QVERIFY(waitForPage(QStringLiteral("ScreenWrapper")));
    QVERIFY(!m_api->isLoggedIn());
}

void SignInEndToEndTest::cleanupTestCase()
{
    m_rig.close();
    // Gone while the test log still is: it hands the channel back to that log.
    m_log.reset();
}

QQuickItem *SignInEndToEndTest::currentPage()
{
    return qobject_cast<QQuickItem *>(evaluate(QStringLiteral("stackView.currentItem")).value<QObject *>());
}

QString SignInEndToEndTest::textOf(const QString &objectName) const
{
    return driver().read(objectName, "text").toString();
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

void SignInEndToEndTest::signInFromTheHomeHeader()
{
    QCOMPARE(textOf(QStringLiteral("nameLine")), QStringLiteral("未登录"));
    QVERIFY(driver().click(QStringLiteral("userInfoBox")));
    QVERIFY(waitForPage(QStringLiteral("LoginScreenWrapper")));

    QVERIFY(driver().typeInto(QStringLiteral("usernameField"), kDemoEmail));
    QVERIFY(driver().typeInto(QStringLiteral("passwordField"), kDemoPassword));
    QVERIFY(m_rig.client().shoot(QStringLiteral("login.png")));

    QSignalSpy signedIn(m_api, &QmlApiAdapter::loginSuccess);
    QVERIFY(driver().click(QStringLiteral("loginButton")));
    QVERIFY(waitForEmissions(signedIn));
    QVERIFY(waitForPage(QStringLiteral("ScreenWrapper")));
    QCOMPARE(evaluate(QStringLiteral("stackView.depth")).toInt(), 1);
    QVERIFY(m_api->isLoggedIn());
    QCOMPARE(m_api->userEmail(), kDemoEmail);
    QTRY_COMPARE(textOf(QStringLiteral("nameLine")), QStringLiteral("演示用户"));
}

void SignInEndToEndTest::signUpFromTheLoginPage()
{
    QSignalSpy signedOut(m_api, &QmlApiAdapter::loginStateChanged);
    m_api->logout();
    QTRY_VERIFY_WITH_TIMEOUT(!m_api->isLoggedIn() && signedOut.count() == 4, 5000);
    QTRY_COMPARE(textOf(QStringLiteral("nameLine")), QStringLiteral("未登录"));

    QVERIFY(driver().click(QStringLiteral("userInfoBox")));
    QVERIFY(waitForPage(QStringLiteral("LoginScreenWrapper")));
    QVERIFY(driver().click(QStringLiteral("registerLink")));
    QVERIFY(waitForPage(QStringLiteral("RegisterScreenWrapper")));
    QCOMPARE(evaluate(QStringLiteral("stackView.depth")).toInt(), 3);
    QVERIFY(m_rig.client().shoot(QStringLiteral("register.png")));

    // A slip in the confirmation is caught on the page and shown in its dialog.
    QVERIFY(driver().typeInto(QStringLiteral("emailField"), kNewEmail));
    QVERIFY(driver().typeInto(QStringLiteral("passwordField"), kNewPassword));
    QVERIFY(driver().typeInto(QStringLiteral("confirmPasswordField"), QStringLiteral("newpass98")));
    QSignalSpy failures(m_api, &QmlApiAdapter::loginError);
    QVERIFY(driver().click(QStringLiteral("registerButton")));
    QObject *dialog = pageDialog();
    QVERIFY(dialog);
    QTRY_VERIFY(dialog->property("opened").toBool());
    QCOMPARE(dialog->property("titleText").toString(), QStringLiteral("错误"));
    QCOMPARE(dialog->property("messageText").toString(), QStringLiteral("两次输入的密码不一致"));
    QVERIFY(m_rig.client().shoot(QStringLiteral("register-error.png")));
    QVERIFY(!m_api->isLoggedIn());

    QVERIFY(driver().clickText(QStringLiteral("确定")));
    QTRY_VERIFY(!dialog->property("visible").toBool());
    QVERIFY(driver().click(QStringLiteral("confirmPasswordField")));
    QTRY_VERIFY(driver().item(QStringLiteral("confirmPasswordField"))->hasActiveFocus());
    QTest::keyClick(m_window, Qt::Key_Backspace);
    driver().typeKeys(QStringLiteral("9"));
    QCOMPARE(textOf(QStringLiteral("confirmPasswordField")), kNewPassword);

    QSignalSpy signedIn(m_api, &QmlApiAdapter::loginSuccess);
    QVERIFY(driver().click(QStringLiteral("registerButton")));
    QVERIFY(waitForEmissions(signedIn));
    QCOMPARE(failures.count(), 0);
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
    QTRY_COMPARE(textOf(QStringLiteral("nameLine")), QStringLiteral("newuser"));
}

void SignInEndToEndTest::chooseTheSecondFreeLineAndConnect()
{
    // A new account has no trial time yet: the home page offers it.
    QTRY_VERIFY(driver().item(QStringLiteral("trialButton")));
    QVERIFY(driver().click(QStringLiteral("trialButton")));
    QTRY_VERIFY_WITH_TIMEOUT(m_api->freeMinutes() > 0, 5000);

    QVERIFY(driver().click(QStringLiteral("serverCard")));
    QVERIFY(waitForPage(QStringLiteral("SelectServerScreen")));
    const QString secondFree = QStringLiteral("serverRow%1").arg(kSecondFreeLineId);
    QTRY_VERIFY(driver().item(secondFree));
    // The home page below took the first line it may use as its default, and the page marks it;
    // the VIP lines are locked for a free account.
    QTRY_COMPARE(evaluate(QStringLiteral("currentServerId")).toInt(), 1);
    QVERIFY(driver().read(QStringLiteral("serverRow1"), "selected").toBool());
    QVERIFY(driver().read(QStringLiteral("serverRow2"), "locked").toBool());
    QVERIFY(driver().itemShowing(QStringLiteral("🔒")));
    QVERIFY(m_rig.client().shoot(QStringLiteral("servers.png")));

    // A locked line refuses the click; the page stays.
    QVERIFY(driver().click(QStringLiteral("serverRow2")));
    QTest::qWait(50);
    QCOMPARE(evaluate(QStringLiteral("stackView.depth")).toInt(), 2);
    QCOMPARE(evaluate(QStringLiteral("currentServerId")).toInt(), 1);

    QVERIFY(driver().click(secondFree));
    QVERIFY(waitForPage(QStringLiteral("ScreenWrapper")));
    QCOMPARE(evaluate(QStringLiteral("currentServerId")).toInt(), kSecondFreeLineId);
    QCOMPARE(textOf(QStringLiteral("serverNameLine")), kSecondFreeLine);
    QCOMPARE(textOf(QStringLiteral("latencyLine")), QStringLiteral("45ms"));

    QSignalSpy connected(m_api, &QmlApiAdapter::vpnConnected);
    QVERIFY(driver().click(QStringLiteral("connectButton")));
    QVERIFY(waitForEmissions(connected, 1, 10000));
    QCOMPARE(VpnConnectionService::instance()->state(), VpnConnectionService::Connected);
    QTRY_COMPARE(textOf(QStringLiteral("statusLine")), QStringLiteral("已连接"));
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
