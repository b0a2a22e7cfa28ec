#include "support/QuickWindowDriver.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

namespace {

QQuickItem *findShown(QQuickItem *root, const std::function<bool(const QQuickItem *)> &test)
{
    if (!root->isVisible())
        return nullptr;
    if (test(root))
        return root;
    const QList<QQuickItem *> children = root->childItems();
    for (QQuickItem *child : children) {
        if (QQuickItem *found = findShown(child, test))
            return found;
    }
    return nullptr;
}

} // namespace

QuickWindowDriver::QuickWindowDriver(QQuickWindow *window)
    : m_window(window)
{
}

QQuickItem *QuickWindowDriver::find(const std::function<bool(const QQuickItem *)> &test) const
{
    return findShown(m_window->contentItem(), test);
}

QQuickItem *QuickWindowDriver::item(const QString &objectName) const
{
    return find([&objectName](const QQuickItem *item) { return item->objectName() == objectName; });
}

QQuickItem *QuickWindowDriver::itemShowing(const QString &text) const
{
    return find([&text](const QQuickItem *item) {
        const QVariant shown = item->property("text");
        return shown.isValid() && shown.toString() == text;
    });
}

QQuickItem *QuickWindowDriver::itemOfClass(const char *className) const
{
    return find([className](const QQuickItem *item) { return item->inherits(className); });
}

QVariant QuickWindowDriver::read(const QString &objectName, const char *property) const
{
    QQuickItem *found = item(objectName);
    return found ? found->property(property) : QVariant();
}

bool QuickWindowDriver::click(const QString &objectName) const
{
    return clickCentreOf(item(objectName), objectName);
}

bool QuickWindowDriver::clickText(const QString &text) const
{
    return clickCentreOf(itemShowing(text), text);
}

bool QuickWindowDriver::clickCentreOf(const QQuickItem *item, const QString &description) const
{
    if (!item) {
        qWarning().noquote() << "nothing on show is" << description;
        return false;
    }
    const QPoint centre = centreOf(item).toPoint();
    if (!QRect(QPoint(0, 0), m_window->size()).contains(centre)) {
        qWarning().noquote() << description << "lies outside the window, at" << centre;
        return false;
    }
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre);
    return true;
}

QPointF QuickWindowDriver::centreOf(const QQuickItem *item) const
{
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
}

void QuickWindowDriver::typeKeys(const QString &text) const
{
    for (const QChar character : text)
        QTest::keyClick(m_window, character.toLatin1());
}

bool QuickWindowDriver::typeInto(const QString &objectName, const QString &text) const
{
    if (!click(objectName))
        return false;
    QQuickItem *field = item(objectName);
    if (!QTest::qWaitFor([field]() { return field->hasActiveFocus(); }, 5000)) {
        qWarning().noquote() << objectName << "did not take the focus";
        return false;
    }
    typeKeys(text);
    const QString typed = field->property("text").toString();
    if (typed != text) {
        qWarning().noquote() << objectName << "holds" << typed << "instead of" << text;
        return false;
    }
    return true;
}
