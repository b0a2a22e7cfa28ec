#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace Norvane::Platform::Commands {

// netsh's parameters: "tag=value", or a bare value that takes the first tag not yet given.
// A tag may be shortened to any beginning that names one tag only ("addr" for "address");
// one pair of surrounding double quotes is taken off each value.
class NetshParameters
{
public:
    // `values` is keyed by the full tag names of `tags`.
    static bool parse(const QStringList &arguments, const QStringList &tags,
                      QHash<QString, QString> *values, QString *error);
};

} // namespace Norvane::Platform::Commands
