#include "platform/process/TiedChildProcess.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

namespace {

const QString kProxy = QStringLiteral("socks5://127.0.0.1:10315");

QString tunnelPath()
{
    return TestEnvironment::helperPath(QStringLiteral("resources/vpn/x32/tun2socks.exe"));
}

} // namespace

class Tun2SocksStandinTest : public QObject
{
    Q_OBJECT

private slots:
    void runsUntilEnded_data();
    void runsUntilEnded();
    void refusesWrongArguments_data();
    void refusesWrongArguments();
};

void Tun2SocksStandinTest::runsUntilEnded_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("endSignal");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("as the client starts it, ended by SIGTERM")
        << QStringList{"-device", "wintun", "-proxy", kProxy, "-interface", "以太网"} << int(SIGTERM)
        << QByteArray("tun2socks started: device wintun, proxy socks5://127.0.0.1:10315, interface 以太网\n"
                      "tun2socks stopped by SIGTERM\n");
    QTest::newRow("options in another order, ended by SIGINT")
        << QStringList{"-interface", "eth0", "-proxy", kProxy, "-device", "wintun"} << int(SIGINT)
        << QByteArray("tun2socks started: device wintun, proxy socks5://127.0.0.1:10315, interface eth0\n"
                      "tun2socks stopped by SIGINT\n");
}

void Tun2SocksStandinTest::runsUntilEnded()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, endSignal);
    QFETCH(QByteArray, output);

    QProcess tunnel;
    Norvane::Platform::startTiedChild(tunnel, tunnelPath(), arguments);
    QVERIFY(tunnel.waitForStarted(5000));
    QVERIFY(QTest::qWaitFor([&] { return tunnel.canReadLine(); }, 5000));
    QVERIFY(!tunnel.waitForFinished(300)); // it stays until it is ended

    ::kill(pid_t(tunnel.processId()), endSignal);
    QVERIFY(tunnel.waitForFinished(5000));
    QCOMPARE(tunnel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tunnel.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(tunnel.readAllStandardOutput()), QString::fromUtf8(output));
}

void Tun2SocksStandinTest::refusesWrongArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    QTest::newRow("none") << QStringList() << "ERROR: -device is missing";
    QTest::newRow("interface missing") << QStringList{"-device", "wintun", "-proxy", kProxy}
                                       << "ERROR: -interface is missing";
    QTest::newRow("last value missing") << QStringList{"-device", "wintun", "-proxy", kProxy, "-interface"}
                                        << "ERROR: -interface needs a value";
    QTest::newRow("empty value") << QStringList{"-device", "wintun", "-proxy", kProxy, "-interface", ""}
                                 << "ERROR: -interface needs a value";
    QTest::newRow("option in place of a value") << QStringList{"-device", "-proxy", kProxy, "-interface", "eth0"}
                                                << "ERROR: -device needs a value";
    QTest::newRow("unknown option") << QStringList{"-device", "wintun", "-mtu", "1500"}
                                    << "ERROR: unknown option \"-mtu\"";
    QTest::newRow("option twice") << QStringList{"-device", "wintun", "-device", "tun0"}
                                  << "ERROR: -device is given twice";
    QTest::newRow("proxy scheme not converted")
        << QStringList{"-device", "wintun", "-proxy", "socks://127.0.0.1:10315", "-interface", "eth0"}
        << "ERROR: -proxy \"socks://127.0.0.1:10315\" is not a socks5://HOST:PORT address";
    QTest::newRow("proxy without port")
        << QStringList{"-device", "wintun", "-proxy", "socks5://127.0.0.1", "-interface", "eth0"}
        << "ERROR: -proxy \"socks5://127.0.0.1\" is not a socks5://HOST:PORT address";
}

void Tun2SocksStandinTest::refusesWrongArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);

    QProcess tunnel;
    Norvane::Platform::startTiedChild(tunnel, tunnelPath(), arguments);
    QVERIFY(tunnel.waitForFinished(5000));
    QCOMPARE(tunnel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tunnel.exitCode(), 2);
    QCOMPARE(QString::fromUtf8(tunnel.readAllStandardError().split('\n').first()), error);
    QVERIFY(tunnel.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(Tun2SocksStandinTest)
#include "tst_tun2socksstandin.moc"
