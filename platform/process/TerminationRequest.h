#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace Norvane::Platform {

// Calls `handler` from the event loop, with the request's name for the log, whenever the
// session asks this program to end: here SIGTERM (a log-off, a service manager), SIGINT
// (Ctrl+C) and SIGHUP (the terminal closed); a Windows build answers the console's close event
// and the log-off and shut-down messages. Without it those end the program at once, with the
// system proxy still pointing at the proxy core. Call once, from the main thread; a request that
// comes before the event loop runs waits for it. The handler lives as long as `context`.
void onTerminationRequest(QObject *context, std::function<void(const QString &request)> handler);

} // namespace Norvane::Platform
