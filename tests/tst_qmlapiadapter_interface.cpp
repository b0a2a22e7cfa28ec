#include "api/bridge/QmlApiAdapter.h"
#include "fakes/FakeQmlApiAdapter.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <QTest>

using Norvane::Api::QmlApiAdapter;
using Norvane::Testing::FakeQmlApiAdapter;

namespace {

// "name(type,type) -> result [names]" of each method of one kind declared by the class itself.
QStringList methods(const QMetaObject &meta, QMetaMethod::MethodType type)
{
    QStringList list;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() != type || method.access() != QMetaMethod::Public)
            continue;
        QStringList names;
        for (const QByteArray &name : method.parameterNames())
            names << QString::fromLatin1(name);
        list << QStringLiteral("%1 -> %2 [%3]")
                    .arg(QString::fromLatin1(method.methodSignature()), QString::fromLatin1(method.typeName()),
                         names.join(QLatin1Char(',')));
    }
    return list;
}

QStringList properties(const QMetaObject &meta)
{
    QStringList list;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        list << QStringLiteral("%1 %2 writable=%3 notify=%4")
                    .arg(QString::fromLatin1(property.typeName()), QString::fromLatin1(property.name()))
                    .arg(property.isWritable())
                    .arg(QString::fromLatin1(property.notifySignal().name()));
    }
    return list;
}

} // namespace

// The QML is tested against the fake; this holds the fake to the real adapter's interface.
class QmlApiAdapterInterfaceTest : public QObject
{
    Q_OBJECT

private slots:
    void matchesTheFake_data();
    void matchesTheFake();
    void defaultArgumentsAreSeparateOverloads();
};

void QmlApiAdapterInterfaceTest::matchesTheFake_data()
{
    QTest::addColumn<QStringList>("real");
    QTest::addColumn<QStringList>("fake");
    const QMetaObject &real = QmlApiAdapter::staticMetaObject;
    const QMetaObject &fake = FakeQmlApiAdapter::staticMetaObject;
    QTest::newRow("properties") << properties(real) << properties(fake);
    QTest::newRow("signals") << methods(real, QMetaMethod::Signal) << methods(fake, QMetaMethod::Signal);
    QTest::newRow("invokables") << methods(real, QMetaMethod::Method) << methods(fake, QMetaMethod::Method);
    QTest::newRow("slots") << methods(real, QMetaMethod::Slot) << methods(fake, QMetaMethod::Slot);
}

void QmlApiAdapterInterfaceTest::matchesTheFake()
{
    QFETCH(QStringList, real);
    QFETCH(QStringList, fake);
    QCOMPARE(real, fake);
}

void QmlApiAdapterInterfaceTest::defaultArgumentsAreSeparateOverloads()
{
    const QMetaObject &meta = QmlApiAdapter::staticMetaObject;
    QVERIFY(meta.indexOfMethod("getServers()") >= 0);
    QVERIFY(meta.indexOfMethod("getServers(QString)") >= 0);
    QVERIFY(meta.indexOfMethod("registerUser(QString,QString,QString)") >= 0);
    QVERIFY(meta.indexOfMethod("registerUser(QString,QString,QString,QString)") >= 0);
    QCOMPARE(methods(meta, QMetaMethod::Signal).size(), 37);
    QCOMPARE(properties(meta).size(), 8);
}

QTEST_GUILESS_MAIN(QmlApiAdapterInterfaceTest)
#include "tst_qmlapiadapter_interface.moc"
