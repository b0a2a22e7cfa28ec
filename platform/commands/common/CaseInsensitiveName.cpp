#include "common/CaseInsensitiveName.h"

namespace Norvane::Platform::Commands {

QString CaseInsensitiveName::find(const QJsonObject &object, const QString &name)
{
    for (auto member = object.begin(); member != object.end(); ++member) {
        if (member.key().compare(name, Qt::CaseInsensitive) == 0)
            return member.key();
    }
    return name;
}

} // namespace Norvane::Platform::Commands
