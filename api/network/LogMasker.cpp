#include "api/network/LogMasker.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace Norvane::Api::Network {

namespace {

const QString kMask = QStringLiteral("***");

const QStringList &secretKeys()
{
    static const QStringList keys{
        QStringLiteral("token"), QStringLiteral("password"), QStringLiteral("vmess_link"),
        QStringLiteral("api_secret_key"), QStringLiteral("vpn_encrypt_key"),
    };
    return keys;
}

bool isSecretKey(const QString &key)
{
    return secretKeys().contains(key);
}

// The signed form carries the whole record, secrets included, as base64 in "data".
bool isSignedForm(const QJsonObject &object)
{
    return object.value(QStringLiteral("encrypted")) == QJsonValue(true)
        && object.value(QStringLiteral("data")).isString();
}

QJsonValue masked(const QJsonValue &value);

QJsonObject maskedObject(const QJsonObject &object)
{
    const bool isSigned = isSignedForm(object);
    QJsonObject result;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (isSecretKey(it.key()))
            result.insert(it.key(), kMask);
        else if (isSigned && it.key() == QLatin1String("data"))
            result.insert(it.key(), QStringLiteral("<签名数据 %1 字节>").arg(it.value().toString().size()));
        else
            result.insert(it.key(), masked(it.value()));
    }
    return result;
}

QJsonValue masked(const QJsonValue &value)
{
    if (value.isObject())
        return maskedObject(value.toObject());
    if (value.isArray()) {
        QJsonArray result;
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array)
            result.append(masked(element));
        return result;
    }
    return value;
}

// The end of the JSON-like value starting at `from`: a string up to its closing quote, an
// object or array up to its matching bracket, anything else up to the next separator; the
// end of the text when the value is cut off.
qsizetype valueEnd(const QString &text, qsizetype from)
{
    const qsizetype size = text.size();
    if (from >= size)
        return size;
    int depth = 0;
    bool inString = false;
    for (qsizetype i = from; i < size; ++i) {
        const QChar c = text.at(i);
        if (inString) {
            if (c == u'\\') {
                ++i;
            } else if (c == u'"') {
                inString = false;
                if (depth == 0)
                    return i + 1;
            }
            continue;
        }
        if (c == u'"') {
            inString = true;
        } else if (c == u'{' || c == u'[') {
            ++depth;
        } else if (c == u'}' || c == u']') {
            if (depth == 0)
                return i;
            if (--depth == 0)
                return i + 1;
        } else if (depth == 0 && (c == u',' || c.isSpace())) {
            return i;
        }
    }
    return size;
}

QByteArray maskedText(const QByteArray &body)
{
    // A quoted secret key and its colon.
    static const QRegularExpression secretKey(
        QStringLiteral(R"re("(?:%1)"\s*:\s*)re").arg(secretKeys().join(QLatin1Char('|'))));
    const QString text = QString::fromUtf8(body);
    QString result;
    qsizetype position = 0;
    QRegularExpressionMatchIterator matches = secretKey.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        if (match.capturedStart() < position)
            continue; // inside a value already masked
        result += QStringView(text).mid(position, match.capturedEnd() - position);
        result += QLatin1Char('"') + kMask + QLatin1Char('"');
        position = valueEnd(text, match.capturedEnd());
    }
    if (position == 0)
        return body;
    result += QStringView(text).mid(position);
    return result.toUtf8();
}

} // namespace

QByteArray LogMasker::maskSecrets(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return maskedText(body);
    if (document.isObject())
        return QJsonDocument(maskedObject(document.object())).toJson(QJsonDocument::Compact);
    if (document.isArray())
        return QJsonDocument(masked(document.array()).toArray()).toJson(QJsonDocument::Compact);
    return body;
}

} // namespace Norvane::Api::Network
