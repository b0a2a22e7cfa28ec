#include "support/TestEnvironment.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

QTemporaryDir &homeDir()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

void TestEnvironment::isolate()
{
    qputenv("HOME", homeDir().path().toLocal8Bit());
    // The client's short-lived files then lie in a folder under the suite's own TMPDIR.
    qunsetenv("XDG_RUNTIME_DIR");
    QStandardPaths::setTestModeEnabled(true);
}

QString TestEnvironment::home()
{
    return homeDir().path();
}

QString TestEnvironment::appDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString TestEnvironment::helperPath(const QString &name)
{
    return QStringLiteral(NORVANE_HELPER_DIR "/") + name;
}

QProcessEnvironment TestEnvironment::childEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home());
    return environment;
}
