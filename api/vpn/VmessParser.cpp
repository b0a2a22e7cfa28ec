#include "api/vpn/VmessParser.h"

#include <QByteArray>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace Norvane::Api::Vpn {

namespace {

const QString kScheme = QStringLiteral("vmess://");

QString stringField(const QJsonObject &object, const QString &key, const QString &fallback = QString())
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : fallback;
}

// Share links carry numbers as decimal texts; some generators write JSON numbers instead.
// Anything else, or a value outside the int range, reads as 0.
int integerField(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isString()) {
        bool ok = false;
        const int number = value.toString().toInt(&ok, 10);
        return ok ? number : 0;
    }
    if (value.isDouble()) {
        const double number = value.toDouble();
        double whole = 0.0;
        const bool integral = std::modf(number, &whole) == 0.0;
        const bool inRange = number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max();
        return integral && inRange ? int(number) : 0;
    }
    return 0;
}

} // namespace

VmessConfig VmessParser::parse(const QString &link)
{
    qDebug() << "[VmessParser] 开始解析VMess链接";
    if (!link.startsWith(kScheme, Qt::CaseInsensitive) || link.length() <= kScheme.length())
        throw QString(QStringLiteral("无效的VMess链接格式"));

    // The decoder skips characters outside the standard alphabet, so the URL-safe ones are
    // mapped first; line breaks, blanks and padding are skipped wherever they stand.
    QByteArray encoded = link.mid(kScheme.length()).toUtf8();
    encoded.replace('-', '+').replace('_', '/');
    const QString json = QString::fromUtf8(QByteArray::fromBase64(encoded));
    if (json.isEmpty())
        throw QString(QStringLiteral("Base64解码失败"));

    qDebug() << "[VmessParser] JSON长度:" << json.length();
    const VmessConfig config = parseJson(json);
    qDebug() << "[VmessParser] 解析成功 - 服务器:" << config.address << ":" << config.port;
    return config;
}

VmessConfig VmessParser::parseJson(const QString &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw QString(QStringLiteral("无效的JSON格式"));

    const QJsonObject object = document.object();
    if (!object.contains(QStringLiteral("add")) || !object.contains(QStringLiteral("port"))
        || !object.contains(QStringLiteral("id")))
        throw QString(QStringLiteral("缺少必需字段（add/port/id）"));

    VmessConfig config;
    config.address = stringField(object, QStringLiteral("add"));
    config.port = integerField(object, QStringLiteral("port"));
    config.uuid = stringField(object, QStringLiteral("id"));
    config.alterId = integerField(object, QStringLiteral("aid"));
    config.security = stringField(object, QStringLiteral("scy"), config.security);
    config.network = stringField(object, QStringLiteral("net"), config.network);
    config.headerType = stringField(object, QStringLiteral("type"), config.headerType);
    config.host = stringField(object, QStringLiteral("host"));
    config.path = stringField(object, QStringLiteral("path"));
    config.tls = stringField(object, QStringLiteral("tls"), config.tls);
    config.sni = stringField(object, QStringLiteral("sni"));
    config.remark = stringField(object, QStringLiteral("ps"));

    if (config.address.isEmpty())
        throw QString(QStringLiteral("服务器地址为空"));
    if (config.port < 1 || config.port > 65535)
        throw QString(QStringLiteral("端口号无效"));
    if (config.uuid.isEmpty())
        throw QString(QStringLiteral("UUID为空"));
    return config;
}

} // namespace Norvane::Api::Vpn
