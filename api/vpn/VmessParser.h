#pragma once

#include "api/vpn/VmessConfig.h"

#include <QString>

namespace Norvane::Api::Vpn {

// Reads vmess links. A malformed link throws its failure text as a QString.
class VmessParser
{
public:
    static VmessConfig parse(const QString &link);
    static VmessConfig parseJson(const QString &json);
};

} // namespace Norvane::Api::Vpn
