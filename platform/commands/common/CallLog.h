#pragma once

#include <QString>
#include <QStringList>

namespace Norvane::Platform::Commands {

// The record of every stand-in call: one JSON object a line with the program, its arguments
// and the process id, appended before the call does anything else.
class CallLog
{
public:
    static bool append(const QString &program, const QStringList &arguments, QString *error);
};

} // namespace Norvane::Platform::Commands
