#pragma once

#include <QString>
#include <QVariant>

#include <memory>

class QObject;
class QQmlApplicationEngine;
class QQuickWindow;

// The client's window as the program puts it together, for the end-to-end suites: the Basic
// style, the bridge published as "API", the compiled modules' import path and App.qml from the
// resources. The bridge must outlive it.
class ClientWindow
{
public:
    ClientWindow();
    ~ClientWindow();

    // The shown window, or nullptr (with a warning) when it did not load or show.
    QQuickWindow *load(QObject *api);
    QQuickWindow *window() const;

    // Evaluated in the window's own scope, where its ids (stackView, messageDialog) are known.
    QVariant evaluate(const QString &expression) const;

    // Saves the window as that file in NORVANE_SCREENSHOT_DIR when it is set; false only when
    // the picture could not be saved.
    bool shoot(const QString &name) const;

private:
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
};
