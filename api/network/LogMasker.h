#pragma once

#include <QByteArray>

namespace Norvane::Api::Network {

// Hides credentials and keys in bodies before they reach the debug log.
class LogMasker
{
public:
    // A JSON body keeps its shape with every secret value masked at any depth, and a signed
    // reply's "data" (base64 of the whole record) shown only by its length. Text that is not
    // JSON (a cut or malformed body) has the value after each quoted secret key masked.
    static QByteArray maskSecrets(const QByteArray &body);
};

} // namespace Norvane::Api::Network
