#pragma once

#include <QPointF>
#include <QString>
#include <QVariant>

class QQuickItem;
class QQuickWindow;

// Drives a QML window the way a user does: items are found by their object name among the
// items on show, and reached only by real mouse and key events at their places.
class QuickWindowDriver
{
public:
    explicit QuickWindowDriver(QQuickWindow *window);

    // The first item on show with that object name, searched depth-first from the window's
    // content; nullptr when none is on show.
    QQuickItem *item(const QString &objectName) const;
    QVariant read(const QString &objectName, const char *property) const;

    // A press and release of the left button at the item's centre, in window coordinates.
    bool click(const QString &objectName) const;
    QPointF centreOf(const QQuickItem *item) const;

private:
    QQuickWindow *m_window;
};
