#pragma once

#include <QList>
#include <QString>

// The proxy core that ships beside the test programs, and the processes running it: the
// stand-in becomes v2ray and keeps its argv[0].
QString proxyCorePath();
// With a parent given, only that parent's children.
QList<qint64> proxyCoreProcessIds(qint64 parent = 0);
// Alive and not yet a zombie (a zombie has an empty command line).
bool isProcessAlive(qint64 pid);
