#include "platform/security/PlatformSecurity.h"

#include <openssl/evp.h>

#include <sys/statvfs.h>

#include <memory>

namespace Norvane::Platform {

namespace {

constexpr int kAesKeyBytes = 32;
constexpr int kAesBlockBytes = 16;

struct CipherContextDeleter
{
    void operator()(EVP_CIPHER_CTX *context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

const unsigned char *bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}

} // namespace

AesDecryptStatus aes256CbcDecrypt(const QByteArray &key32, const QByteArray &iv16,
                                  const QByteArray &ciphertext, QByteArray *plain)
{
    plain->clear();

    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context)
        return AesDecryptStatus::ContextFailed;

    if (key32.size() != kAesKeyBytes || iv16.size() != kAesBlockBytes
        || EVP_DecryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, bytes(key32), bytes(iv16)) != 1)
        return AesDecryptStatus::KeyImportFailed;

    // OpenSSL would report a partial block only at the final step; refuse it up front,
    // as the final-block decryption of the other platform does.
    if (ciphertext.size() % kAesBlockBytes != 0)
        return AesDecryptStatus::DecryptFailed;

    QByteArray buffer(ciphertext.size() + kAesBlockBytes, Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(buffer.data());
    int written = 0;
    if (EVP_DecryptUpdate(context.get(), out, &written, bytes(ciphertext), int(ciphertext.size())) != 1)
        return AesDecryptStatus::DecryptFailed;
    int finalWritten = 0;
    if (EVP_DecryptFinal_ex(context.get(), out + written, &finalWritten) != 1)
        return AesDecryptStatus::DecryptFailed;

    buffer.truncate(written + finalWritten);
    *plain = buffer;
    return AesDecryptStatus::Ok;
}

std::optional<quint32> systemVolumeSerial()
{
    struct statvfs info {};
    if (statvfs("/", &info) != 0)
        return std::nullopt;
    const auto serial = static_cast<quint32>(info.f_fsid & 0xffffffffu);
    if (serial == 0)
        return std::nullopt;
    return serial;
}

} // namespace Norvane::Platform
