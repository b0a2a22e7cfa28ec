#include "api/vpn/AcceptedWait.h"

#include <QDebug>
#include <QString>

namespace Norvane::Api::Vpn {

bool acceptedWait(int milliseconds, const char *refusal)
{
    if (milliseconds > 0)
        return true;
    qWarning().noquote() << QString::fromUtf8(refusal).arg(milliseconds);
    return false;
}

} // namespace Norvane::Api::Vpn
