#include "localbackend/ApiRoutes.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QStringList>

namespace Norvane::LocalBackend {

namespace {

const QString kConfigsSection = QStringLiteral("configs");
const QStringList kSections{kConfigsSection};

// Empty when the value suits the item type; otherwise what is wrong with it.
QString valueProblem(const QString &type, const QJsonValue &value)
{
    if (type == u"boolean")
        return value.isBool() ? QString() : QStringLiteral("value is not a boolean");
    if (type == u"number")
        return value.isDouble() ? QString() : QStringLiteral("value is not a number");
    if (type == u"string")
        return value.isString() ? QString() : QStringLiteral("value is not a string");
    if (type == u"json")
        return value.isObject() ? QString() : QStringLiteral("value is not a JSON object");
    return QStringLiteral("type \"%1\" is not boolean, number, string or json").arg(type);
}

QString itemProblem(const QJsonValue &item)
{
    if (!item.isObject())
        return QStringLiteral("is not an object");
    const QJsonObject object = item.toObject();
    for (const char *member : {"name", "description"}) {
        if (object.contains(QLatin1String(member)) && !object.value(QLatin1String(member)).isString())
            return QStringLiteral("has a \"%1\" that is not a string").arg(QLatin1String(member));
    }
    if (!object.value("type").isString())
        return QStringLiteral("has no \"type\" text");
    if (!object.contains("value"))
        return QStringLiteral("has no \"value\"");
    return valueProblem(object.value("type").toString(), object.value("value"));
}

QString seedProblem(const QByteArray &json, QJsonObject *seed)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return QStringLiteral("not valid JSON: %1 at offset %2")
            .arg(parseError.errorString())
            .arg(parseError.offset);
    }
    if (!document.isObject())
        return QStringLiteral("not a JSON object");
    *seed = document.object();
    for (auto it = seed->constBegin(); it != seed->constEnd(); ++it) {
        if (!kSections.contains(it.key()))
            return QStringLiteral("unknown section \"%1\"").arg(it.key());
        if (!it.value().isObject())
            return QStringLiteral("section \"%1\" is not an object").arg(it.key());
    }
    if (!seed->contains(kConfigsSection))
        return QStringLiteral("no \"configs\" section");
    const QJsonObject configs = seed->value(kConfigsSection).toObject();
    for (auto it = configs.constBegin(); it != configs.constEnd(); ++it) {
        const QString problem = itemProblem(it.value());
        if (!problem.isEmpty())
            return QStringLiteral("configuration item \"%1\" %2").arg(it.key(), problem);
    }
    return {};
}

bool fail(const QString &message, QString *error)
{
    qWarning().noquote() << "[ApiRoutes]" << message;
    if (error)
        *error = message;
    return false;
}

} // namespace

ApiRoutes::ApiRoutes(LocalBackendServer &server) : m_server(server)
{
    m_server.route("GET", "/api/v1/configs", [this](const RecordedRequest &) { return configsReply(); });
    loadSeedFile(builtInSeedPath());
}

QString ApiRoutes::builtInSeedPath()
{
    return QStringLiteral(":/localbackend/seed.json");
}

bool ApiRoutes::loadSeed(const QByteArray &json, QString *error)
{
    return applySeed(json, QStringLiteral("seed"), error);
}

bool ApiRoutes::loadSeedFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read seed file %1: %2").arg(path, file.errorString()), error);
    return applySeed(file.readAll(), path, error);
}

bool ApiRoutes::applySeed(const QByteArray &json, const QString &source, QString *error)
{
    QJsonObject seed;
    const QString problem = seedProblem(json, &seed);
    if (!problem.isEmpty())
        return fail(QStringLiteral("%1: %2").arg(source, problem), error);
    m_configs = seed.value(kConfigsSection).toObject();
    applyReplySigning();
    qDebug().noquote() << "[ApiRoutes] loaded" << source << "with" << m_configs.size() << "configuration items";
    return true;
}

QJsonObject ApiRoutes::configs() const
{
    return m_configs;
}

bool ApiRoutes::setConfigValue(const QString &key, const QJsonValue &value, QString *error)
{
    if (!m_configs.contains(key))
        return fail(QStringLiteral("no configuration item \"%1\"").arg(key), error);
    QJsonObject item = m_configs.value(key).toObject();
    const QString problem = valueProblem(item.value("type").toString(), value);
    if (!problem.isEmpty())
        return fail(QStringLiteral("configuration item \"%1\": %2").arg(key, problem), error);
    item.insert("value", value);
    m_configs.insert(key, item);
    applyReplySigning();
    return true;
}

Reply ApiRoutes::configsReply() const
{
    return Reply::json({{"success", true}, {"message", "获取成功"}, {"data", m_configs}});
}

// The back end signs its successful replies while the configuration it hands out says so.
void ApiRoutes::applyReplySigning()
{
    const auto value = [this](const char *key) {
        return m_configs.value(QLatin1String(key)).toObject().value("value").toVariant();
    };
    const bool enabled = value("api_encrypt_enabled").toBool();
    const QString secret = value("api_secret_key").toString();
    m_server.setSigning(enabled && !secret.isEmpty(), secret);
}

} // namespace Norvane::LocalBackend
