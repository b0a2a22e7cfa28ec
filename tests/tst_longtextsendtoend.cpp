#include "api/bridge/QmlApiAdapter.h"
#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"
#include "localbackend/PaymentOrder.h"
#include "support/ClientWindow.h"
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

using namespace Norvane::Api;
using Norvane::LocalBackend::ApiRoutes;
using Norvane::LocalBackend::Fault;
using Norvane::LocalBackend::PaymentOrder;

namespace {

// A user who signed up without a name is shown by the address.
const QString kLongEmail = QStringLiteral("zhangsan.work2024.longname@example.com");
const QString kPassword = QStringLiteral("zhangsan2024");
const QString kLongServerName = QStringLiteral("东京品川 Premium Gaming Line 01 (IPLC) Tokyo Shinagawa");
const QString kLongOrderNumber = QStringLiteral("PAY-20250301-ALIPAY-7F3C9A1B2D4E6");

// The built-in seed with its first (free) line under a long name and a free account without
// a name, with trial time.
QByteArray seedWithLongTexts()
{
    QFile file(ApiRoutes::builtInSeedPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QJsonObject seed = QJsonDocument::fromJson(file.readAll()).object();
    QJsonArray servers = seed.value("servers").toArray();
    QJsonObject first = servers.first().toObject();
    first.insert("name", kLongServerName);
    servers.replace(0, first);
    seed.insert("servers", servers);
    QJsonArray accounts = seed.value("accounts").toArray();
    accounts.append(QJsonObject{{"email", kLongEmail}, {"password", kPassword}, {"trial_hours", 2}});
    seed.insert("accounts", accounts);
    return QJsonDocument(seed).toJson();
}

// The order history as the back end writes it, with one completed order under a long number.
QByteArray historyWithALongOrderNumber()
{
    PaymentOrder order;
    order.id = 1;
    order.orderNumber = kLongOrderNumber;
    order.planName = QStringLiteral("月卡");
    order.planDays = 30;
    order.amount = 15;
    order.currency = QStringLiteral("CNY");
    order.paymentMethod = QStringLiteral("alipay");
    order.status = QStringLiteral("completed");
    order.createdAt = QDateTime::currentDateTimeUtc();
    order.paidAt = order.createdAt;
    order.updatedAt = order.createdAt;
    const QJsonObject reply{{"success", true}, {"message", "获取成功"}, {"data", QJsonArray{order.historyJson()}}};
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

// The right edge of an item in the window.
qreal rightEdge(const QQuickItem *item)
{
    return item->mapToScene(QPointF(item->width(), 0)).x();
}

} // namespace

// Texts longer than the service's own, as a real back end may send them, in the client's window
// against the local back end, driven by clicks and keys: a user without a name signs in with a
// long address, chooses a line with a long name, opens the settings and an order history whose
// order has a long number. Each text keeps to its card. With NORVANE_SCREENSHOT_DIR set, the
// server page, the home page, the settings page and the order history are saved there.
class LongTextsEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void signInWithALongAddress();
    void chooseALineWithALongName();
    void settingsCardKeepsTheAddress();
    void orderHistoryKeepsTheChipInTheCard();

private:
    QVariant evaluate(const QString &expression) { return m_rig.client().evaluate(expression); }
    const QuickWindowDriver &driver() const { return m_rig.client().driver(); }
    bool waitForPage(const QString &type) { return m_rig.client().waitForPage(type); }

    WindowTestRig m_rig;
    QmlApiAdapter *m_api = nullptr;
};

void LongTextsEndToEndTest::initTestCase()
{
    QVERIFY(m_rig.prepare());
    QString error;
    QVERIFY2(m_rig.routes().loadSeed(seedWithLongTexts(), &error), qPrintable(error));
    QVERIFY(m_rig.open());
    m_api = m_rig.client().api();
    QQuickWindow *window = m_rig.client().window();
    // Typed keys go to the focused field of the active window.
    window->requestActivate();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QVERIFY(waitForPage(QStringLiteral("ScreenWrapper")));
}

void LongTextsEndToEndTest::cleanupTestCase()
{
    m_rig.close();
}

void LongTextsEndToEndTest::signInWithALongAddress()
{
    QVERIFY(driver().click(QStringLiteral("userInfoBox")));
    QVERIFY(waitForPage(QStringLiteral("LoginScreenWrapper")));
    QVERIFY(driver().typeInto(QStringLiteral("usernameField"), kLongEmail));
    QVERIFY(driver().typeInto(QStringLiteral("passwordField"), kPassword));
    QSignalSpy signedIn(m_api, &QmlApiAdapter::loginSuccess);
    QVERIFY(driver().click(QStringLiteral("loginButton")));
    QVERIFY(waitForEmissions(signedIn));
    QVERIFY(waitForPage(QStringLiteral("ScreenWrapper")));
    QCOMPARE(m_api->userName(), QString());
    QTRY_COMPARE(driver().read(QStringLiteral("nameLine"), "text").toString(), kLongEmail);
}

// The line's name ends in an ellipsis on the server page and on the home page's card, and the
// address in the header's box.
void LongTextsEndToEndTest::chooseALineWithALongName()
{
    QVERIFY(driver().click(QStringLiteral("serverCard")));
    QVERIFY(waitForPage(QStringLiteral("SelectServerScreen")));
    QTRY_VERIFY(driver().item(QStringLiteral("serverRow1")));
    QQuickItem *rowName = driver().itemShowing(kLongServerName);
    QVERIFY(rowName);
    QVERIFY(rowName->property("truncated").toBool());
    // The row's tick stands 20 inside the row's right edge, at x 410 - 20 - 24.
    QVERIFY(rightEdge(rowName) <= 366 - 16);
    QVERIFY(m_rig.client().shoot(QStringLiteral("servers-long-name.png")));

    QVERIFY(driver().click(QStringLiteral("serverRow1")));
    QVERIFY(waitForPage(QStringLiteral("ScreenWrapper")));
    QCOMPARE(evaluate(QStringLiteral("currentServerId")).toInt(), 1);
    QQuickItem *cardName = driver().item(QStringLiteral("serverNameLine"));
    QCOMPARE(cardName->property("text").toString(), kLongServerName);
    QVERIFY(cardName->property("truncated").toBool());
    QVERIFY(rightEdge(cardName) <= rightEdge(driver().item(QStringLiteral("serverCard"))) - 20);

    QQuickItem *nameLine = driver().item(QStringLiteral("nameLine"));
    QQuickItem *box = driver().item(QStringLiteral("userInfoBox"));
    QVERIFY(nameLine->property("truncated").toBool());
    QVERIFY(driver().item(QStringLiteral("avatar"))->mapToScene(QPointF(0, 0)).x() >= box->mapToScene(QPointF(0, 0)).x() + 8);
    QVERIFY(rightEdge(nameLine) <= rightEdge(box) - 8);
    QVERIFY(m_rig.client().shoot(QStringLiteral("home-long-texts.png")));
}

// The card's row ends 16 inside the card, at x 394.
void LongTextsEndToEndTest::settingsCardKeepsTheAddress()
{
    QVERIFY(driver().click(QStringLiteral("settingsIcon")));
    QVERIFY(waitForPage(QStringLiteral("SettingsScreenWrapper")));
    QTRY_VERIFY(driver().itemShowing(QStringLiteral("免费用户")));
    QQuickItem *nameLine = driver().itemShowing(kLongEmail);
    QVERIFY(nameLine);
    QVERIFY(nameLine->property("truncated").toBool());
    QVERIFY(rightEdge(nameLine) <= 394);
    QVERIFY(m_rig.client().shoot(QStringLiteral("settings-long-texts.png")));
}

// The chip stays inside the card's inner edge at x 398, clear of the number, which shows whole.
void LongTextsEndToEndTest::orderHistoryKeepsTheChipInTheCard()
{
    Fault history;
    history.body = historyWithALongOrderNumber();
    history.times = 1;
    m_rig.backend().setFault("GET", QStringLiteral("/api/v1/orders"), history);
    QVERIFY(driver().clickText(QStringLiteral("我的订单")));
    QVERIFY(waitForPage(QStringLiteral("MyOrdersScreenWrapper")));
    QTRY_VERIFY(driver().itemShowing(kLongOrderNumber));
    QQuickItem *number = driver().itemShowing(kLongOrderNumber);
    QCOMPARE(number->property("lineCount").toInt(), 1);
    QQuickItem *chip = driver().itemShowing(QStringLiteral("已完成"))->parentItem();
    QVERIFY(rightEdge(chip) <= 398);
    QVERIFY(rightEdge(number) + 8 <= chip->mapToScene(QPointF(0, 0)).x());
    QVERIFY(driver().itemShowing(QStringLiteral("支付方式: 支付宝")));
    QVERIFY(m_rig.client().shoot(QStringLiteral("orders-long-number.png")));
}

QTEST_MAIN(LongTextsEndToEndTest)
#include "tst_longtextsendtoend.moc"
