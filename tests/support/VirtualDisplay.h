#pragma once

#include <QProcess>
#include <QString>

// An X server of the test's own (Xvfb, without a window manager, so a program's window sits at
// the screen's top left corner) and a mouse on it (xdotool), for programs that must be driven by
// real input events from outside their process.
class VirtualDisplay
{
public:
    VirtualDisplay() = default;
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;

    // False, with a warning, when the server does not come up.
    bool start();
    // As DISPLAY takes it, ":N".
    QString name() const { return m_name; }
    // A left click at the screen's coordinates.
    bool click(int x, int y) const;

private:
    QProcess m_server;
    QString m_name;
};
