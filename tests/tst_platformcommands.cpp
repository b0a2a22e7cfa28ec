#include "platform/process/PlatformCommand.h"
#include "support/StandInMachine.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

#include <memory>
#include <vector>

namespace {

const QString kKey = QStringLiteral("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings");
const QString kNoTasks = QStringLiteral("INFO: No tasks are running which match the specified criteria.\n");

QProcessEnvironment variables(const QString &name, const QString &value)
{
    QProcessEnvironment environment;
    environment.insert(name, value);
    return environment;
}

QStringList regAdd(const QString &name, const QString &type, const QString &data)
{
    return {"add", kKey, "/v", name, "/t", type, "/d", data, "/f"};
}

// The adapter commands of the TUN mode, as the engine runs them.
const QStringList kSetAddress{"interface", "ipv4", "set", "address", "name=\"wintun\"", "source=static",
                              "addr=192.168.123.1", "mask=255.255.255.0"};
const QStringList kSetDns{"interface", "ipv4", "set", "dnsservers", "name=\"wintun\"", "static",
                          "address=8.8.8.8", "register=none", "validate=no"};
const QStringList kDnsDhcp{"interface", "ipv4", "set", "dnsservers", "name=\"wintun\"", "dhcp"};
const QStringList kAddressDhcp{"interface", "ipv4", "set", "address", "name=\"wintun\"", "source=dhcp"};
const QStringList kRoutes{"1.0.0.0/8",  "2.0.0.0/7",  "4.0.0.0/6",  "8.0.0.0/5",     "16.0.0.0/4",
                          "32.0.0.0/3", "64.0.0.0/2", "128.0.0.0/1", "198.18.0.0/15"};

QStringList addRoute(const QString &prefix)
{
    return {"interface", "ipv4", "add", "route", prefix, "\"wintun\"", "192.168.123.1", "metric=1"};
}

QStringList deleteRoute(const QString &prefix)
{
    return {"interface", "ipv4", "delete", "route", prefix, "\"wintun\""};
}

} // namespace

class PlatformCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void commandsResolveBesideTheProgramOrInTheNamedFolder();
    void regAddAndQueryRoundTrip_data();
    void regAddAndQueryRoundTrip();
    void regQueryOfAnAbsentValueFails();
    void refusedCallsChangeNothing_data();
    void refusedCallsChangeNothing();
    void setxSetsAndEmptiesUserVariables();
    void userVariablesAreTheEnvironmentKeysValues();
    void netshWinHttpSetShowResetAndImport();
    void netshInterfaceCommandsOfTheTunnel();
    void tasklistSeesOnlyALiveEngineProgram_data();
    void tasklistSeesOnlyALiveEngineProgram();
    void taskkillEndsOnlyEnginePrograms_data();
    void taskkillEndsOnlyEnginePrograms();
    void taskkillRefusesBadProcessIds_data();
    void taskkillRefusesBadProcessIds();
    void injectedFailures_data();
    void injectedFailures();
    void malformedInjectionIsAnError();
    void injectedHangSleepsUntilKilled();
    void corruptStateFileIsAnError_data();
    void corruptStateFileIsAnError();
    void everyCallIsLoggedBesideTheDefaultState();
    void concurrentCallsLoseNoChange();

private:
    // A process whose argv[0] file name is `image`.
    QProcess *startImage(const QString &image);

    std::unique_ptr<StandInMachine> m_machine;
    QList<QProcess *> m_children;
};

void PlatformCommandsTest::initTestCase()
{
    TestEnvironment::isolate();
}

void PlatformCommandsTest::init()
{
    m_machine = std::make_unique<StandInMachine>();
}

void PlatformCommandsTest::cleanup()
{
    qDeleteAll(m_children);
    m_children.clear();
    m_machine.reset();
}

QProcess *PlatformCommandsTest::startImage(const QString &image)
{
    const QString link = QDir(m_machine->folder()).filePath(image);
    if (!QFile::exists(link) && !QFile::link("/bin/sleep", link))
        return nullptr;
    auto *process = new QProcess;
    m_children.append(process);
    process->start(link, {"30"});
    return process->waitForStarted() ? process : nullptr;
}

void PlatformCommandsTest::commandsResolveBesideTheProgramOrInTheNamedFolder()
{
    QCOMPARE(Norvane::Platform::commandProgram("reg"),
             QCoreApplication::applicationDirPath() + "/platform-commands/reg");
    qputenv("NORVANE_PLATFORM_COMMANDS_DIR", "/opt/elsewhere");
    const QString named = Norvane::Platform::commandProgram("netsh");
    qunsetenv("NORVANE_PLATFORM_COMMANDS_DIR");
    QCOMPARE(named, QStringLiteral("/opt/elsewhere/netsh"));
}

void PlatformCommandsTest::regAddAndQueryRoundTrip_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("printed");

    QTest::newRow("dword 1") << "REG_DWORD" << "1" << "0x1";
    QTest::newRow("dword given in hex") << "REG_DWORD" << "0x1F" << "0x1f";
    QTest::newRow("largest dword") << "REG_DWORD" << "4294967295" << "0xffffffff";
    QTest::newRow("server string") << "REG_SZ" << "socks=127.0.0.1:10315" << "socks=127.0.0.1:10315";
    QTest::newRow("text with blanks") << "REG_SZ" << "http=a:1;https=b:2 c" << "http=a:1;https=b:2 c";
    QTest::newRow("empty text") << "REG_SZ" << "" << "";
}

void PlatformCommandsTest::regAddAndQueryRoundTrip()
{
    QFETCH(QString, type);
    QFETCH(QString, data);
    QFETCH(QString, printed);

    const StandInMachine::Result added = m_machine->run("reg", regAdd("ProxyServer", type, data));
    QCOMPARE(added.exitCode, 0);
    QCOMPARE(added.out, QStringLiteral("The operation completed successfully.\n"));

    // Keys and value names compare without regard to case; the value keeps its first spelling.
    const StandInMachine::Result queried =
        m_machine->run("reg", {"query", "hkey_current_user\\software\\microsoft\\windows\\currentversion\\internet "
                                        "settings", "/v", "proxyserver"});
    QCOMPARE(queried.exitCode, 0);
    QCOMPARE(queried.out, "\nHKEY_CURRENT_USER\\software\\microsoft\\windows\\currentversion\\internet settings\n"
                          "    ProxyServer    " + type + "    " + printed + "\n\n");
    QCOMPARE(m_machine->internetSetting("ProxyServer").value("type").toString(), type);
}

void PlatformCommandsTest::regQueryOfAnAbsentValueFails()
{
    QCOMPARE(m_machine->run("reg", {"query", kKey, "/v", "ProxyEnable"}).exitCode, 1);
    QCOMPARE(m_machine->run("reg", regAdd("ProxyEnable", "REG_DWORD", "0")).exitCode, 0);

    const StandInMachine::Result result = m_machine->run("reg", {"query", kKey, "/v", "ProxyServer"});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.out.isEmpty());
    QCOMPARE(result.err, QStringLiteral("ERROR: The system was unable to find the specified registry key or value.\n"));
}

void PlatformCommandsTest::refusedCallsChangeNothing_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");

    QTest::newRow("reg unknown operation") << "reg" << QStringList{"delete", kKey, "/v", "ProxyEnable", "/f"} << 1
                                           << "ERROR: Invalid syntax.";
    QTest::newRow("reg unknown root") << "reg" << QStringList{"add", "HKXX\\Software", "/v", "a", "/d", "b", "/f"} << 1
                                      << "ERROR: Invalid key name.";
    QTest::newRow("reg empty key part") << "reg" << QStringList{"add", "HKCU\\\\Software", "/v", "a", "/f"} << 1
                                        << "ERROR: Invalid key name.";
    QTest::newRow("reg dword not a number") << "reg" << regAdd("ProxyEnable", "REG_DWORD", "on") << 1
                                            << "Specify valid numeric value for '/d'.";
    QTest::newRow("reg dword too large") << "reg" << regAdd("ProxyEnable", "REG_DWORD", "4294967296") << 1
                                         << "Specify valid numeric value for '/d'.";
    QTest::newRow("reg unsupported type") << "reg" << regAdd("ProxyEnable", "REG_BINARY", "01") << 1
                                          << "REG_BINARY is not supported";
    QTest::newRow("reg add without /v") << "reg" << QStringList{"add", kKey, "/d", "1", "/f"} << 1 << "/v <name>";
    QTest::newRow("reg option without value") << "reg" << QStringList{"add", kKey, "/v", "a", "/d"} << 1
                                              << "The option /d needs a value.";
    QTest::newRow("reg repeated option") << "reg" << QStringList{"add", kKey, "/v", "a", "/v", "b", "/f"} << 1
                                         << "repeated argument \"/v\"";
    QTest::newRow("reg overwrite without /f")
        << "reg" << QStringList{"add", kKey, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "1"} << 1
        << "give /f to overwrite";
    QTest::newRow("setx one argument") << "setx" << QStringList{"http_proxy"} << 1 << "ERROR: Invalid syntax.";
    QTest::newRow("setx three arguments") << "setx" << QStringList{"a", "b", "c"} << 1 << "ERROR: Invalid syntax.";
    QTest::newRow("setx machine option") << "setx" << QStringList{"/M", "a"} << 1 << "/M is not supported";
    QTest::newRow("setx name with =") << "setx" << QStringList{"a=b", "c"} << 1 << "ERROR: Invalid syntax.";
    QTest::newRow("netsh unknown context") << "netsh" << QStringList{"firewall", "show"} << 1
                                           << "The following command was not found: firewall show.";
    QTest::newRow("winhttp unknown verb") << "netsh" << QStringList{"winhttp", "delete", "proxy"} << 1
                                          << "not found: winhttp delete proxy.";
    QTest::newRow("winhttp set without server") << "netsh" << QStringList{"winhttp", "set", "proxy"} << 1
                                                << "proxy-server is missing";
    QTest::newRow("winhttp unknown parameter")
        << "netsh" << QStringList{"winhttp", "set", "proxy", "server=a:1"} << 1 << "\"server\" is not known";
    QTest::newRow("winhttp import from elsewhere")
        << "netsh" << QStringList{"winhttp", "import", "proxy", "source=firefox"} << 1 << "source must be ie";
    QTest::newRow("winhttp reset with parameter")
        << "netsh" << QStringList{"winhttp", "reset", "proxy", "now"} << 1 << "takes no parameters";
    QTest::newRow("ipv4 unknown subcommand")
        << "netsh" << QStringList{"interface", "ipv4", "show", "address"} << 1 << "not found: interface ipv4";
    QTest::newRow("ipv4 address out of range")
        << "netsh" << QStringList{"interface", "ipv4", "set", "address", "name=wintun", "source=static",
                                  "addr=192.168.123.256", "mask=255.255.255.0"}
        << 1 << "address is not an IPv4 address";
    QTest::newRow("ipv4 mask with a hole")
        << "netsh" << QStringList{"interface", "ipv4", "set", "address", "name=wintun", "source=static",
                                  "addr=192.168.123.1", "mask=255.0.255.0"}
        << 1 << "mask is not an IPv4 network mask";
    QTest::newRow("ipv4 address without name")
        << "netsh" << QStringList{"interface", "ipv4", "set", "address", "source=dhcp"} << 1 << "name is missing";
    QTest::newRow("ipv4 gateway not supported")
        << "netsh" << QStringList{"interface", "ipv4", "set", "address", "name=wintun", "source=static",
                                  "addr=10.0.0.2", "mask=255.0.0.0", "gateway=10.0.0.1"}
        << 1 << "\"gateway\" is not known";
    QTest::newRow("ipv4 dns source unknown")
        << "netsh" << QStringList{"interface", "ipv4", "set", "dnsservers", "name=wintun", "manual"} << 1
        << "source must be static or dhcp";
    QTest::newRow("ipv4 prefix too long") << "netsh" << addRoute("1.0.0.0/33") << 1 << "prefix is not an IPv4 prefix";
    QTest::newRow("ipv4 route one value too many")
        << "netsh" << (addRoute("1.0.0.0/8") << "extra") << 1 << "one too many";
    QTest::newRow("ipv4 duplicate route") << "netsh" << addRoute("10.0.0.0/8") << 1 << "The object already exists.";
    QTest::newRow("ipv4 delete absent route") << "netsh" << deleteRoute("11.0.0.0/8") << 1 << "Element not found.";
    QTest::newRow("tasklist without filter") << "tasklist" << QStringList{} << 1 << "ERROR: Invalid argument/option";
    QTest::newRow("tasklist other filter") << "tasklist" << QStringList{"/FI", "IMAGENAME eq xray.exe"} << 1
                                           << "ERROR: The search filter cannot be recognized.";
    QTest::newRow("taskkill unknown option") << "taskkill" << QStringList{"/IM", "xray.exe", "/F"} << 1
                                             << "ERROR: Invalid argument/option - '/IM'.";
}

void PlatformCommandsTest::refusedCallsChangeNothing()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);

    QCOMPARE(m_machine->run("reg", regAdd("ProxyEnable", "REG_DWORD", "0")).exitCode, 0);
    QCOMPARE(m_machine->run("netsh", addRoute("10.0.0.0/8")).exitCode, 0);
    const QByteArray before = m_machine->stateBytes();

    const StandInMachine::Result result = m_machine->run(program, arguments);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.err.contains(error), qPrintable(result.err));
    QCOMPARE(m_machine->stateBytes(), before);
}

void PlatformCommandsTest::setxSetsAndEmptiesUserVariables()
{
    const StandInMachine::Result set = m_machine->run("setx", {"http_proxy", "socks://127.0.0.1:10315"});
    QCOMPARE(set.exitCode, 0);
    QCOMPARE(set.out, QStringLiteral("\nSUCCESS: Specified value was saved.\n"));
    QCOMPARE(m_machine->run("setx", {"https_proxy", "socks://127.0.0.1:10315"}).exitCode, 0);
    QCOMPARE(m_machine->state().value("environment").toObject(),
             (QJsonObject{{"http_proxy", "socks://127.0.0.1:10315"}, {"https_proxy", "socks://127.0.0.1:10315"}}));

    // Names compare without regard to case, as Windows' do; the empty value is how it is cleared.
    QCOMPARE(m_machine->run("setx", {"HTTP_PROXY", ""}).exitCode, 0);
    QCOMPARE(m_machine->state().value("environment").toObject(),
             (QJsonObject{{"HTTP_PROXY", ""}, {"https_proxy", "socks://127.0.0.1:10315"}}));
}

// As on Windows, what setx sets is read (and may be written) with reg under HKCU\Environment.
void PlatformCommandsTest::userVariablesAreTheEnvironmentKeysValues()
{
    const QString key = QStringLiteral("HKCU\\Environment");
    QCOMPARE(m_machine->run("reg", {"query", key, "/v", "http_proxy"}).exitCode, 1);
    QCOMPARE(m_machine->run("setx", {"http_proxy", "http://corp.example:3128"}).exitCode, 0);
    QCOMPARE(m_machine->run("setx", {"https_proxy", ""}).exitCode, 0);

    const StandInMachine::Result set = m_machine->run("reg", {"query", "hkcu\\environment", "/v", "HTTP_PROXY"});
    QCOMPARE(set.exitCode, 0);
    QCOMPARE(set.out, QStringLiteral("\nHKEY_CURRENT_USER\\environment\n    http_proxy    REG_SZ    http://corp.example:3128\n\n"));
    const StandInMachine::Result empty = m_machine->run("reg", {"query", key, "/v", "https_proxy"});
    QCOMPARE(empty.exitCode, 0);
    QCOMPARE(empty.out, QStringLiteral("\nHKEY_CURRENT_USER\\Environment\n    https_proxy    REG_SZ    \n\n"));

    QCOMPARE(m_machine->run("reg", {"add", key, "/v", "no_proxy", "/t", "REG_SZ", "/d", "localhost", "/f"}).exitCode, 0);
    QCOMPARE(m_machine->run("reg", {"add", key, "/v", "Count", "/t", "REG_DWORD", "/d", "0x10", "/f"}).exitCode, 0);
    QCOMPARE(m_machine->state().value("environment").toObject(),
             (QJsonObject{{"http_proxy", "http://corp.example:3128"}, {"https_proxy", ""}, {"no_proxy", "localhost"},
                          {"Count", "16"}}));
    QVERIFY(!m_machine->state().value("registry").toObject().contains("HKEY_CURRENT_USER\\Environment"));
}

void PlatformCommandsTest::netshWinHttpSetShowResetAndImport()
{
    const QString direct = "\nCurrent WinHTTP proxy settings:\n\n    Direct access (no proxy server).\n\n";
    QCOMPARE(m_machine->run("netsh", {"winhttp", "show", "proxy"}).out, direct);

    // The quote characters belong to the arguments, as the engine passes them.
    const StandInMachine::Result set = m_machine->run(
        "netsh", {"winhttp", "set", "proxy", "proxy-server=\"socks=127.0.0.1:10315\"", "bypass-list=\"<local>\""});
    QCOMPARE(set.exitCode, 0);
    const QString proxied = "\nCurrent WinHTTP proxy settings:\n\n"
                            "    Proxy Server(s) :  socks=127.0.0.1:10315\n"
                            "    Bypass List     :  <local>\n\n";
    QCOMPARE(set.out, proxied);
    QCOMPARE(m_machine->run("netsh", {"WINHTTP", "SHOW", "PROXY"}).out, proxied);
    QCOMPARE(m_machine->state().value("winhttp").toObject(),
             (QJsonObject{{"proxy_server", "socks=127.0.0.1:10315"}, {"bypass_list", "<local>"}}));

    const StandInMachine::Result reset = m_machine->run("netsh", {"winhttp", "reset", "proxy"});
    QCOMPARE(reset.exitCode, 0);
    QCOMPARE(reset.out, direct);
    QCOMPARE(m_machine->state().value("winhttp").toObject(), QJsonObject());

    // Importing takes Internet Settings' proxy only while it is switched on.
    QCOMPARE(m_machine->run("reg", regAdd("ProxyServer", "REG_SZ", "http=corp:8080")).exitCode, 0);
    QCOMPARE(m_machine->run("reg", regAdd("ProxyOverride", "REG_SZ", "*.corp;<local>")).exitCode, 0);
    QCOMPARE(m_machine->run("reg", regAdd("ProxyEnable", "REG_DWORD", "1")).exitCode, 0);
    const StandInMachine::Result imported = m_machine->run("netsh", {"winhttp", "import", "proxy", "source=ie"});
    QCOMPARE(imported.exitCode, 0);
    QCOMPARE(imported.out, QStringLiteral("\nCurrent WinHTTP proxy settings:\n\n"
                                          "    Proxy Server(s) :  http=corp:8080\n"
                                          "    Bypass List     :  *.corp;<local>\n\n"));

    QCOMPARE(m_machine->run("reg", regAdd("ProxyEnable", "REG_DWORD", "0")).exitCode, 0);
    QCOMPARE(m_machine->run("netsh", {"winhttp", "import", "proxy", "source=ie"}).out, direct);
    QCOMPARE(m_machine->state().value("winhttp").toObject(), QJsonObject());
}

void PlatformCommandsTest::netshInterfaceCommandsOfTheTunnel()
{
    const StandInMachine::Result address = m_machine->run("netsh", kSetAddress);
    QCOMPARE(address.exitCode, 0);
    QCOMPARE(address.out, QStringLiteral("Ok.\n\n"));
    QCOMPARE(m_machine->run("netsh", kSetDns).exitCode, 0);
    for (const QString &prefix : kRoutes)
        QCOMPARE(m_machine->run("netsh", addRoute(prefix)).exitCode, 0);

    QJsonObject state = m_machine->state();
    QCOMPARE(state.value("interfaces").toObject().value("wintun").toObject(),
             (QJsonObject{{"address", QJsonObject{{"source", "static"},
                                                  {"address", "192.168.123.1"},
                                                  {"mask", "255.255.255.0"}}},
                          {"dns", QJsonObject{{"source", "static"},
                                              {"address", "8.8.8.8"},
                                              {"register", "none"},
                                              {"validate", "no"}}}}));
    const QJsonArray routes = state.value("routes").toArray();
    QCOMPARE(routes.size(), kRoutes.size());
    for (int i = 0; i < routes.size(); ++i) {
        QCOMPARE(routes[i].toObject(), (QJsonObject{{"prefix", kRoutes[i]},
                                                    {"interface", "wintun"},
                                                    {"nexthop", "192.168.123.1"},
                                                    {"metric", 1}}));
    }

    // "interface ip" is netsh's other name for the same context.
    QCOMPARE(m_machine->run("netsh", {"interface", "ip", "delete", "route", "1.0.0.0/8", "\"WINTUN\""}).exitCode, 0);
    for (const QString &prefix : kRoutes.mid(1))
        QCOMPARE(m_machine->run("netsh", deleteRoute(prefix)).exitCode, 0);
    QCOMPARE(m_machine->run("netsh", kDnsDhcp).exitCode, 0);
    QCOMPARE(m_machine->run("netsh", kAddressDhcp).exitCode, 0);

    state = m_machine->state();
    QCOMPARE(state.value("routes").toArray(), QJsonArray());
    QCOMPARE(state.value("interfaces").toObject().value("wintun").toObject(),
             (QJsonObject{{"address", QJsonObject{{"source", "dhcp"}}},
                          {"dns", QJsonObject{{"source", "dhcp"}, {"register", "primary"}}}}));
}

void PlatformCommandsTest::tasklistSeesOnlyALiveEngineProgram_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<bool>("listed");

    QTest::newRow("proxy core") << "xray.exe" << true;
    QTest::newRow("tunnel program") << "tun2socks.exe" << true;
    QTest::newRow("other program") << "sleep" << false;
    QTest::newRow("name only begins alike") << "xray.exe.old" << false;
    QTest::newRow("other case") << "XRAY.EXE" << false;
}

void PlatformCommandsTest::tasklistSeesOnlyALiveEngineProgram()
{
    QFETCH(QString, image);
    QFETCH(bool, listed);

    QProcess *child = startImage(image);
    QVERIFY(child);
    const QString filter = QStringLiteral("PID eq %1").arg(child->processId());

    const StandInMachine::Result alive = m_machine->run("tasklist", {"/FI", filter});
    QCOMPARE(alive.exitCode, 0);
    if (listed) {
        QCOMPARE(alive.out.section('\n', 1, 2),
                 QStringLiteral("Image Name                     PID Session Name        Session#    Mem Usage\n"
                                "========================= ======== ================ =========== ============"));
        const QString row = alive.out.section('\n', 3, 3);
        QVERIFY2(row.startsWith(image.leftJustified(25) + " " + QString::number(child->processId()).rightJustified(8)
                                + " Console "),
                 qPrintable(row));
        QVERIFY(row.endsWith(" K"));
    } else {
        QCOMPARE(alive.out, kNoTasks);
    }

    child->kill();
    QVERIFY(child->waitForFinished());
    QCOMPARE(m_machine->run("tasklist", {"/fi", filter.toLower()}).out, kNoTasks);
}

void PlatformCommandsTest::taskkillEndsOnlyEnginePrograms_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<bool>("ended");

    QTest::newRow("proxy core") << "xray.exe" << true;
    QTest::newRow("tunnel program") << "tun2socks.exe" << true;
    QTest::newRow("other program") << "sleep" << false;
    QTest::newRow("name only ends alike") << "not-xray.exe" << false;
}

void PlatformCommandsTest::taskkillEndsOnlyEnginePrograms()
{
    QFETCH(QString, image);
    QFETCH(bool, ended);

    QProcess *child = startImage(image);
    QVERIFY(child);
    const QString pid = QString::number(child->processId());

    // Without /F nothing is ended.
    QCOMPARE(m_machine->run("taskkill", {"/PID", pid}).exitCode, 1);
    QVERIFY(!child->waitForFinished(100));

    const StandInMachine::Result result = m_machine->run("taskkill", {"/F", "/PID", pid});
    if (ended) {
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, "SUCCESS: The process with PID " + pid + " has been terminated.\n");
        QVERIFY(child->waitForFinished(5000));
        QCOMPARE(child->exitStatus(), QProcess::CrashExit);
        QCOMPARE(m_machine->run("taskkill", {"/F", "/PID", pid}).exitCode, 128);
    } else {
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err,
                 "ERROR: The process with PID " + pid + " could not be terminated.\nReason: Access is denied.\n");
        QVERIFY(!child->waitForFinished(200));
    }
}

void PlatformCommandsTest::taskkillRefusesBadProcessIds_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("no such process") << QStringList{"/F", "/PID", "999999999"} << 128;
    QTest::newRow("zero") << QStringList{"/F", "/PID", "0"} << 1;
    QTest::newRow("every process") << QStringList{"/F", "/PID", "-1"} << 1;
    QTest::newRow("not a number") << QStringList{"/F", "/PID", "xray"} << 1;
    QTest::newRow("no process id") << QStringList{"/F"} << 1;
    QTest::newRow("/PID without value") << QStringList{"/F", "/PID"} << 1;
    QTest::newRow("two process ids") << QStringList{"/F", "/PID", "1", "/PID", "2"} << 1;
}

void PlatformCommandsTest::taskkillRefusesBadProcessIds()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);

    // A bystander core: a wrong id must never reach it.
    QProcess *bystander = startImage("xray.exe");
    QVERIFY(bystander);

    const StandInMachine::Result result = m_machine->run("taskkill", arguments);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(result.err.startsWith("ERROR: "));
    QVERIFY(!bystander->waitForFinished(100));
}

void PlatformCommandsTest::injectedFailures_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");

    QTest::newRow("program and first argument")
        << "reg add" << "reg" << regAdd("ProxyEnable", "REG_DWORD", "1") << 1 << "ERROR: Injected failure (reg add).\n";
    QTest::newRow("wildcard, code and text")
        << "reg add * /v ProxyServer|5|ERROR: Access is denied." << "reg"
        << regAdd("ProxyServer", "REG_SZ", "socks=127.0.0.1:10315") << 5 << "ERROR: Access is denied.\n";
    QTest::newRow("wildcard leaves other values alone")
        << "reg add * /v ProxyServer" << "reg" << regAdd("ProxyEnable", "REG_DWORD", "1") << 0 << "";
    QTest::newRow("case does not matter") << "SETX HTTP_PROXY" << "setx" << QStringList{"http_proxy", "x"} << 1
                                          << "ERROR: Injected failure (SETX HTTP_PROXY).\n";
    QTest::newRow("second of several rules")
        << "netsh winhttp import; setx https_proxy |7" << "setx" << QStringList{"https_proxy", "x"} << 7
        << "ERROR: Injected failure (setx https_proxy).\n";
    QTest::newRow("more words than arguments") << "setx a b c" << "setx" << QStringList{"a", "b"} << 0 << "";
    QTest::newRow("other program") << "reg" << "setx" << QStringList{"a", "b"} << 0 << "";
    QTest::newRow("refusal of a query") << "reg query" << "reg" << QStringList{"query", kKey, "/v", "ProxyEnable"} << 1
                                        << "ERROR: Injected failure (reg query).\n";
    QTest::newRow("taskkill") << "taskkill /F" << "taskkill" << QStringList{"/F", "/PID", "1"} << 1
                              << "ERROR: Injected failure (taskkill /F).\n";
}

void PlatformCommandsTest::injectedFailures()
{
    QFETCH(QString, rules);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);

    QCOMPARE(m_machine->run("reg", regAdd("ProxyEnable", "REG_DWORD", "0")).exitCode, 0);
    const QByteArray before = m_machine->stateBytes();

    const StandInMachine::Result result =
        m_machine->run(program, arguments, variables("NORVANE_PLATFORM_FAIL", rules));
    QCOMPARE(result.exitCode, exitCode);
    if (exitCode != 0) {
        QCOMPARE(result.err, error);
        QVERIFY(result.out.isEmpty());
        QCOMPARE(m_machine->stateBytes(), before);
    }
    QCOMPARE(m_machine->commandLines().last(), (QStringList{program} + arguments).join(' '));
}

void PlatformCommandsTest::malformedInjectionIsAnError()
{
    const QStringList malformed{"reg add|abc", "reg add|0", "reg add|256", "reg|1|text|more", "|3"};
    for (const QString &rules : malformed) {
        const StandInMachine::Result result =
            m_machine->run("setx", {"a", "b"}, variables("NORVANE_PLATFORM_FAIL", rules));
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith("ERROR: NORVANE_PLATFORM_FAIL: "), qPrintable(result.err));
    }
    const StandInMachine::Result hang =
        m_machine->run("setx", {"a", "b"}, variables("NORVANE_PLATFORM_HANG", "setx|1"));
    QCOMPARE(hang.exitCode, 1);
    QVERIFY2(hang.err.startsWith("ERROR: NORVANE_PLATFORM_HANG: "), qPrintable(hang.err));
    QVERIFY(m_machine->stateBytes().isEmpty());
}

void PlatformCommandsTest::injectedHangSleepsUntilKilled()
{
    QCOMPARE(m_machine->run("netsh", {"winhttp", "set", "proxy", "proxy-server=a:1"}).exitCode, 0);
    const QByteArray before = m_machine->stateBytes();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NORVANE_PLATFORM_HANG", "netsh winhttp;reg add");
    environment.insert("NORVANE_PLATFORM_FAIL", "netsh");
    QProcess hanging;
    hanging.setProcessEnvironment(environment);
    hanging.start(Norvane::Platform::commandProgram("netsh"), {"winhttp", "reset", "proxy"});
    QVERIFY(hanging.waitForStarted());
    // The call is logged before the command hangs; only then does the quiet spell mean anything.
    QTRY_COMPARE(m_machine->commandLines().size(), 2);
    QVERIFY(!hanging.waitForFinished(500));
    QCOMPARE(m_machine->commandLines().last(), QStringLiteral("netsh winhttp reset proxy"));
    QCOMPARE(m_machine->calls().last().value("pid").toInteger(), hanging.processId());

    hanging.kill();
    QVERIFY(hanging.waitForFinished());
    QCOMPARE(m_machine->stateBytes(), before);

    // A call that matches no hang rule runs as usual.
    QProcessEnvironment other;
    other.insert("NORVANE_PLATFORM_HANG", "netsh winhttp;reg add");
    QCOMPARE(m_machine->run("setx", {"a", "b"}, other).exitCode, 0);
}

void PlatformCommandsTest::corruptStateFileIsAnError_data()
{
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("not JSON") << QByteArray("{\"registry\": {");
    QTest::newRow("not an object") << QByteArray("[]");
    QTest::newRow("registry of another type") << QByteArray(R"({"registry": 5})");
    QTest::newRow("value without data") << QByteArray(R"({"registry": {"HKEY_CURRENT_USER\\a": {"v": {"type": "REG_SZ"}}}})");
    QTest::newRow("dword out of range")
        << QByteArray(R"({"registry": {"HKEY_CURRENT_USER\\a": {"v": {"type": "REG_DWORD", "data": -1}}}})");
    QTest::newRow("variable not a text") << QByteArray(R"({"environment": {"http_proxy": 1}})");
    QTest::newRow("route without prefix") << QByteArray(R"({"routes": [{"interface": "wintun"}]})");
    QTest::newRow("adapter not an object") << QByteArray(R"({"interfaces": {"wintun": []}})");
}

void PlatformCommandsTest::corruptStateFileIsAnError()
{
    QFETCH(QByteArray, content);

    QFile file(m_machine->statePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const QList<QPair<QString, QStringList>> calls{
        {"reg", {"query", kKey, "/v", "ProxyEnable"}},
        {"reg", regAdd("ProxyEnable", "REG_DWORD", "1")},
        {"setx", {"http_proxy", "x"}},
        {"netsh", {"winhttp", "show", "proxy"}},
        {"netsh", addRoute("1.0.0.0/8")},
    };
    for (const auto &call : calls) {
        const StandInMachine::Result result = m_machine->run(call.first, call.second);
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.out.isEmpty());
        QVERIFY2(result.err.startsWith("ERROR: the platform state " + m_machine->statePath() + " is corrupt: "),
                 qPrintable(result.err));
        QCOMPARE(m_machine->stateBytes(), content);
    }
}

void PlatformCommandsTest::everyCallIsLoggedBesideTheDefaultState()
{
    // Without the two variables the state and the log live in the user's data folder.
    const QString home = m_machine->folder() + "/home";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("NORVANE_PLATFORM_STATE");
    environment.remove("NORVANE_PLATFORM_LOG");
    environment.remove("XDG_DATA_HOME");
    environment.insert("HOME", home);

    const QList<QPair<QString, QStringList>> calls{
        {"setx", {"http_proxy", "a b"}},
        {"reg", {"bogus"}},
        {"tasklist", {"/FI", "PID eq 1"}},
    };
    for (const auto &call : calls) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(Norvane::Platform::commandProgram(call.first), call.second);
        QVERIFY(process.waitForFinished());
    }

    const QString folder = home + "/.local/share/norvane-platform";
    QFile state(folder + "/state.json");
    QVERIFY(state.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(state.readAll()).object().value("environment").toObject(),
             (QJsonObject{{"http_proxy", "a b"}}));

    QFile log(folder + "/calls.jsonl");
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QCOMPARE(lines.size(), calls.size() + 1);
    for (int i = 0; i < calls.size(); ++i) {
        const QJsonObject entry = QJsonDocument::fromJson(lines[i]).object();
        QCOMPARE(entry.value("program").toString(), calls[i].first);
        QCOMPARE(entry.value("arguments").toVariant().toStringList(), calls[i].second);
        QVERIFY(entry.value("pid").toInteger() > 0);
    }
    QVERIFY(lines.last().isEmpty());
}

void PlatformCommandsTest::concurrentCallsLoseNoChange()
{
    constexpr int kCalls = 12;
    std::vector<std::unique_ptr<QProcess>> calls;
    for (int i = 0; i < kCalls; ++i) {
        calls.push_back(std::make_unique<QProcess>());
        calls.back()->start(Norvane::Platform::commandProgram("setx"), {QStringLiteral("v%1").arg(i), "x"});
    }
    for (const auto &call : calls) {
        QVERIFY(call->waitForFinished());
        QCOMPARE(call->exitCode(), 0);
    }
    QCOMPARE(m_machine->state().value("environment").toObject().size(), kCalls);
    QCOMPARE(m_machine->calls().size(), kCalls);
}

QTEST_GUILESS_MAIN(PlatformCommandsTest)
#include "tst_platformcommands.moc"
