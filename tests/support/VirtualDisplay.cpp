#include "support/VirtualDisplay.h"

#include "platform/process/TiedChildProcess.h"

#include <QDebug>
#include <QStandardPaths>
#include <QTest>

VirtualDisplay::~VirtualDisplay()
{
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
    }
}

bool VirtualDisplay::start()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) {
        qWarning("install the xvfb package");
        return false;
    }
    // The server picks a free display itself and writes its number to standard output.
    Norvane::Platform::startTiedChild(m_server, program,
                                      {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    const bool announced = QTest::qWaitFor([this]() {
        return m_server.canReadLine() || m_server.state() == QProcess::NotRunning;
    }, 10000);
    const QString number = QString::fromLatin1(m_server.readLine()).trimmed();
    if (!announced || number.isEmpty()) {
        qWarning().noquote() << "Xvfb did not start:" << m_server.readAllStandardError();
        return false;
    }
    m_name = QLatin1Char(':') + number;
    return true;
}

bool VirtualDisplay::click(int x, int y) const
{
    QProcess xdotool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_name);
    xdotool.setProcessEnvironment(environment);
    xdotool.start(QStringLiteral("xdotool"),
                  {"mousemove", QString::number(x), QString::number(y), "click", "1"});
    if (!xdotool.waitForFinished(5000) || xdotool.exitCode() != 0) {
        qWarning().noquote() << "xdotool failed:" << xdotool.errorString() << xdotool.readAllStandardError();
        return false;
    }
    return true;
}
