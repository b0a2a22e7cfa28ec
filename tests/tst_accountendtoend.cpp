#include "api/bridge/QmlApiAdapter.h"
#include "api/services/PaymentService.h"
#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "support/ClientWindow.h"
#include "support/QuickWindowDriver.h"
#include "support/SignalWait.h"
#include "support/WindowTestRig.h"

#include <QColor>
#include <QDate>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

using namespace Norvane::Api;
using Norvane::LocalBackend::Fault;

namespace {

const QString kDemoEmail = QStringLiteral("demo@norvane.local");
const QString kDemoPassword = QStringLiteral("demo1234");
const QString kDemoName = QStringLiteral("演示用户");
// The local back end's order runs pending, pending, completed: the poll's second tick sees it
// paid. A short interval keeps the wait short and still leaves the payment image time to show.
constexpr int kPollInterval = 1500;
constexpr int kImageReady = 1; // QQuickImage::Ready

// One failed answer of the route, with the back end's own text.
Fault failsOnce(const QByteArray &message)
{
    Fault fault;
    fault.status = 500;
    fault.body = R"({"success":false,"message":")" + message + R"("})";
    fault.times = 1;
    return fault;
}

} // namespace

// The account pages in the client's window with the real bridge and services against the local
// back end, driven by clicks and keys: a signed-out user opens the settings from the home page
// and signs in as the free demo user through its card, finds no orders yet, buys a month of VIP
// on the VIP page, sees the settings card turn VIP and the order completed in the history, reads
// the announcements and signs out. Failed answers of the back end show on the pages as their
// own states. With NORVANE_SCREENSHOT_DIR set, each page and state is saved there, the two list
// forms too, which no page opens.
class AccountEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void signInFromTheSettingsCard();
    void orderHistoryEmptyBeforeAPurchase();
    void vipPageWithoutPlans();
    void vipPurchaseCompletes();
    void settingsCardShowsVip();
    void orderHistoryShowsTheCompletedOrder();
    void announcementFailureShowsItsText();
    void announcementsShowTheServicesNotices();
    void aboutPageShowsAndReturns();
    void listFormsShowTheBridgesLists();
    void signOutFromSettings();
    void orderHistoryAsksForASignIn();

private:
    void waitForStack(int depth);
    void clickBack(int depthAfter);
    void pushForm(const QString &document);
    void seeOrderHistoryState(const QString &stateText, const QString &picture);
    const QuickWindowDriver &driver() const { return m_client->driver(); }

    WindowTestRig m_rig;
    ClientWindow *m_client = nullptr;
    QmlApiAdapter *m_api = nullptr;
    QQuickWindow *m_window = nullptr;
    QString m_orderNumber;
};

void AccountEndToEndTest::initTestCase()
{
    QVERIFY(m_rig.prepare());
    Services::PaymentService::instance()->setPollInterval(kPollInterval);
    QVERIFY(m_rig.open());
    m_client = &m_rig.client();
    m_api = m_client->api();
    m_window = m_client->window();
    // Typed keys go to the active window.
    m_window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTRY_VERIFY_WITH_TIMEOUT(m_client->evaluate(QStringLiteral("stackView.currentItem instanceof ScreenWrapper")).toBool(), 5000);
    waitForStack(1);
    QVERIFY(!m_api->isLoggedIn());
}

void AccountEndToEndTest::cleanupTestCase()
{
    m_rig.close();
}

void AccountEndToEndTest::waitForStack(int depth)
{
    QTRY_COMPARE(m_client->evaluate(QStringLiteral("stackView.depth")).toInt(), depth);
    QTRY_VERIFY(!m_client->evaluate(QStringLiteral("stackView.busy")).toBool());
}

// The window's back control: the square from (20, 20) to (70, 70) over every pushed page.
void AccountEndToEndTest::clickBack(int depthAfter)
{
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, QPoint(45, 45));
    waitForStack(depthAfter);
}

// A form that no page opens, laid on the window's stack by the test for a look at it.
void AccountEndToEndTest::pushForm(const QString &document)
{
    m_client->evaluate(QStringLiteral("stackView.push(Qt.createComponent(\"%1\"))").arg(document));
    waitForStack(3);
}

// The card of a signed-out settings page opens the login page; signed in there, the user is
// back on the settings page, which shows the new user.
void AccountEndToEndTest::signInFromTheSettingsCard()
{
    QVERIFY(driver().click(QStringLiteral("settingsIcon")));
    waitForStack(2);
    QVERIFY(m_client->evaluate(QStringLiteral("stackView.currentItem.children[0] instanceof SettingsScreenWrapper")).toBool());
    QVERIFY(driver().itemShowing(QStringLiteral("点击登录")));
    QVERIFY(!driver().itemShowing(QStringLiteral("退出登录")));

    QVERIFY(driver().clickText(QStringLiteral("未登录")));
    waitForStack(3);
    QVERIFY(m_client->evaluate(QStringLiteral("stackView.currentItem.children[0] instanceof LoginScreenWrapper")).toBool());
    QVERIFY(driver().typeInto(QStringLiteral("usernameField"), kDemoEmail));
    QVERIFY(driver().typeInto(QStringLiteral("passwordField"), kDemoPassword));
    QSignalSpy signedIn(m_api, &QmlApiAdapter::loginSuccess);
    QVERIFY(driver().click(QStringLiteral("loginButton")));
    QVERIFY(waitForEmissions(signedIn));

    waitForStack(2);
    QVERIFY(m_client->evaluate(QStringLiteral("stackView.currentItem.children[0] instanceof SettingsScreenWrapper")).toBool());
    QTRY_VERIFY(driver().itemShowing(kDemoName));
    QVERIFY(driver().itemShowing(kDemoEmail));
    QVERIFY(driver().itemShowing(QStringLiteral("免费用户")));
    QVERIFY(driver().itemShowing(QStringLiteral("退出登录")));
    QVERIFY(!driver().itemShowing(QStringLiteral("⭐")));
    QVERIFY(!driver().itemShowing(QStringLiteral("点击登录")));
    QVERIFY(m_client->shoot(QStringLiteral("settings-free.png")));
}

// Opens the order history from the settings page, sees the state text instead of cards, saves
// the picture and goes back.
void AccountEndToEndTest::seeOrderHistoryState(const QString &stateText, const QString &picture)
{
    QVERIFY(driver().clickText(QStringLiteral("我的订单")));
    waitForStack(3);
    QTRY_VERIFY(driver().itemShowing(stateText));
    QVERIFY(!driver().itemShowing(QStringLiteral("加载中...")));
    QVERIFY(m_client->shoot(picture));
    clickBack(2);
}

void AccountEndToEndTest::orderHistoryEmptyBeforeAPurchase()
{
    seeOrderHistoryState(QStringLiteral("暂无订单记录"), QStringLiteral("orders-empty.png"));
}

// Without plans the page goes on showing its loading text, and nothing can be bought.
void AccountEndToEndTest::vipPageWithoutPlans()
{
    m_rig.backend().setFault("GET", QStringLiteral("/api/v1/plans"), failsOnce("套餐服务维护中"));
    QSignalSpy failed(m_api, &QmlApiAdapter::plansError);
    QVERIFY(driver().clickText(QStringLiteral("升级 VIP 会员")));
    waitForStack(3);
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.first().first().toString(), QStringLiteral("套餐服务维护中"));
    QVERIFY(driver().itemShowing(QStringLiteral("正在加载套餐...")));
    QQuickItem *buyLabel = driver().itemShowing(QStringLiteral("请选择套餐"));
    QVERIFY(buyLabel);
    QVERIFY(!buyLabel->parentItem()->isEnabled());
    QVERIFY(m_client->shoot(QStringLiteral("vip-no-plans.png")));
    clickBack(2);
}

void AccountEndToEndTest::vipPurchaseCompletes()
{
    QVERIFY(driver().clickText(QStringLiteral("升级 VIP 会员")));
    waitForStack(3);
    // The local back end lists its three active plans; the second is chosen by default.
    QTRY_VERIFY(driver().itemShowing(QStringLiteral("年卡")));
    QVERIFY(driver().itemShowing(QStringLiteral("立即开通 ¥40")));
    QVERIFY(!driver().itemShowing(QStringLiteral("正在加载套餐...")));
    QVERIFY(driver().clickText(QStringLiteral("月卡")));
    QVERIFY(driver().itemShowing(QStringLiteral("立即开通 ¥15")));
    QVERIFY(m_client->shoot(QStringLiteral("vip-choosing.png")));

    // The order stays pending until the paying page has been looked at, however long that takes.
    QVERIFY(m_rig.routes().setNextPaymentScript({QStringLiteral("pending")}));
    QSignalSpy created(m_api, &QmlApiAdapter::paymentCreated);
    QSignalSpy completed(m_api, &QmlApiAdapter::paymentCompleted);
    QSignalSpy refreshed(m_api, &QmlApiAdapter::userInfoChanged);
    QVERIFY(driver().clickText(QStringLiteral("立即开通 ¥15")));
    QVERIFY(waitForEmissions(created));
    m_orderNumber = created.first().first().toMap().value(QStringLiteral("orderId")).toString();
    QVERIFY(!m_orderNumber.isEmpty());

    QTRY_VERIFY(driver().itemShowing(QStringLiteral("请使用支付宝扫码支付")));
    QVERIFY(driver().itemShowing(QStringLiteral("月卡 - ¥15")));
    QVERIFY(driver().itemShowing(QStringLiteral("订单号: ") + m_orderNumber));
    QVERIFY(!driver().itemShowing(QStringLiteral("年卡")));
    // The picture comes from the payment address, straight from the local back end.
    QQuickItem *image = driver().itemOfClass("QQuickImage");
    QVERIFY(image);
    QCOMPARE(image->property("source").toUrl().path(), QStringLiteral("/pay/") + m_orderNumber);
    QTRY_COMPARE(image->property("status").toInt(), kImageReady);
    QVERIFY(image->property("paintedWidth").toReal() > 0);
    QVERIFY(completed.isEmpty());
    QVERIFY(m_client->shoot(QStringLiteral("vip-paying.png")));

    // Completed on the next status query once the back end has it paid, then the user is read again.
    QVERIFY(m_rig.routes().setPaymentScript(m_orderNumber, {QStringLiteral("completed")}));
    QVERIFY(waitForEmissions(completed, 1, 2 * kPollInterval + 5000));
    QCOMPARE(completed.first().first().toString(), m_orderNumber);
    QTRY_VERIFY(driver().itemShowing(QStringLiteral("年卡")));
    QVERIFY(driver().itemShowing(QStringLiteral("立即开通 ¥15")));
    QVERIFY(!driver().itemShowing(QStringLiteral("请使用支付宝扫码支付")));
    QTRY_VERIFY(m_api->isVip());
    QVERIFY(refreshed.count() >= 2);
}

void AccountEndToEndTest::settingsCardShowsVip()
{
    clickBack(2);
    QVERIFY(driver().itemShowing(QStringLiteral("VIP会员 · 剩余30天")));
    QVERIFY(driver().itemShowing(QStringLiteral("VIP会员 剩余30天")));
    QVERIFY(driver().itemShowing(QStringLiteral("感谢您的支持")));
    QVERIFY(driver().itemShowing(QStringLiteral("⭐")));
    QVERIFY(m_client->shoot(QStringLiteral("settings-vip.png")));
}

void AccountEndToEndTest::orderHistoryShowsTheCompletedOrder()
{
    QVERIFY(driver().clickText(QStringLiteral("我的订单")));
    waitForStack(3);
    QTRY_VERIFY(driver().itemShowing(m_orderNumber));
    QQuickItem *chipText = driver().itemShowing(QStringLiteral("已完成"));
    QVERIFY(chipText);
    QCOMPARE(chipText->parentItem()->property("color").value<QColor>(), QColor(QStringLiteral("#00CCAA")));
    QVERIFY(driver().itemShowing(QStringLiteral("¥15")));
    QVERIFY(driver().itemShowing(QStringLiteral("支付方式: 支付宝")));
    QVERIFY(driver().itemShowing(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    QVERIFY(!driver().itemShowing(QStringLiteral("暂无订单记录")));
    QVERIFY(m_client->shoot(QStringLiteral("orders.png")));
    clickBack(2);
}

void AccountEndToEndTest::announcementFailureShowsItsText()
{
    m_rig.backend().setFault("GET", QStringLiteral("/api/v1/announcements"), failsOnce("公告服务维护中"));
    QVERIFY(driver().clickText(QStringLiteral("公告系统")));
    waitForStack(3);
    QTRY_VERIFY(driver().itemShowing(QStringLiteral("加载失败: 公告服务维护中")));
    QVERIFY(!driver().itemShowing(QStringLiteral("加载中...")));
    QVERIFY(!driver().itemShowing(QStringLiteral("春节活动")));
    QVERIFY(m_client->shoot(QStringLiteral("announcements-error.png")));
    clickBack(2);
}

// Opening the page again asks again.
void AccountEndToEndTest::announcementsShowTheServicesNotices()
{
    QVERIFY(driver().clickText(QStringLiteral("公告系统")));
    waitForStack(3);
    // The seed's notices for every platform and for this one, not the Android one.
    QTRY_VERIFY(driver().itemShowing(QStringLiteral("欢迎使用Norvane加速器")));
    QVERIFY(driver().itemShowing(QStringLiteral("Windows客户端更新")));
    QVERIFY(driver().itemShowing(QStringLiteral("春节活动")));
    QVERIFY(driver().itemShowing(QStringLiteral("春节期间年卡限时优惠。")));
    QVERIFY(!driver().itemShowing(QStringLiteral("Android客户端上线")));
    QVERIFY(!driver().itemShowing(QStringLiteral("加载中...")));
    QVERIFY(m_client->shoot(QStringLiteral("announcements.png")));
    clickBack(2);
}

void AccountEndToEndTest::aboutPageShowsAndReturns()
{
    QVERIFY(driver().clickText(QStringLiteral("关于我们")));
    waitForStack(3);
    QVERIFY(driver().itemShowing(QStringLiteral("Version 1.0.0 (Build 1024)")));
    QVERIFY(m_client->shoot(QStringLiteral("about.png")));
    clickBack(2);
}

// The two forms with the bridge's lists: the order form asks for the orders itself, the
// announcement form shows the list that someone else asks for.
void AccountEndToEndTest::listFormsShowTheBridgesLists()
{
    pushForm(QStringLiteral("MyOrdersScreen.ui.qml"));
    QTRY_VERIFY(driver().itemShowing(m_orderNumber));
    QVERIFY(driver().itemShowing(QStringLiteral("👑")));
    QVERIFY(driver().itemShowing(QStringLiteral("¥15")));
    QQuickItem *chipText = driver().itemShowing(QStringLiteral("已完成"));
    QVERIFY(chipText);
    QCOMPARE(chipText->property("color").value<QColor>(), QColor(QStringLiteral("#00CCAA")));
    QVERIFY(!driver().itemShowing(QStringLiteral("正在加载订单...")));
    QVERIFY(m_client->shoot(QStringLiteral("orders-form.png")));
    m_client->evaluate(QStringLiteral("stackView.pop()"));
    waitForStack(2);

    pushForm(QStringLiteral("AnnouncementScreen.ui.qml"));
    QVERIFY(driver().itemShowing(QStringLiteral("正在加载公告...")));
    m_api->getAnnouncements();
    QTRY_VERIFY(driver().itemShowing(QStringLiteral("Windows客户端更新")));
    QVERIFY(driver().itemShowing(QStringLiteral("🚀")));
    QVERIFY(!driver().itemShowing(QStringLiteral("正在加载公告...")));
    QVERIFY(m_client->shoot(QStringLiteral("announcements-form.png")));
    m_client->evaluate(QStringLiteral("stackView.pop()"));
    waitForStack(2);
}

void AccountEndToEndTest::signOutFromSettings()
{
    QSignalSpy signedOut(m_api, &QmlApiAdapter::loginStateChanged);
    QVERIFY(driver().clickText(QStringLiteral("退出登录")));
    QTRY_COMPARE_WITH_TIMEOUT(signedOut.count(), 4, 5000);
    QVERIFY(!m_api->isLoggedIn());
    QTRY_VERIFY(driver().itemShowing(QStringLiteral("未登录")));
    QVERIFY(driver().itemShowing(QStringLiteral("点击登录")));
    QVERIFY(driver().itemShowing(QStringLiteral("升级 VIP 会员")));
    QVERIFY(!driver().itemShowing(QStringLiteral("退出登录")));
    QVERIFY(!driver().itemShowing(kDemoEmail));
    // The page stays open.
    QCOMPARE(m_client->evaluate(QStringLiteral("stackView.depth")).toInt(), 2);
    QVERIFY(m_client->shoot(QStringLiteral("settings-signed-out.png")));
}

// Signed out, the order history says why it shows nothing.
void AccountEndToEndTest::orderHistoryAsksForASignIn()
{
    seeOrderHistoryState(QStringLiteral("请先登录"), QStringLiteral("orders-signed-out.png"));
}

QTEST_MAIN(AccountEndToEndTest)
#include "tst_accountendtoend.moc"
