// A scripted stand-in for the proxy core. Tests install it as <resources>/x32/xray.exe.
//   version                 prints a version line; hangs when NORVANE_FAKE_CORE_VERSION is "hang"
//   run -c PATH --disable-color
//                           runs the script named by NORVANE_FAKE_CORE_SCRIPT, then stays up
//                           until killed
// Script lines: "stdout TEXT", "stderr TEXT" (\n and \t are unescaped, no line break added),
// "sleep MS", "await PATH" (waits until the file PATH exists: the test says when),
// "exit CODE", "crash" (dies by a signal). Every start appends
// "PID|ARG|ARG..." to the file named by NORVANE_FAKE_CORE_LOG.
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void stayUp()
{
    for (;;)
        QThread::sleep(1);
}

void record(const QStringList &arguments)
{
    const QString path = qEnvironmentVariable("NORVANE_FAKE_CORE_LOG");
    if (path.isEmpty())
        return;
    QFile log(path);
    if (log.open(QIODevice::Append)) {
        const QStringList fields = QStringList{QString::number(QCoreApplication::applicationPid())} + arguments;
        log.write(fields.join(QLatin1Char('|')).toUtf8() + '\n');
    }
}

void write(FILE *stream, QString text)
{
    text.replace(QLatin1String("\\n"), QLatin1String("\n")).replace(QLatin1String("\\t"), QLatin1String("\t"));
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

[[noreturn]] void crash()
{
#ifdef SIGKILL
    std::raise(SIGKILL);
#endif
    std::abort();
}

int runScript()
{
    const QString path = qEnvironmentVariable("NORVANE_FAKE_CORE_SCRIPT");
    QFile script(path);
    if (!path.isEmpty() && !script.open(QIODevice::ReadOnly)) {
        write(stderr, QStringLiteral("FATAL: cannot read the script %1\n").arg(path));
        return 3;
    }
    while (script.isOpen() && !script.atEnd()) {
        const QString line = QString::fromUtf8(script.readLine()).remove(QLatin1Char('\n'));
        const QString command = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.section(QLatin1Char(' '), 1);
        if (command == QLatin1String("stdout"))
            write(stdout, rest);
        else if (command == QLatin1String("stderr"))
            write(stderr, rest);
        else if (command == QLatin1String("sleep"))
            QThread::msleep(rest.toULong());
        else if (command == QLatin1String("await"))
            while (!QFile::exists(rest))
                QThread::msleep(5);
        else if (command == QLatin1String("exit"))
            return rest.toInt();
        else if (command == QLatin1String("crash"))
            crash();
    }
    stayUp();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    record(arguments);

    if (arguments == QStringList{QStringLiteral("version")}) {
        if (qEnvironmentVariable("NORVANE_FAKE_CORE_VERSION") == QLatin1String("hang"))
            stayUp();
        write(stdout, QStringLiteral("Xray 1.8.4 (norvane fake core)\n"));
        return 0;
    }
    if (arguments.size() == 4 && arguments[0] == QLatin1String("run") && arguments[1] == QLatin1String("-c")
        && arguments[3] == QLatin1String("--disable-color"))
        return runScript();

    write(stderr, QStringLiteral("usage: xray.exe version | run -c PATH --disable-color\n"));
    return 2;
}
