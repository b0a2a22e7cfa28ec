#include "support/PropertyTrace.h"

#include <QDebug>
#include <QMetaProperty>

PropertyTrace::PropertyTrace(QObject *target, const QList<QByteArray> &properties)
    : m_target(target)
{
    const QMetaObject *meta = target->metaObject();
    const QMetaMethod recorder = metaObject()->method(metaObject()->indexOfSlot("record()"));
    for (const QByteArray &name : properties) {
        const QMetaProperty property = meta->property(meta->indexOfProperty(name.constData()));
        if (!property.hasNotifySignal()) {
            qWarning() << "PropertyTrace: no change signal for" << name << "of" << target;
            continue;
        }
        m_propertyOfSignal.insert(property.notifySignalIndex(), property.propertyIndex());
        connect(target, property.notifySignal(), this, recorder);
    }
}

void PropertyTrace::record()
{
    const QMetaProperty property = m_target->metaObject()->property(m_propertyOfSignal.value(senderSignalIndex()));
    m_lines << QString::fromLatin1(property.name()) + QLatin1Char('=') + property.read(m_target).toString();
}
