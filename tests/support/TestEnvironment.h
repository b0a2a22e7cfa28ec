#pragma once

#include <QProcessEnvironment>
#include <QString>

// Keeps a test process and the children it starts away from the user's real files:
// a private home folder and Qt's test locations.
class TestEnvironment
{
public:
    static void isolate();
    static QString home();
    static QString appDataFolder();
    static QString helperPath(const QString &name);
    static QProcessEnvironment childEnvironment();
};
