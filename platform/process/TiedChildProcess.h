#pragma once

#include <QIODevice>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace Norvane::Platform {

// Starts `process` so that it cannot outlive this process, however this one ends (a crash or
// a kill included). Here the child arms a parent-death signal (SIGKILL) before it runs the
// program (which a program that gains privileges at exec loses); a Windows build puts the started process into a job object that kills its
// processes when its last handle closes, which happens when this process ends.
void startTiedChild(QProcess &process, const QString &program, const QStringList &arguments,
                    QIODevice::OpenMode mode = QIODevice::ReadWrite);

} // namespace Norvane::Platform
