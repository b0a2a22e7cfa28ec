#pragma once

#include "app/ShowRequestServer.h"

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>

class QWindow;

namespace Norvane::App {

// One running client per user. The running client holds a lock file in the user's data folder
// and listens on a local socket in a folder of the user's own; a later start that reaches it
// there asks it to show its window and ends before it repairs, writes or starts anything. A
// lock whose holder cannot be shown to be a live client of this machine (its process gone, an
// unreadable lock, another machine's, another program's) is taken over.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The lock of the user's client lies in the user's data folder, beside the settings file.
    static QString lockFilePathForThisUser();

    explicit SingleInstance(const QString &lockFilePath, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the user's running client from now on. False when another one
    // runs; it has then been asked to show its window, or could not be reached.
    bool claim();
    // Whether start-up may put right what a crashed client left: not while another client of
    // the user runs, which a start without the lock cannot rule out otherwise.
    bool mayRepair() const { return m_mayRepair; }
    // The window that a later start's request shows, raises and activates.
    void setWindow(QWindow *window);

    // The socket's file; empty when the user has no folder of its own for it.
    QString socketPath() const { return m_socketPath; }
    ShowRequestServer &server() { return m_server; }

private:
    struct Holder;
    enum class TakeOver {
        Removed,
        // The lock changed meanwhile, or another start is taking it over: look again.
        Changed,
        // A living process still holds it.
        Held,
        // The folder lets no lock be made or removed.
        Impossible,
    };

    static QString socketName(const QString &lockFilePath);
    Holder readHolder() const;
    // True when a running client answered the request to show its window.
    bool handOver(int replyWaitMs, QString *error) const;
    TakeOver takeOver(const Holder &holder);
    void logTakeOver(const Holder &holder) const;
    void goOnWithoutLock();
    void serve();
    void showWindow();

    QLockFile m_lock;
    QString m_socketPath;
    ShowRequestServer m_server;
    QPointer<QWindow> m_window;
    bool m_mayRepair = true;
};

} // namespace Norvane::App
