#include "fakes/FakeApi.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QtQuickTest>

// Each QML test file gets an engine of its own, and with it a fresh fake "API".
class QmlShellSetup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        // The program pins the style at start-up; the dialog's looks assume it.
        QQuickStyle::setStyle(QStringLiteral("Basic"));
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral(":/qt/qml"));
        engine->rootContext()->setContextProperty(QStringLiteral("API"),
                                                  new Norvane::Testing::FakeApi(engine));
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_qmlshell, QmlShellSetup)

#include "tst_qmlshell.moc"
