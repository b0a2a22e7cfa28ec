#pragma once

#include <QString>
#include <QVariant>

#include <memory>

class QQmlApplicationEngine;
class QQuickWindow;
class QuickWindowDriver;

namespace Norvane::Api {
class QmlApiAdapter;
}

// The client's window put together as the program's start-up does: the real bridge published
// as "API" and App.qml loaded from the compiled resources.
class ClientWindow
{
public:
    ClientWindow();
    ~ClientWindow();

    // Loads the window and waits until it is shown; false when it could not be.
    bool open();

    Norvane::Api::QmlApiAdapter *api() const { return m_api.get(); }
    QQuickWindow *window() const { return m_window; }
    const QuickWindowDriver &driver() const { return *m_driver; }

    // Evaluated in the window's own scope, where its ids (stackView, messageDialog) are known.
    QVariant evaluate(const QString &expression) const;
    // Waits up to 5 s until the page stack rests with a page of that QML type on top: the home
    // page is the stack's own item, every other page sits first in its page item.
    bool waitForPage(const QString &type) const;
    // With NORVANE_SCREENSHOT_DIR set, saves the window there under the name; true otherwise.
    bool shoot(const QString &name) const;

private:
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    std::unique_ptr<Norvane::Api::QmlApiAdapter> m_api;
    QQuickWindow *m_window = nullptr;
    std::unique_ptr<QuickWindowDriver> m_driver;
};
