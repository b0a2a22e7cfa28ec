#include "api/bridge/QmlApiAdapter.h"
#include "api/network/HttpClient.h"
#include "api/services/ApiManager.h"
#include "api/vpn/CrashRecovery.h"
#include "app/QuickRenderer.h"
#include "app/SingleInstance.h"
#include "platform/process/TerminationRequest.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickStyle>
#include <QUrl>
#include <QWindow>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    // A second start of the same user only shows the running client's window: its repair below
    // would end the running client's core and take its proxy away.
    Norvane::App::SingleInstance instance(Norvane::App::SingleInstance::lockFilePathForThisUser());
    if (!instance.claim())
        return 0;
    // A session that ends the program (a log-off, a service manager, Ctrl+C) takes the road of
    // closing the window: disconnect, the user's proxy back, the farewell beat.
    Norvane::Platform::onTerminationRequest(&app, [](const QString &request) {
        qDebug() << "收到结束请求:" << request << ", 关闭窗口并退出";
        const QWindowList windows = QGuiApplication::topLevelWindows();
        for (QWindow *window : windows)
            window->close();
        QCoreApplication::quit();
    });

    // A client that crashed while connected left its core, the core's configuration file and
    // the system proxy pointing at the core behind. A start without the lock may run beside a
    // client of the user that it could not reach, whose core and proxy these are.
    if (instance.mayRepair())
        Norvane::Api::Vpn::CrashRecovery::run();
    else
        qWarning() << "[SingleInstance] 本用户的另一个客户端正在运行, 跳过崩溃修复";

    Norvane::Api::ApiManager::instance()->initialize([](bool success) {
        if (success)
            qDebug() << "API模块初始化成功";
        else
            qCritical() << "API模块初始化失败";
    });

    // The screens are drawn for the basic style; a platform style must not restyle them.
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    Norvane::App::QuickRenderer::choose();
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

    instance.setWindow(qobject_cast<QWindow *>(engine.rootObjects().constFirst()));
    qDebug() << "应用程序启动成功！";
    const int result = app.exec();
    // The farewell beat, sent as the window closed, is still on its way.
    Norvane::Api::Network::HttpClient::instance()->finishOpenRequests();
    return result;
}
