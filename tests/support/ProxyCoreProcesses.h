#pragma once

#include <QList>
#include <QString>

// The proxy core that ships beside the test programs, and the processes running it: the
// stand-in becomes v2ray and keeps its argv[0].
QString proxyCorePath();
QList<qint64> proxyCoreProcessIds();
