#include "support/ClientWindow.h"

#include <QDir>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>

ClientWindow::ClientWindow() = default;

ClientWindow::~ClientWindow() = default;

QQuickWindow *ClientWindow::load(QObject *api)
{
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_engine->rootContext()->setContextProperty(QStringLiteral("API"), api);
    m_engine->addImportPath(QStringLiteral(":/qt/qml"));
    m_engine->load(QUrl(QStringLiteral("qrc:/qt/qml/UntitledProject1Content/App.qml")));
    if (m_engine->rootObjects().size() != 1) {
        qWarning() << "App.qml gave" << m_engine->rootObjects().size() << "root objects";
        return nullptr;
    }
    m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
    if (!m_window || !QTest::qWaitForWindowExposed(m_window)) {
        qWarning() << "the window did not show";
        m_window = nullptr;
    }
    return m_window;
}

QQuickWindow *ClientWindow::window() const
{
    return m_window;
}

QVariant ClientWindow::evaluate(const QString &expression) const
{
    QQmlExpression qml(qmlContext(m_window), m_window, expression);
    const QVariant value = qml.evaluate();
    if (qml.hasError())
        qWarning().noquote() << qml.error().toString();
    return value;
}

bool ClientWindow::shoot(const QString &name) const
{
    const QString shots = qEnvironmentVariable("NORVANE_SCREENSHOT_DIR");
    if (shots.isEmpty())
        return true;
    const QString path = QDir(shots).filePath(name);
    if (!QDir().mkpath(shots) || !m_window->grabWindow().save(path)) {
        qWarning().noquote() << "could not save" << path;
        return false;
    }
    qInfo().noquote() << "saved" << path;
    return true;
}
