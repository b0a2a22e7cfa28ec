#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// The operating-system services behind the device id and the link decryption.
// This header is the whole contract; each platform supplies its own source file.
namespace Norvane::Platform {

enum class AesDecryptStatus {
    Ok,
    ContextFailed,   // no cipher context could be created
    KeyImportFailed, // the key or IV was refused (also: key not 32 bytes, IV not 16)
    DecryptFailed    // bad length, wrong key or bad padding
};

// AES-256-CBC decryption with PKCS#7 padding removed. On any failure *plain is empty.
AesDecryptStatus aes256CbcDecrypt(const QByteArray &key32, const QByteArray &iv16,
                                  const QByteArray &ciphertext, QByteArray *plain);

// Serial number of the system volume; nullopt when it cannot be read.
std::optional<quint32> systemVolumeSerial();

} // namespace Norvane::Platform
