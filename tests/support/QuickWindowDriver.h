#pragma once

#include <QPointF>
#include <QString>
#include <QVariant>

#include <functional>

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
    // The first item on show whose "text" is exactly that text, as a user finds a label.
    QQuickItem *itemShowing(const QString &text) const;
    // The first item on show that is of that class or derives from it (for example "QQuickImage").
    QQuickItem *itemOfClass(const char *className) const;

    // A press and release of the left button at the centre of the item with that object name,
    // or of the item showing that text; false, with a warning, when there is none on show or its
    // centre lies outside the window.
    bool click(const QString &objectName) const;
    bool clickText(const QString &text) const;
    QPointF centreOf(const QQuickItem *item) const;

    // One key press per character, to whichever item has the focus; the texts are ASCII.
    void typeKeys(const QString &text) const;
    // Clicks the field, waits for its focus and types the text; true when the field then holds it.
    bool typeInto(const QString &objectName, const QString &text) const;

private:
    QQuickItem *find(const std::function<bool(const QQuickItem *)> &test) const;
    bool clickCentreOf(const QQuickItem *item, const QString &description) const;

    QQuickWindow *m_window;
};
