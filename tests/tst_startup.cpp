#include "support/RefusedBaseUrl.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QTest>

// The real client program, started the way a user starts it.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolate(); }
    void loadsTheWindowFromTheFirstUrl();
};

void TestStartup::loadsTheWindowFromTheFirstUrl()
{
    QProcess client;
    QProcessEnvironment environment = TestEnvironment::childEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("NORVANE_API_BASE_URL"), refusedBaseUrl());
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(TestEnvironment::helperPath(QStringLiteral("norvane")), {});
    QVERIFY(client.waitForStarted());

    QString output;
    QTRY_VERIFY_WITH_TIMEOUT((output += QString::fromUtf8(client.readAll()),
                              output.contains(QStringLiteral("应用程序启动成功！"))),
                             20000);
    QVERIFY(output.contains(QStringLiteral("尝试加载URL: QUrl(\"qrc:/qt/qml/UntitledProject1Content/App.qml\")")));
    QVERIFY(!output.contains(QStringLiteral("第一种方式失败")));
    QCOMPARE(client.state(), QProcess::Running);

    client.terminate();
    QVERIFY(client.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
