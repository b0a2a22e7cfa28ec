#include "app/QuickRenderer.h"
#include "fakes/FakeApi.h"
#include "fakes/QmlLog.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QtQuickTest>

// Each QML test file gets an engine of its own, and with it a fresh fake "API"; "Log" reads the
// message channel.
class QmlSuiteSetup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        // The program pins the style and picks the renderer at start-up; the pages' looks assume both.
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        Norvane::App::QuickRenderer::choose();
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral(":/qt/qml"));
        engine->rootContext()->setContextProperty(QStringLiteral("API"),
                                                  new Norvane::Testing::FakeApi(engine));
        // Made once the test log is up, so that the capture comes first and hands every message on.
        if (!m_log)
            m_log = new QmlLog(this);
        m_log->clear();
        engine->rootContext()->setContextProperty(QStringLiteral("Log"), m_log);
    }

private:
    QmlLog *m_log = nullptr;
};

int main(int argc, char **argv)
{
    QmlSuiteSetup setup;
    return quick_test_main_with_setup(argc, argv, NORVANE_QML_SUITE, QUICK_TEST_SOURCE_DIR, &setup);
}

#include "QmlSuiteMain.moc"
