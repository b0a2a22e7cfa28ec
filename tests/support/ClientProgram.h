#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

class UnprivilegedUser;

// Runs the client program (or a build of its start-up, or a probe that plays it) as a user
// starts it: offscreen, with its settings under `dataHome`, `tempFolder` as its temporary
// folder, and a back end that refuses every connection.
class ClientProgram
{
public:
    static QProcessEnvironment environment(const QString &dataHome, const QString &tempFolder);
    // Standard output and error merged.
    static void start(QProcess &program, const QString &name, const QString &dataHome, const QString &tempFolder,
                      const QStringList &arguments = {});
    // The same as `user`, with the user's data folder and the shared temporary folder.
    static void startAs(const UnprivilegedUser &user, QProcess &program, const QString &name,
                        const QStringList &arguments = {});
    // Everything the program printed until the line appeared, or until it ended or 20 s passed.
    static QString waitForLine(QProcess &program, const QString &line);
};
