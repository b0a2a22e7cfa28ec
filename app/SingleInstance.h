#pragma once

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWindow;

namespace Norvane::App {

// One running client per user. The running client holds a lock file in the user's data folder
// and listens on a local socket; a later start finds the lock, asks the running client to show
// its window and ends before it repairs, writes or starts anything. A lock whose process is
// gone (a crash, a kill) is recognised as stale and taken over.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The lock of the user's client lies in the user's data folder, beside the settings file.
    static QString lockFilePathForThisUser();

    explicit SingleInstance(const QString &lockFilePath, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the user's running client from now on. False when another one
    // runs; it has then been asked to show its window.
    bool claim();
    // The window that a later start's request shows, raises and activates.
    void setWindow(QWindow *window);

private:
    static QString serverName(const QString &lockFilePath);
    void askRunningClientToShow();
    void onRequest();
    void showWindow();

    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
    QPointer<QWindow> m_window;
};

} // namespace Norvane::App
