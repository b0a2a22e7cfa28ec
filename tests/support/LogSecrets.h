#pragma once

#include <QString>
#include <QStringList>

// Looks through log lines for secrets: the given values, and any value of a masked key
// ("token", "password", "vmess_link", "api_secret_key", "vpn_encrypt_key") that is not the
// mask itself. Base64-looking runs are decoded and searched too, since a signed reply carries
// its record as base64. Returns one description per leak found, empty when there is none.
QStringList leakedSecrets(const QStringList &lines, const QStringList &values);
