#pragma once

#include <QJsonObject>
#include <QString>

namespace Norvane::Platform::Commands {

// Windows compares registry keys, value names, variable names and adapter names without regard
// to case; the state keeps the spelling each was first written with.
class CaseInsensitiveName
{
public:
    // The member of `object` named `name` apart from case, or `name` itself when there is none.
    static QString find(const QJsonObject &object, const QString &name);
};

} // namespace Norvane::Platform::Commands
