#include "support/ClientWindow.h"

#include "api/bridge/QmlApiAdapter.h"
#include "app/QuickRenderer.h"
#include "support/QuickWindowDriver.h"

#include <QDir>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>

ClientWindow::ClientWindow() = default;

ClientWindow::~ClientWindow()
{
    m_driver.reset();
    m_engine.reset();
    m_api.reset();
}

bool ClientWindow::open()
{
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    Norvane::App::QuickRenderer::choose();
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_api = std::make_unique<Norvane::Api::QmlApiAdapter>();
    m_engine->rootContext()->setContextProperty(QStringLiteral("API"), m_api.get());
    m_engine->addImportPath(QStringLiteral(":/qt/qml"));
    m_engine->load(QUrl(QStringLiteral("qrc:/qt/qml/UntitledProject1Content/App.qml")));
    if (m_engine->rootObjects().size() != 1)
        return false;
    m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
    if (!m_window || !QTest::qWaitForWindowExposed(m_window))
        return false;
    m_driver = std::make_unique<QuickWindowDriver>(m_window);
    return true;
}

QVariant ClientWindow::evaluate(const QString &expression) const
{
    QQmlExpression qml(qmlContext(m_window), m_window, expression);
    const QVariant value = qml.evaluate();
    if (qml.hasError())
        qWarning().noquote() << qml.error().toString();
    return value;
}

bool ClientWindow::waitForPage(const QString &type) const
{
    const QString test = QStringLiteral("!stackView.busy && (stackView.currentItem instanceof %1"
                                        " || stackView.currentItem.children[0] instanceof %1)").arg(type);
    return QTest::qWaitFor([&]() { return evaluate(test).toBool(); }, 5000);
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
