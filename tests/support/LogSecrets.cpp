#include "support/LogSecrets.h"

#include <QByteArray>
#include <QRegularExpression>

namespace {

// A masked key followed by anything but the mask.
const QRegularExpression &unmaskedValue()
{
    static const QRegularExpression pattern(QStringLiteral(
        R"re("(token|password|vmess_link|api_secret_key|vpn_encrypt_key)"\s*:\s*+(?!"\*\*\*")(.{0,40}))re"));
    return pattern;
}

const QRegularExpression &base64Run()
{
    static const QRegularExpression pattern(QStringLiteral("[A-Za-z0-9+/_-]{16,}={0,2}"));
    return pattern;
}

// The texts to search: the line as it is (with the log's escaped quotes undone) and every
// base64 decoding of its runs, from each of the four possible starting offsets.
QStringList readings(const QString &line)
{
    QString plain = line;
    plain.replace(QStringLiteral("\\\""), QStringLiteral("\""));
    QStringList texts{plain};
    QRegularExpressionMatchIterator runs = base64Run().globalMatch(plain);
    while (runs.hasNext()) {
        const QByteArray run = runs.next().captured().toLatin1();
        for (int offset = 0; offset < 4 && offset < run.size(); ++offset) {
            texts << QString::fromUtf8(QByteArray::fromBase64(run.mid(offset)));
            texts << QString::fromUtf8(QByteArray::fromBase64(run.mid(offset), QByteArray::Base64UrlEncoding));
        }
    }
    return texts;
}

} // namespace

QStringList leakedSecrets(const QStringList &lines, const QStringList &values)
{
    QStringList leaks;
    for (const QString &line : lines) {
        for (const QString &text : readings(line)) {
            for (const QString &value : values) {
                if (!value.isEmpty() && text.contains(value))
                    leaks << QStringLiteral("%1 in: %2").arg(value, line.left(200));
            }
            const QRegularExpressionMatch match = unmaskedValue().match(text);
            if (match.hasMatch())
                leaks << QStringLiteral("unmasked %1 (%2) in: %3")
                             .arg(match.captured(1), match.captured(2), line.left(200));
        }
    }
    leaks.removeDuplicates();
    return leaks;
}
