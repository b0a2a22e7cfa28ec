#include "api/network/HttpClient.h"
#include "api/services/PaymentService.h"
#include "support/BackendTestRig.h"
#include "support/LogCapture.h"

#include <QCoreApplication>
#include <QHash>
#include <QTest>
#include <QTimer>
#include <QUrl>

using Norvane::Api::Models::PaymentStatusData;
using Norvane::Api::Network::HttpClient;
using Norvane::Api::Services::PaymentService;
using Norvane::LocalBackend::Fault;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

namespace {

constexpr int kTickMs = 30;
const QString kStatusPattern = QStringLiteral("/api/v1/payments/status/{}");

PaymentService *service()
{
    return PaymentService::instance();
}

QString statusPath(const QString &order)
{
    return QStringLiteral("/api/v1/payments/status/") + order;
}

} // namespace

class PaymentPollingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void invalidSettingsAreRefused();
    void pendingPendingCompleted();
    void terminalWords_data();
    void terminalWords();
    void firstAnswerOnlyInforms();
    void queryLimit_data();
    void queryLimit();
    void failedQueryKeepsPolling();
    void stopIsSilent();
    void emptyOrderStopsOnFirstTick();
    void restartReplacesPolling();
    void staleAnswerIsDropped_data();
    void staleAnswerIsDropped();
    void statusCallbackMayEndPolling_data();
    void statusCallbackMayEndPolling();
    void outcomeCallbackMayStartNewPolling();
    void aboutToQuitStopsPolling();

private:
    // Starts polling with callbacks that record into m_events under the given tag.
    void start(const QString &order, const QString &tag);
    int queries(const QString &order) const;

    BackendTestRig m_rig;
    // Status words per order, answered in turn; the last one repeats. Orders without one: "pending".
    QHash<QString, QStringList> m_script;
    QStringList m_events;
    std::function<void(const QString &tag, const PaymentStatusData &data)> m_onStatusHook;
    std::function<void(const QString &tag)> m_onCompletedHook;
};

void PaymentPollingTest::initTestCase()
{
    QVERIFY(m_rig.start());
    // Read before any test changes them.
    QCOMPARE(service()->pollInterval(), 5000);
    QCOMPARE(service()->pollLimit(), 60);
    QVERIFY(!service()->isPolling());

    m_rig.backend().route("GET", kStatusPattern, [this](const RecordedRequest &request) {
        const QString order = QUrl::fromPercentEncoding(request.pathArgs.value(0).toUtf8());
        QStringList &words = m_script[order];
        const QString word = words.isEmpty() ? QStringLiteral("pending")
                                             : (words.size() > 1 ? words.takeFirst() : words.first());
        return Reply::json({{"success", true}, {"data", QJsonObject{{"order_id", order}, {"status", word}}}});
    });

    connect(service(), &PaymentService::paymentStatusUpdated, this, [this](const PaymentStatusData &data) {
        m_events << QStringLiteral("updated %1 %2").arg(data.orderId, data.status);
    });
    connect(service(), &PaymentService::paymentCompleted, this,
            [this](const QString &order) { m_events << QStringLiteral("paymentCompleted ") + order; });
    connect(service(), &PaymentService::paymentFailed, this, [this](const QString &order, const QString &message) {
        m_events << QStringLiteral("paymentFailed %1 %2").arg(order, message);
    });
}

void PaymentPollingTest::init()
{
    m_rig.reset();
    service()->setPollInterval(kTickMs);
    service()->setPollLimit(PaymentService::kDefaultPollLimit);
    m_script.clear();
    m_events.clear();
    m_onStatusHook = {};
    m_onCompletedHook = {};
}

void PaymentPollingTest::cleanup()
{
    service()->stopPolling();
    // Answers still on their way arrive (and are dropped) before the next test starts.
    HttpClient::instance()->finishOpenRequests();
}

void PaymentPollingTest::start(const QString &order, const QString &tag)
{
    service()->startPolling(
        order,
        [this, tag](bool success, const QString &message, const PaymentStatusData &data) {
            m_events << (success ? QStringLiteral("%1 status %2").arg(tag, data.status)
                                 : QStringLiteral("%1 error %2").arg(tag, message));
            if (m_onStatusHook)
                m_onStatusHook(tag, data);
        },
        [this, tag]() {
            m_events << tag + QStringLiteral(" completed");
            if (m_onCompletedHook)
                m_onCompletedHook(tag);
        },
        [this, tag]() { m_events << tag + QStringLiteral(" failed"); });
}

int PaymentPollingTest::queries(const QString &order) const
{
    return m_rig.backend().requests("GET", statusPath(order)).size();
}

void PaymentPollingTest::invalidSettingsAreRefused()
{
    LogCapture log;
    service()->setPollInterval(0);
    service()->setPollLimit(-1);
    QCOMPARE(service()->pollInterval(), kTickMs);
    QCOMPARE(service()->pollLimit(), 60);
    QVERIFY(log.contains("[PaymentService] 轮询间隔无效"));
    QVERIFY(log.contains("[PaymentService] 轮询次数上限无效"));
}

void PaymentPollingTest::pendingPendingCompleted()
{
    m_script["ORD-1"] = {"pending", "pending", "completed"};
    LogCapture log;
    start("ORD-1", "A");
    QVERIFY(service()->isPolling());
    QVERIFY(log.contains("[PaymentService] 开始轮询支付状态: \"ORD-1\""));

    QTRY_VERIFY(m_events.contains("A completed"));
    const QStringList expected{"A status pending",                            // the query at start
                               "A status pending", "updated ORD-1 pending",   // tick 1
                               "A status completed", "updated ORD-1 completed", // tick 2
                               "paymentCompleted ORD-1", "A completed"};
    QCOMPARE(m_events, expected);
    QVERIFY(!service()->isPolling());
    QTest::qWait(3 * kTickMs);
    QCOMPARE(queries("ORD-1"), 3);
    QCOMPARE(m_events, expected);
}

void PaymentPollingTest::terminalWords_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("ending");

    const QString failed = QStringLiteral("paymentFailed ORD-2 支付失败或已取消");
    QTest::newRow("completed") << "completed" << QStringList{"paymentCompleted ORD-2", "A completed"};
    QTest::newRow("cancelled") << "cancelled" << QStringList{failed, "A failed"};
    QTest::newRow("refunded") << "refunded" << QStringList{failed, "A failed"};
    // Compared exactly: other spellings and words leave the order open.
    QTest::newRow("Completed") << "Completed" << QStringList();
    QTest::newRow("CANCELLED") << "CANCELLED" << QStringList();
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("paid") << "paid" << QStringList();
}

void PaymentPollingTest::terminalWords()
{
    QFETCH(QString, word);
    QFETCH(QStringList, ending);

    m_script["ORD-2"] = {"pending", word};
    start("ORD-2", "A");

    if (!ending.isEmpty()) {
        QTRY_COMPARE(m_events.mid(m_events.size() - ending.size()), ending);
        QVERIFY(!service()->isPolling());
        QCOMPARE(m_events.count(ending.last()), 1);
        return;
    }
    QTRY_VERIFY(m_events.count(QStringLiteral("updated ORD-2 ") + word) >= 3);
    QVERIFY(service()->isPolling());
    for (const QString &event : std::as_const(m_events))
        QVERIFY2(!event.startsWith("payment") && !event.endsWith("completed") && !event.endsWith("failed"),
                 qPrintable(event));
}

void PaymentPollingTest::firstAnswerOnlyInforms()
{
    service()->setPollInterval(300);
    m_script["ORD-3"] = {"completed"};
    start("ORD-3", "A");

    QTRY_COMPARE(m_events, QStringList{"A status completed"});
    QVERIFY(service()->isPolling());
    QTRY_VERIFY(m_events.contains("A completed"));
    QCOMPARE(m_events, (QStringList{"A status completed", "A status completed", "updated ORD-3 completed",
                                    "paymentCompleted ORD-3", "A completed"}));
    QCOMPARE(queries("ORD-3"), 2);
}

void PaymentPollingTest::queryLimit_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("expectedQueries");

    QTest::newRow("default limit") << 60 << 61;
    QTest::newRow("limit 2") << 2 << 3;
    QTest::newRow("limit 0") << 0 << 1;
}

void PaymentPollingTest::queryLimit()
{
    QFETCH(int, limit);
    QFETCH(int, expectedQueries);

    service()->setPollInterval(5);
    service()->setPollLimit(limit);
    start("ORD-4", "A");

    QTRY_VERIFY_WITH_TIMEOUT(m_events.contains("A failed"), 5000);
    QVERIFY(!service()->isPolling());
    // Every query sent has reached the back end once its answer is in.
    HttpClient::instance()->finishOpenRequests();
    QCOMPARE(queries("ORD-4"), expectedQueries);
    QCOMPARE(m_events.count("A failed"), 1);
    // Running out of queries is told only through the callback.
    for (const QString &event : std::as_const(m_events))
        QVERIFY2(!event.startsWith("payment"), qPrintable(event));
}

void PaymentPollingTest::failedQueryKeepsPolling()
{
    m_script["ORD-5"] = {"completed"};
    Fault fault;
    fault.status = 503;
    fault.body = R"({"success":false,"message":"暂时不可用"})";
    fault.times = 2; // the query at start and the first tick's
    m_rig.backend().setFault("GET", kStatusPattern, fault);

    start("ORD-5", "A");
    QTRY_VERIFY(m_events.contains("A completed"));
    QCOMPARE(m_events, (QStringList{"A error 暂时不可用",
                                    "A error 暂时不可用", "updated  ", // a failed tick passes a default record
                                    "A status completed", "updated ORD-5 completed",
                                    "paymentCompleted ORD-5", "A completed"}));
    QCOMPARE(queries("ORD-5"), 3);
}

void PaymentPollingTest::stopIsSilent()
{
    start("ORD-6", "A");
    QTRY_VERIFY(m_events.contains("updated ORD-6 pending"));

    LogCapture log;
    service()->stopPolling();
    service()->stopPolling();
    QCOMPARE(log.count("[PaymentService] 停止轮询支付状态"), 1);
    QVERIFY(!service()->isPolling());

    // A query already sent may still be on its way: once its answer is in, the server has it.
    HttpClient::instance()->finishOpenRequests();
    const int sent = queries("ORD-6");
    const QStringList seen = m_events;
    QTest::qWait(4 * kTickMs);
    QCOMPARE(queries("ORD-6"), sent);
    QCOMPARE(m_events, seen);
}

void PaymentPollingTest::emptyOrderStopsOnFirstTick()
{
    LogCapture log;
    start("", "A");
    QVERIFY(log.contains("[PaymentService] 轮询的订单号为空"));
    QTRY_VERIFY(!service()->isPolling());
    // The query's answer is in before the quiet spell starts.
    HttpClient::instance()->finishOpenRequests();
    QTest::qWait(3 * kTickMs);

    QCOMPARE(m_rig.backend().requests().size(), 1);
    QCOMPARE(m_rig.backend().requests().first().path, QStringLiteral("/api/v1/payments/status/"));
    QCOMPARE(m_events.size(), 1); // the answer to that one query, and no outcome
    QVERIFY(m_events.first().startsWith("A error"));
}

void PaymentPollingTest::restartReplacesPolling()
{
    // Slow ticks, so A's second tick answer surely comes before A's limit tick.
    service()->setPollInterval(150);
    service()->setPollLimit(2);
    // Restart right after that answer, from the event loop rather than inside the callback:
    // A has used up its ticks but not yet reached its limit.
    m_onStatusHook = [this](const QString &tag, const PaymentStatusData &) {
        if (tag == "A" && m_events.count("A status pending") == 3)
            QTimer::singleShot(0, this, [this]() { start("ORD-B", "B"); });
    };
    start("ORD-A", "A");
    QTRY_VERIFY(m_events.contains("B failed"));
    HttpClient::instance()->finishOpenRequests();
    const int sentForA = queries("ORD-A");

    // B got its own two ticks: the count started again from zero.
    QCOMPARE(queries("ORD-B"), 3);
    QCOMPARE(sentForA, 3);
    QVERIFY(!m_events.contains("A failed"));
    QCOMPARE(m_events.count("B failed"), 1);
}

void PaymentPollingTest::staleAnswerIsDropped_data()
{
    QTest::addColumn<bool>("restart");

    QTest::newRow("after stop") << false;
    QTest::newRow("after restart") << true;
}

void PaymentPollingTest::staleAnswerIsDropped()
{
    QFETCH(bool, restart);

    m_script["OLD"] = {"completed"};
    Fault late;
    late.delayMs = 250;
    m_rig.backend().setFault("GET", statusPath("OLD"), late);

    start("OLD", "A");
    QTRY_VERIFY(queries("OLD") >= 2); // the query at start and a tick's are on their way
    LogCapture log;
    if (restart) {
        service()->setPollInterval(10000);
        start("NEW", "B");
    } else {
        service()->stopPolling();
    }

    // The late answers come in and are dropped.
    HttpClient::instance()->finishOpenRequests();
    QVERIFY(log.contains("[PaymentService] 丢弃已结束轮询的支付状态应答: \"OLD\""));
    for (const QString &event : std::as_const(m_events)) {
        QVERIFY2(!event.startsWith("A ") && !event.contains("OLD") && !event.contains("completed"),
                 qPrintable(event));
    }
    if (restart) {
        QCOMPARE(m_events, QStringList{"B status pending"});
        QVERIFY(service()->isPolling());
    } else {
        QVERIFY(m_events.isEmpty());
    }
}

void PaymentPollingTest::statusCallbackMayEndPolling_data()
{
    QTest::addColumn<bool>("restart");

    QTest::newRow("callback stops") << false;
    QTest::newRow("callback restarts") << true;
}

void PaymentPollingTest::statusCallbackMayEndPolling()
{
    QFETCH(bool, restart);

    m_script["ORD-7"] = {"pending", "completed"};
    m_onStatusHook = [this, restart](const QString &tag, const PaymentStatusData &data) {
        if (tag != "A" || data.status != "completed")
            return;
        if (restart)
            start("ORD-8", "B");
        else
            service()->stopPolling();
    };
    start("ORD-7", "A");
    QTRY_VERIFY(m_events.contains("A status completed"));
    QTest::qWait(2 * kTickMs);

    // The answer that the callback made stale goes no further.
    QVERIFY(!m_events.contains("updated ORD-7 completed"));
    QVERIFY(!m_events.contains("paymentCompleted ORD-7"));
    QVERIFY(!m_events.contains("A completed"));
    QCOMPARE(service()->isPolling(), restart);
    if (restart)
        QTRY_VERIFY(m_events.contains("updated ORD-8 pending"));
}

void PaymentPollingTest::outcomeCallbackMayStartNewPolling()
{
    m_script["ORD-9"] = {"completed"};
    m_onCompletedHook = [this](const QString &tag) {
        if (tag == "A")
            start("ORD-10", "B");
    };
    start("ORD-9", "A");
    QTRY_VERIFY(m_events.contains("A completed"));
    QVERIFY(service()->isPolling());
    QTRY_VERIFY(m_events.contains("updated ORD-10 pending"));
}

void PaymentPollingTest::aboutToQuitStopsPolling()
{
    start("ORD-11", "A");
    QTRY_VERIFY(m_events.contains("updated ORD-11 pending"));

    QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection));
    QVERIFY(!service()->isPolling());
    // A query already sent may still be on its way: once its answer is in, the server has it.
    HttpClient::instance()->finishOpenRequests();
    const int sent = queries("ORD-11");
    QTest::qWait(3 * kTickMs);
    QCOMPARE(queries("ORD-11"), sent);
    QVERIFY(!m_events.contains("A failed"));
    QVERIFY(!m_events.contains("A completed"));
}

QTEST_GUILESS_MAIN(PaymentPollingTest)
#include "tst_paymentpolling.moc"
