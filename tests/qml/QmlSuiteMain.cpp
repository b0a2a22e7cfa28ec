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
        // The program pins the style at start-up; the pages' looks assume it.
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        m_log = new QmlLog(this);
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral(":/qt/qml"));
        engine->rootContext()->setContextProperty(QStringLiteral("API"),
                                                  new Norvane::Testing::FakeApi(engine));
        // A file starts without the messages of the files before it. The first file's engine
        // comes before the test library's logging has started, which a capture must follow.
        if (m_engines++ > 0)
            m_log->clear();
        engine->rootContext()->setContextProperty(QStringLiteral("Log"), m_log);
    }

    // The capture hands the channel back while the test library's logging still runs.
    void cleanupTestCase()
    {
        delete m_log;
        m_log = nullptr;
    }

private:
    QmlLog *m_log = nullptr;
    int m_engines = 0;
};

int main(int argc, char **argv)
{
    QmlSuiteSetup setup;
    return quick_test_main_with_setup(argc, argv, NORVANE_QML_SUITE, QUICK_TEST_SOURCE_DIR, &setup);
}

#include "QmlSuiteMain.moc"
