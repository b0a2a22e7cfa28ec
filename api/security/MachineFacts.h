#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace Norvane::Api::Security {

// What the device id is made from, gathered in one place so the recipe can be fed other machines.
struct MachineFacts
{
    QString hostName;
    QString productType;
    QString productVersion;
    QString cpuArchitecture;
    std::optional<quint32> volumeSerial;

    static MachineFacts current();
};

} // namespace Norvane::Api::Security
