#include "api/bridge/QmlApiAdapter.h"
#include "api/services/PaymentService.h"
#include "support/ClientWindow.h"
#include "support/QuickWindowDriver.h"
#include "support/WindowTestRig.h"

#include <QColor>
#include <QDate>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

using namespace Norvane::Api;

namespace {

const QString kDemoEmail = QStringLiteral("demo@norvane.local");
const QString kDemoPassword = QStringLiteral("demo1234");
const QString kDemoName = QStringLiteral("演示用户");
// The local back end's order runs pending, pending, completed: the poll's second tick sees it
// paid. A short interval keeps the wait short and still leaves the payment image time to show.
constexpr int kPollInterval = 1500;
constexpr int kImageReady = 1; // QQuickImage::Ready

} // namespace

// The account pages in the client's window with the real bridge and services against the local
// back end, driven by clicks: the free demo user opens the settings from the home page, buys a
// month of VIP on the VIP page, sees the settings card turn VIP and the order completed in the
// history, reads the announcements and signs out. With NORVANE_SCREENSHOT_DIR set, each page is
// saved there.
class AccountEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void settingsShowTheSignedInUser();
    void vipPurchaseCompletes();
    void settingsCardShowsVip();
    void orderHistoryShowsTheCompletedOrder();
    void announcementsShowTheServicesNotices();
    void aboutPageShowsAndReturns();
    void signOutFromSettings();

private:
    void waitForStack(int depth);
    void clickBack(int depthAfter);
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

    QSignalSpy signedIn(m_api, &QmlApiAdapter::loginSuccess);
    m_api->login(kDemoEmail, kDemoPassword);
    QVERIFY(signedIn.wait(5000));
    QTRY_VERIFY_WITH_TIMEOUT(m_client->evaluate(QStringLiteral("stackView.currentItem instanceof ScreenWrapper")).toBool(), 5000);
    waitForStack(1);
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

void AccountEndToEndTest::settingsShowTheSignedInUser()
{
    QVERIFY(driver().click(QStringLiteral("settingsIcon")));
    waitForStack(2);
    QVERIFY(m_client->evaluate(QStringLiteral("stackView.currentItem.children[0] instanceof SettingsScreenWrapper")).toBool());
    QVERIFY(driver().itemShowing(kDemoName));
    QVERIFY(driver().itemShowing(kDemoEmail));
    QVERIFY(driver().itemShowing(QStringLiteral("免费用户")));
    QVERIFY(driver().itemShowing(QStringLiteral("退出登录")));
    QVERIFY(!driver().itemShowing(QStringLiteral("⭐")));
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

    QSignalSpy created(m_api, &QmlApiAdapter::paymentCreated);
    QSignalSpy completed(m_api, &QmlApiAdapter::paymentCompleted);
    QSignalSpy refreshed(m_api, &QmlApiAdapter::userInfoChanged);
    QVERIFY(driver().clickText(QStringLiteral("立即开通 ¥15")));
    QVERIFY(created.wait(5000));
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

    // Completed on the back end's third status query, then the user is read again.
    QVERIFY(completed.wait(4 * kPollInterval));
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

QTEST_MAIN(AccountEndToEndTest)
#include "tst_accountendtoend.moc"
