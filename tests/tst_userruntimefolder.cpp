#include "platform/files/UserRuntimeFolder.h"
#include "support/UnprivilegedUser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using Norvane::Platform::userRuntimeFolder;

namespace {

enum class Setup {
    Nothing,
    OwnFolder,
    OwnFolderOpenToOthers,
    LinkToOwnFolder,
    AnotherUsersFolder,
    FileInItsPlace,
};

enum class Session {
    Unset,
    Private,
    OpenToOthers,
    AnotherUsers,
    Relative,
};

} // namespace

Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Session)

// The folder of the client's short-lived files lies in a temporary folder that every user of
// the machine may write: what stands at its name is never taken on trust.
class UserRuntimeFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void choosesAFolderOfTheUsersOwn_data();
    void choosesAFolderOfTheUsersOwn();

private:
    QString fallback() const { return m_shared->filePath(QStringLiteral("norvane-%1").arg(::geteuid())); }
    QString session() const { return m_shared->filePath(QStringLiteral("session")); }

    QString m_base;
    std::unique_ptr<QTemporaryDir> m_shared;
};

void UserRuntimeFolderTest::initTestCase()
{
    m_base = QDir::tempPath();
}

void UserRuntimeFolderTest::init()
{
    m_shared = std::make_unique<QTemporaryDir>(m_base + QStringLiteral("/tst_userruntimefolder-XXXXXX"));
    QVERIFY(m_shared->isValid());
    QCOMPARE(::chmod(QFile::encodeName(m_shared->path()).constData(), 01777), 0);
    qputenv("TMPDIR", m_shared->path().toLocal8Bit());
    qunsetenv("XDG_RUNTIME_DIR");
}

void UserRuntimeFolderTest::cleanup()
{
    // A folder given to another user is still removable by its parent's owner once emptied.
    m_shared.reset();
}

void UserRuntimeFolderTest::choosesAFolderOfTheUsersOwn_data()
{
    QTest::addColumn<Session>("sessionFolder");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<QString>("errorPart");

    QTest::newRow("nothing there yet: made") << Session::Unset << Setup::Nothing << true << QString();
    QTest::newRow("the user's own from before") << Session::Unset << Setup::OwnFolder << true << QString();
    QTest::newRow("the user's own, open to others: closed") << Session::Unset << Setup::OwnFolderOpenToOthers
                                                             << true << QString();
    QTest::newRow("a link to a folder of the user's") << Session::Unset << Setup::LinkToOwnFolder << false
                                                      << QStringLiteral("is a link, not a folder");
    QTest::newRow("another user's folder under the name") << Session::Unset << Setup::AnotherUsersFolder << false
                                                          << QStringLiteral("belongs to another user (uid 65533)");
    QTest::newRow("a file under the name") << Session::Unset << Setup::FileInItsPlace << false
                                           << QStringLiteral("is not a folder");
    QTest::newRow("the session's private folder") << Session::Private << Setup::AnotherUsersFolder << true
                                                  << QString();
    QTest::newRow("a session folder open to others is passed by") << Session::OpenToOthers << Setup::Nothing
                                                                  << true << QString();
    QTest::newRow("another user's session folder is passed by") << Session::AnotherUsers << Setup::Nothing
                                                                << true << QString();
    QTest::newRow("a relative session folder is passed by") << Session::Relative << Setup::Nothing << true
                                                            << QString();
}

void UserRuntimeFolderTest::choosesAFolderOfTheUsersOwn()
{
    QFETCH(Session, sessionFolder);
    QFETCH(Setup, setup);
    QFETCH(bool, usable);
    QFETCH(QString, errorPart);

    const bool needsAnotherUser = setup == Setup::AnotherUsersFolder || sessionFolder == Session::AnotherUsers;
    if (needsAnotherUser && !UnprivilegedUser::unavailableReason().isEmpty())
        QSKIP(qPrintable(UnprivilegedUser::unavailableReason()));

    const QByteArray name = QFile::encodeName(fallback());
    const QString elsewhere = m_shared->filePath(QStringLiteral("elsewhere"));
    switch (setup) {
    case Setup::Nothing:
        break;
    case Setup::OwnFolder:
        QCOMPARE(::mkdir(name.constData(), 0700), 0);
        break;
    case Setup::OwnFolderOpenToOthers:
        QCOMPARE(::mkdir(name.constData(), 0700), 0);
        QCOMPARE(::chmod(name.constData(), 0777), 0);
        break;
    case Setup::LinkToOwnFolder:
        QCOMPARE(::mkdir(QFile::encodeName(elsewhere).constData(), 0700), 0);
        QVERIFY(QFile::link(elsewhere, fallback()));
        break;
    case Setup::AnotherUsersFolder:
        QCOMPARE(::mkdir(name.constData(), 0700), 0);
        QVERIFY(UnprivilegedUser::give(fallback(), UnprivilegedUser::kOtherUid));
        break;
    case Setup::FileInItsPlace: {
        QFile file(fallback());
        QVERIFY(file.open(QIODevice::WriteOnly));
        break;
    }
    }

    QString expected = fallback();
    switch (sessionFolder) {
    case Session::Unset:
        break;
    case Session::Private:
        QVERIFY(QDir().mkdir(session(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", session().toLocal8Bit());
        expected = session();
        break;
    case Session::OpenToOthers:
        QVERIFY(QDir().mkdir(session()));
        QCOMPARE(::chmod(QFile::encodeName(session()).constData(), 0755), 0);
        qputenv("XDG_RUNTIME_DIR", session().toLocal8Bit());
        break;
    case Session::AnotherUsers:
        QVERIFY(QDir().mkdir(session(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(UnprivilegedUser::give(session(), UnprivilegedUser::kOtherUid));
        qputenv("XDG_RUNTIME_DIR", session().toLocal8Bit());
        break;
    case Session::Relative:
        qputenv("XDG_RUNTIME_DIR", "run/user");
        break;
    }

    QString error;
    const QString folder = userRuntimeFolder(&error);
    if (!usable) {
        QCOMPARE(folder, QString());
        QVERIFY2(error.contains(errorPart), qPrintable(error));
        QVERIFY2(error.contains(fallback()), qPrintable(error));
        // What stands there is left as it was: it is not the user's to change.
        if (setup == Setup::LinkToOwnFolder)
            QCOMPARE(QFileInfo(fallback()).symLinkTarget(), elsewhere);
        return;
    }
    QCOMPARE(folder, expected);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    struct stat status {};
    QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &status), 0);
    QVERIFY(S_ISDIR(status.st_mode));
    QCOMPARE(status.st_uid, ::geteuid());
    QCOMPARE(status.st_mode & 07777, mode_t(0700));
    // Asked again, the same folder.
    QCOMPARE(userRuntimeFolder(&error), expected);
}

QTEST_GUILESS_MAIN(UserRuntimeFolderTest)
#include "tst_userruntimefolder.moc"
