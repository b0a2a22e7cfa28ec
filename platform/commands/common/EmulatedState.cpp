#include "common/EmulatedState.h"

#include "common/StandInPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>

#include <sys/file.h>

namespace Norvane::Platform::Commands {

namespace {

constexpr double kDwordMax = 4294967295.0;

bool isDword(const QJsonValue &value)
{
    const double number = value.toDouble(-1);
    return value.isDouble() && number >= 0 && number <= kDwordMax && number == qint64(number);
}

QString checkRegistry(const QJsonValue &registry)
{
    if (!registry.isObject())
        return QStringLiteral("\"registry\" is not an object");
    const QJsonObject keys = registry.toObject();
    for (auto key = keys.begin(); key != keys.end(); ++key) {
        if (!key.value().isObject())
            return QStringLiteral("the registry key \"%1\" is not an object").arg(key.key());
        const QJsonObject values = key.value().toObject();
        for (auto value = values.begin(); value != values.end(); ++value) {
            const QJsonObject entry = value.value().toObject();
            const QString type = entry.value(QStringLiteral("type")).toString();
            const QJsonValue data = entry.value(QStringLiteral("data"));
            const bool valid = (type == QStringLiteral("REG_SZ") && data.isString())
                || (type == QStringLiteral("REG_DWORD") && isDword(data));
            if (!valid)
                return QStringLiteral("the registry value \"%1\" under \"%2\" has no valid type and data")
                    .arg(value.key(), key.key());
        }
    }
    return {};
}

QString checkTexts(const QString &section, const QJsonValue &value)
{
    if (!value.isObject())
        return QStringLiteral("\"%1\" is not an object").arg(section);
    const QJsonObject object = value.toObject();
    for (auto member = object.begin(); member != object.end(); ++member) {
        if (!member.value().isString())
            return QStringLiteral("\"%1\" in \"%2\" is not a text").arg(member.key(), section);
    }
    return {};
}

QString checkInterfaces(const QJsonValue &interfaces)
{
    if (!interfaces.isObject())
        return QStringLiteral("\"interfaces\" is not an object");
    const QJsonObject adapters = interfaces.toObject();
    for (auto adapter = adapters.begin(); adapter != adapters.end(); ++adapter) {
        if (!adapter.value().isObject())
            return QStringLiteral("the adapter \"%1\" is not an object").arg(adapter.key());
        const QJsonObject settings = adapter.value().toObject();
        for (auto part = settings.begin(); part != settings.end(); ++part) {
            const QString error = checkTexts(adapter.key() + QLatin1Char('.') + part.key(), part.value());
            if (!error.isEmpty())
                return error;
        }
    }
    return {};
}

QString checkRoutes(const QJsonValue &routes)
{
    if (!routes.isArray())
        return QStringLiteral("\"routes\" is not an array");
    for (const QJsonValue &route : routes.toArray()) {
        const QJsonObject entry = route.toObject();
        const bool valid = route.isObject() && entry.value(QStringLiteral("prefix")).isString()
            && entry.value(QStringLiteral("interface")).isString()
            && entry.value(QStringLiteral("nexthop")).isString()
            && entry.value(QStringLiteral("metric")).isDouble();
        if (!valid)
            return QStringLiteral("a route lacks its prefix, interface, next hop or metric");
    }
    return {};
}

QString checkDocument(const QJsonObject &root)
{
    QString error;
    if (root.contains(EmulatedState::kRegistry))
        error = checkRegistry(root.value(EmulatedState::kRegistry));
    if (error.isEmpty() && root.contains(EmulatedState::kWinHttp))
        error = checkTexts(EmulatedState::kWinHttp, root.value(EmulatedState::kWinHttp));
    if (error.isEmpty() && root.contains(EmulatedState::kEnvironment))
        error = checkTexts(EmulatedState::kEnvironment, root.value(EmulatedState::kEnvironment));
    if (error.isEmpty() && root.contains(EmulatedState::kInterfaces))
        error = checkInterfaces(root.value(EmulatedState::kInterfaces));
    if (error.isEmpty() && root.contains(EmulatedState::kRoutes))
        error = checkRoutes(root.value(EmulatedState::kRoutes));
    return error;
}

} // namespace

EmulatedState::EmulatedState()
    : m_path(StandInPaths::statePath())
{
}

EmulatedState::~EmulatedState() = default;

bool EmulatedState::open(QString *error)
{
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        *error = QStringLiteral("cannot create the folder of the platform state %1").arg(m_path);
        return false;
    }
    // The kernel queues the waiting calls and drops the lock of a call that dies, so many
    // calls at once all get their turn, however busy the machine is.
    m_lock = std::make_unique<QFile>(m_path + QStringLiteral(".lock"));
    if (!m_lock->open(QIODevice::ReadWrite) || ::flock(m_lock->handle(), LOCK_EX) != 0) {
        *error = QStringLiteral("cannot lock the platform state %1: %2").arg(m_path, m_lock->errorString());
        return false;
    }

    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the platform state %1: %2").arg(m_path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        *error = QStringLiteral("the platform state %1 is corrupt: %2")
                     .arg(m_path, parseError.error != QJsonParseError::NoError
                                      ? parseError.errorString()
                                      : QStringLiteral("not a JSON object"));
        return false;
    }
    const QString invalid = checkDocument(document.object());
    if (!invalid.isEmpty()) {
        *error = QStringLiteral("the platform state %1 is corrupt: %2").arg(m_path, invalid);
        return false;
    }
    m_root = document.object();
    return true;
}

QJsonObject EmulatedState::object(const QString &section) const
{
    return m_root.value(section).toObject();
}

QJsonArray EmulatedState::array(const QString &section) const
{
    return m_root.value(section).toArray();
}

void EmulatedState::set(const QString &section, const QJsonValue &value)
{
    m_root.insert(section, value);
}

bool EmulatedState::commit(QString *error)
{
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write the platform state %1: %2").arg(m_path, file.errorString());
        return false;
    }
    file.write(QJsonDocument(m_root).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        *error = QStringLiteral("cannot write the platform state %1: %2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}

} // namespace Norvane::Platform::Commands
