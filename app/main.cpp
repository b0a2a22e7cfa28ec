#include "api/bridge/QmlApiAdapter.h"
#include "api/services/ApiManager.h"
#include "api/vpn/CrashRecovery.h"
#include "app/QuickRenderer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickStyle>
#include <QUrl>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    // A client that crashed while connected left its core, the core's configuration file and
    // the system proxy pointing at the core behind.
    Norvane::Api::Vpn::CrashRecovery::run();

    Norvane::Api::ApiManager::instance()->initialize([](bool success) {
        if (success)
            qDebug() << "API模块初始化成功";
        else
            qCritical() << "API模块初始化失败";
    });

    // The screens are drawn for the basic style; a platform style must not restyle them.
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    Norvane::Shell::QuickRenderer::choose();
    QQmlApplicationEngine engine;

    auto *api = new Norvane::Api::QmlApiAdapter(&app);
    engine.rootContext()->setContextProperty(QStringLiteral("API"), api);

    engine.addImportPath(QCoreApplication::applicationDirPath() + QStringLiteral("/qml"));
    engine.addImportPath(QStringLiteral(":/qt/qml"));
    engine.addImportPath(QStringLiteral(":/"));
    qDebug() << "应用程序目录:" << QCoreApplication::applicationDirPath();
    qDebug() << "导入路径:" << engine.importPathList();

    QUrl url(QStringLiteral("qrc:/qt/qml/UntitledProject1Content/App.qml"));
    qDebug() << "尝试加载URL:" << url;
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &app,
        [url](const QUrl &) {
            qDebug() << "加载失败:" << url;
            qDebug() << "尝试备用路径...";
        },
        Qt::QueuedConnection);
    engine.load(url);

    if (engine.rootObjects().isEmpty()) {
        qDebug() << "第一种方式失败，尝试直接路径...";
        url = QUrl(QStringLiteral("qrc:/UntitledProject1Content/App.qml"));
        qDebug() << "尝试加载URL:" << url;
        engine.load(url);
    }
    if (engine.rootObjects().isEmpty()) {
        qDebug() << "所有加载方式都失败了";
        return -1;
    }

    qDebug() << "应用程序启动成功！";
    return app.exec();
}
