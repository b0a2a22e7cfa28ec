#include "api/vpn/RegistryValue.h"

#include <QRegularExpression>

namespace Norvane::Api::Vpn {

namespace {

const QString kDword = QStringLiteral("REG_DWORD");

} // namespace

std::optional<RegistryValue> RegistryValue::fromQueryOutput(const QString &output, const QString &name)
{
    // reg separates the name, the type and the data of a value by four blanks.
    static const QRegularExpression line(QStringLiteral("^ {4}(.+?) {4}(REG_[A-Z_]+)(?: {4}(.*))?$"));
    for (QString text : output.split(QLatin1Char('\n'))) {
        if (text.endsWith(QLatin1Char('\r')))
            text.chop(1);
        const QRegularExpressionMatch match = line.match(text);
        if (!match.hasMatch() || match.captured(1).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        RegistryValue value{match.captured(2), match.captured(3)};
        if (value.type == kDword) {
            bool ok = false;
            const quint32 number = value.data.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)
                ? value.data.mid(2).toUInt(&ok, 16)
                : value.data.toUInt(&ok, 10);
            if (!ok)
                return std::nullopt;
            value.data = QString::number(number);
        }
        return value;
    }
    return std::nullopt;
}

std::optional<RegistryValue> RegistryValue::fromJson(const QJsonValue &json)
{
    const QJsonObject object = json.toObject();
    const QString type = object.value(QStringLiteral("type")).toString();
    if (type.isEmpty() || !object.value(QStringLiteral("data")).isString())
        return std::nullopt;
    return RegistryValue{type, object.value(QStringLiteral("data")).toString()};
}

QJsonObject RegistryValue::toJson() const
{
    return QJsonObject{{QStringLiteral("type"), type}, {QStringLiteral("data"), data}};
}

} // namespace Norvane::Api::Vpn
