#include "localbackend/ServerLink.h"

#include "localbackend/JsonShape.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QJsonDocument>
#include <QRandomGenerator>

#include <openssl/evp.h>

#include <memory>

namespace Norvane::LocalBackend {

namespace {

using Kind = JsonShape::Kind;

bool isDecimalIn(const QString &text, int low, int high)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && !text.startsWith(u'+') && number >= low && number <= high;
}

} // namespace

QString ServerLink::problem(const QJsonObject &vmess)
{
    QList<JsonShape::Member> members;
    for (const char *name : {"v", "ps", "add", "port", "id", "aid", "scy", "net", "type", "host", "path", "tls", "sni"})
        members.append({QLatin1String(name), Kind::Text, true});
    const QString shape = JsonShape::problem(vmess, members);
    if (!shape.isEmpty())
        return shape;
    if (vmess.value("add").toString() != u"127.0.0.1")
        return QStringLiteral("member \"add\" is not 127.0.0.1");
    if (!isDecimalIn(vmess.value("port").toString(), 1, 65535))
        return QStringLiteral("member \"port\" is not a decimal port from 1 to 65535");
    if (!isDecimalIn(vmess.value("aid").toString(), 0, 65535))
        return QStringLiteral("member \"aid\" is not a decimal number from 0 to 65535");
    if (vmess.value("id").toString().isEmpty())
        return QStringLiteral("member \"id\" is empty");
    return {};
}

QString ServerLink::plain(const QJsonObject &vmess)
{
    return QStringLiteral("vmess://")
           + QString::fromLatin1(QJsonDocument(vmess).toJson(QJsonDocument::Compact).toBase64());
}

QString ServerLink::encrypted(const QString &link, const QString &keyText)
{
    const QByteArray key = QCryptographicHash::hash(keyText.toUtf8(), QCryptographicHash::Sha256);
    QByteArray iv(16, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32 *>(iv.data()),
                                         reinterpret_cast<quint32 *>(iv.data() + iv.size()));
    const QByteArray plainBytes = link.toUtf8();
    QByteArray cipher(plainBytes.size() + 16, Qt::Uninitialized);

    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                                  &EVP_CIPHER_CTX_free);
    int written = 0;
    int finalWritten = 0;
    auto *out = reinterpret_cast<unsigned char *>(cipher.data());
    const bool ok = context
        && EVP_EncryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr,
                              reinterpret_cast<const unsigned char *>(key.constData()),
                              reinterpret_cast<const unsigned char *>(iv.constData())) == 1
        && EVP_EncryptUpdate(context.get(), out, &written,
                             reinterpret_cast<const unsigned char *>(plainBytes.constData()),
                             int(plainBytes.size())) == 1
        && EVP_EncryptFinal_ex(context.get(), out + written, &finalWritten) == 1;
    if (!ok) {
        qWarning() << "[ServerLink] cannot encrypt a server link";
        return {};
    }
    cipher.resize(written + finalWritten);
    return QString::fromLatin1((iv + cipher).toBase64());
}

} // namespace Norvane::LocalBackend
