#include "app/QuickRenderer.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    Norvane::App::QuickRenderer::choose();
    QQmlApplicationEngine engine;
    const bool pulse = app.arguments().contains(QStringLiteral("--pulse"));
    engine.load(QUrl(pulse ? QStringLiteral("qrc:/BareQuickWindow/Pulse.qml") : QStringLiteral("qrc:/BareQuickWindow/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return -1;
    return app.exec();
}
