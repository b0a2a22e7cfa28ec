#pragma once

#include <QByteArray>

namespace Norvane::Api::Network {

// Hides credentials and keys in bodies before they reach the debug log.
class LogMasker
{
public:
    static QByteArray maskSecrets(const QByteArray &body);
};

} // namespace Norvane::Api::Network
