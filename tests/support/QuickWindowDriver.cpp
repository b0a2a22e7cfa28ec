#include "support/QuickWindowDriver.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

namespace {

QQuickItem *findShown(QQuickItem *root, const QString &objectName)
{
    if (!root->isVisible())
        return nullptr;
    if (root->objectName() == objectName)
        return root;
    const QList<QQuickItem *> children = root->childItems();
    for (QQuickItem *child : children) {
        if (QQuickItem *found = findShown(child, objectName))
            return found;
    }
    return nullptr;
}

} // namespace

QuickWindowDriver::QuickWindowDriver(QQuickWindow *window)
    : m_window(window)
{
}

QQuickItem *QuickWindowDriver::item(const QString &objectName) const
{
    return findShown(m_window->contentItem(), objectName);
}

QVariant QuickWindowDriver::read(const QString &objectName, const char *property) const
{
    QQuickItem *found = item(objectName);
    return found ? found->property(property) : QVariant();
}

bool QuickWindowDriver::click(const QString &objectName) const
{
    QQuickItem *found = item(objectName);
    if (!found) {
        qWarning().noquote() << "no item on show is called" << objectName;
        return false;
    }
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centreOf(found).toPoint());
    return true;
}

QPointF QuickWindowDriver::centreOf(const QQuickItem *item) const
{
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
}
