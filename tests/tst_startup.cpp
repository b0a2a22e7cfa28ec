#include "platform/process/TiedChildProcess.h"
#include "support/ClientProgram.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kFirstUrl = QStringLiteral("QUrl(\"qrc:/qt/qml/UntitledProject1Content/App.qml\")");
const QString kFallbackUrl = QStringLiteral("QUrl(\"qrc:/UntitledProject1Content/App.qml\")");
const QString kStarted = QStringLiteral("应用程序启动成功！");

} // namespace

// The real client program, started the way a user starts it, and its start-up built with
// other resources.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadsTheWindowFromTheFirstUrl();
    void fallsBackToTheSecondUrl();
    void endsWithoutAWindowWhenBothUrlsFail();
    void drawsWithTheSoftwareRendererUnlessTheUserNamesOne_data();
    void drawsWithTheSoftwareRendererUnlessTheUserNamesOne();

private:
    void start(QProcess &program, const QString &name);

    QTemporaryDir m_data;
    QTemporaryDir m_tmp;
};

void TestStartup::initTestCase()
{
    TestEnvironment::isolate();
    QVERIFY(m_data.isValid());
    QVERIFY(m_tmp.isValid());
}

void TestStartup::start(QProcess &program, const QString &name)
{
    ClientProgram::start(program, name, m_data.path(), m_tmp.path());
}

void TestStartup::loadsTheWindowFromTheFirstUrl()
{
    QProcess client;
    start(client, QStringLiteral("norvane"));
    QVERIFY(client.waitForStarted());

    const QString output = ClientProgram::waitForLine(client, kStarted);
    QVERIFY2(output.contains(kStarted), qPrintable(output));
    QVERIFY(output.contains(QStringLiteral("尝试加载URL: ") + kFirstUrl));
    QVERIFY(!output.contains(QStringLiteral("第一种方式失败")));
    QCOMPARE(client.state(), QProcess::Running);

    client.terminate();
    QVERIFY(client.waitForFinished(10000));
}

void TestStartup::fallsBackToTheSecondUrl()
{
    // A login stored by an earlier run: the window's first binding must already see it.
    {
        QSettings settings(m_data.filePath(QStringLiteral("norvane_startup_fallback/norvane_settings.ini")),
                           QSettings::IniFormat);
        settings.setValue(QStringLiteral("auth_token"), QStringLiteral("stored-token"));
        settings.setValue(QStringLiteral("user_info"), QStringLiteral(R"({"id":7,"email":"stored@norvane.local"})"));
    }

    QProcess client;
    start(client, QStringLiteral("norvane_startup_fallback"));
    QVERIFY(client.waitForStarted());

    // The first load's failure is reported from the event loop, after the start.
    const QString output = ClientProgram::waitForLine(client, QStringLiteral("尝试备用路径..."));
    QCOMPARE(client.state(), QProcess::Running);
    const QStringList expectedInOrder{
        QStringLiteral("尝试加载URL: ") + kFirstUrl,
        QStringLiteral("第一种方式失败，尝试直接路径..."),
        QStringLiteral("尝试加载URL: ") + kFallbackUrl,
        QStringLiteral("API.isLoggedIn at creation: true"),
        kStarted,
        QStringLiteral("加载失败: ") + kFirstUrl,
        QStringLiteral("尝试备用路径..."),
    };
    qsizetype from = 0;
    for (const QString &line : expectedInOrder) {
        const qsizetype at = output.indexOf(line, from);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("missing or out of order: %1\n%2").arg(line, output)));
        from = at + line.size();
    }

    client.terminate();
    QVERIFY(client.waitForFinished(10000));
}

void TestStartup::endsWithoutAWindowWhenBothUrlsFail()
{
    QProcess client;
    start(client, QStringLiteral("norvane_startup_windowless"));
    QVERIFY(client.waitForStarted());
    QVERIFY(client.waitForFinished(20000));

    const QString output = QString::fromUtf8(client.readAll());
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(), 255); // -1 as a process status
    QVERIFY2(output.contains(QStringLiteral("所有加载方式都失败了")), qPrintable(output));
    QVERIFY(output.contains(QStringLiteral("尝试加载URL: ") + kFallbackUrl));
    // The queued failure report never runs: the event loop was not entered.
    QVERIFY(!output.contains(QStringLiteral("加载失败:")));
    QVERIFY(!output.contains(kStarted));
}

void TestStartup::drawsWithTheSoftwareRendererUnlessTheUserNamesOne_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("drawnWith");

    const QString software = QStringLiteral("[QuickRenderer] 使用软件渲染器");
    const QString softwareDrawn = QStringLiteral("Loading backend software");
    QTest::newRow("none named") << QString() << software << softwareDrawn;
    QTest::newRow("empty") << QString(QLatin1String("")) << software << softwareDrawn;
    // The default renderer with Qt's null graphics back end, which needs no GPU.
    QTest::newRow("the default renderer")
        << QStringLiteral("rhi") << QStringLiteral("[QuickRenderer] 使用 QT_QUICK_BACKEND 指定的渲染器: rhi")
        << QStringLiteral("Using QRhi with backend Null");
}

void TestStartup::drawsWithTheSoftwareRendererUnlessTheUserNamesOne()
{
    QFETCH(QString, variable);
    QFETCH(QString, logged);
    QFETCH(QString, drawnWith);

    QProcessEnvironment environment = ClientProgram::environment(m_data.path(), m_tmp.path());
    environment.remove(QStringLiteral("QT_QUICK_BACKEND"));
    if (!variable.isNull())
        environment.insert(QStringLiteral("QT_QUICK_BACKEND"), variable);
    environment.insert(QStringLiteral("QSG_RHI_BACKEND"), QStringLiteral("null"));
    // Qt names the renderer it loads.
    environment.insert(QStringLiteral("QSG_INFO"), QStringLiteral("1"));
    QProcess client;
    client.setProcessEnvironment(environment);
    client.setProcessChannelMode(QProcess::MergedChannels);
    Norvane::Platform::startTiedChild(client, TestEnvironment::helperPath(QStringLiteral("norvane")), {});
    QVERIFY(client.waitForStarted());

    const QString output = ClientProgram::waitForLine(client, drawnWith);
    QVERIFY2(output.contains(drawnWith), qPrintable(output));
    QVERIFY2(output.contains(logged), qPrintable(output));
    QVERIFY(output.indexOf(logged) < output.indexOf(QStringLiteral("尝试加载URL:")));

    client.terminate();
    QVERIFY(client.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
