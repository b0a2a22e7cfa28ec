#include "api/storage/LocalStorage.h"
#include "support/StateProbe.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using Norvane::Api::Storage::LocalStorage;

namespace {

QFile::Permissions mode(const QString &path)
{
    return QFileInfo(path).permissions()
        & (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::WriteGroup
           | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
}

} // namespace

class LocalStorageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstRunCreatesPrivateFolderAndFile();
    void writesAndRemovalsSignal();
    void readsConvert();
    void textsSurviveTheFileAfterExit_data();
    void textsSurviveTheFileAfterExit();
    void permissionsAreTightenedOnAnExistingFolder();
    void writeFailuresAreLoggedExactly_data();
    void writeFailuresAreLoggedExactly();
};

void LocalStorageTest::initTestCase()
{
    TestEnvironment::isolate();
}

void LocalStorageTest::firstRunCreatesPrivateFolderAndFile()
{
    const QString folder = TestEnvironment::appDataFolder();
    QVERIFY(!QDir(folder).exists());

    LocalStorage *storage = LocalStorage::instance();
    QCOMPARE(storage->filePath(), folder + "/norvane_settings.ini");
    QVERIFY(QDir(folder).exists());
    QCOMPARE(mode(folder),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(mode(storage->filePath()), QFile::ReadOwner | QFile::WriteOwner);

    QCOMPARE(storage->getString("auth_token", "none"), QStringLiteral("none"));
    QCOMPARE(storage->getInt("last_read_announcement_id", 0), 0);
    QCOMPARE(storage->getInt("missing", 42), 42);
}

void LocalStorageTest::writesAndRemovalsSignal()
{
    LocalStorage *storage = LocalStorage::instance();
    QSignalSpy spy(storage, &LocalStorage::valueChanged);

    storage->setString("auth_token", "t");
    storage->setBool("vpn_encrypt_enabled", true);
    storage->remove("auth_token");
    storage->remove("never_written");

    QCOMPARE(spy.size(), 4);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("auth_token"));
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("vpn_encrypt_enabled"));
    QCOMPARE(spy.at(2).at(0).toString(), QStringLiteral("auth_token"));
    QCOMPARE(spy.at(3).at(0).toString(), QStringLiteral("never_written"));
    QCOMPARE(storage->getString("auth_token", "gone"), QStringLiteral("gone"));
}

void LocalStorageTest::readsConvert()
{
    LocalStorage *storage = LocalStorage::instance();
    storage->setString("last_read_announcement_id", "17");
    QCOMPARE(storage->getInt("last_read_announcement_id", 0), 17);
    storage->setString("last_read_announcement_id", "not a number");
    QCOMPARE(storage->getInt("last_read_announcement_id", 5), 0);
    storage->setBool("flag", false);
    QCOMPARE(storage->getString("flag"), QStringLiteral("false"));
}

void LocalStorageTest::textsSurviveTheFileAfterExit_data()
{
    QTest::addColumn<QString>("value");

    QTest::newRow("user json")
        << R"({"email":"张三@example.com","id":7,"name":"a, \"b\"; c=d","stats":null})";
    QTest::newRow("config json") << R"({"app_name":{"type":"string","value":"Norvane加速器 #1 [beta]"}})";
    QTest::newRow("backslashes and newline") << "C:\\path\\to\nnext line\t🚀";
    QTest::newRow("leading and trailing blanks") << "  spaced  ";
}

void LocalStorageTest::textsSurviveTheFileAfterExit()
{
    QFETCH(QString, value);

    // The child stores the text and returns from main without an event-loop pass:
    // the store's last sync on the way out must have put it on disk.
    QCOMPARE(StateProbe::run({"set", "user_info", value}), 0);
    QSettings file(StateProbe::settingsPath(), QSettings::IniFormat);
    QCOMPARE(file.value("user_info").toString(), value);
    QCOMPARE(mode(StateProbe::settingsPath()),
             QFile::ReadOwner | QFile::WriteOwner);
}

void LocalStorageTest::permissionsAreTightenedOnAnExistingFolder()
{
    const QString folder = QFileInfo(StateProbe::settingsPath()).absolutePath();
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                              | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                              | QFile::ExeOther));
    QCOMPARE(StateProbe::run({"set", "auth_token", "t"}), 0);
    QCOMPARE(mode(folder),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void LocalStorageTest::writeFailuresAreLoggedExactly_data()
{
    QTest::addColumn<QString>("standing"); // what is at the file's path beforehand
    QTest::addColumn<QString>("command");  // "set": written by the last sync at exit; "write": while running
    QTest::addColumn<bool>("fails");

    QTest::newRow("folder in the way, at exit") << "folder" << "set" << true;
    QTest::newRow("folder in the way, while running") << "folder" << "write" << true;
    QTest::newRow("garbage line, at exit") << "garbage" << "set" << false;
    QTest::newRow("garbage line, while running") << "garbage" << "write" << false;
    QTest::newRow("sound file, while running") << "sound" << "write" << false;
}

void LocalStorageTest::writeFailuresAreLoggedExactly()
{
    QFETCH(QString, standing);
    QFETCH(QString, command);
    QFETCH(bool, fails);

    const QString path = StateProbe::settingsPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile::remove(path);
    QDir(path).removeRecursively();
    const QFile::Permissions folderMode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (standing == "folder") {
        QVERIFY(QDir().mkdir(path));
        QVERIFY(QFile::setPermissions(path, folderMode));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(standing == "garbage" ? "this line is not a setting\n[General]\nkept=1\n" : "[General]\nkept=1\n");
    }

    QByteArray errors;
    QCOMPARE(StateProbe::run({command, "auth_token", "tok-9"}, nullptr, &errors), 0);

    const QString log = QString::fromUtf8(errors);
    QVERIFY2(log.contains("[LocalStorage] 写入存储文件失败:") == fails, qPrintable(log));
    if (fails) {
        // Whatever stands there is the user's: neither replaced nor changed.
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(mode(path), folderMode);
        return;
    }
    QSettings file(path, QSettings::IniFormat);
    QCOMPARE(file.status(), QSettings::NoError);
    QCOMPARE(file.value("auth_token").toString(), QStringLiteral("tok-9"));
    QCOMPARE(file.value("kept").toString(), QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(LocalStorageTest)
#include "tst_localstorage.moc"
