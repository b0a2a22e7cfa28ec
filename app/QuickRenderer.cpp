#include "app/QuickRenderer.h"

#include <QDebug>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace Norvane::App {

void QuickRenderer::choose()
{
    // Qt reads the variable itself, but only when no renderer was asked for in code.
    const QString chosen = qEnvironmentVariable("QT_QUICK_BACKEND");
    if (!chosen.isEmpty()) {
        qDebug().noquote() << "[QuickRenderer] 使用 QT_QUICK_BACKEND 指定的渲染器:" << chosen;
        return;
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    qDebug() << "[QuickRenderer] 使用软件渲染器";
}

} // namespace Norvane::App
