#include "api/models/User.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

namespace {

// Null, absent, non-text and unparsable values all mean "no date".
QDateTime dateTimeFrom(const QJsonValue &value)
{
    if (!value.isString())
        return {};
    return QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

QJsonValue dateTimeOrNull(const QDateTime &dateTime)
{
    return dateTime.isValid() ? QJsonValue(dateTime.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
}

// Totals may exceed the int range, so numbers go through the variant's 64-bit conversion.
qint64 int64From(const QJsonValue &value)
{
    return value.isDouble() ? value.toVariant().toLongLong() : 0;
}

} // namespace

User User::fromJson(const QJsonObject &json)
{
    User user;
    user.id = json.value(QStringLiteral("id")).toInt();
    user.email = json.value(QStringLiteral("email")).toString();
    user.name = json.value(QStringLiteral("name")).toString();
    user.status = json.value(QStringLiteral("status")).toString();
    user.isVip = json.value(QStringLiteral("is_vip")).toBool();
    user.vipExpiresAt = dateTimeFrom(json.value(QStringLiteral("vip_expires_at")));
    user.trialUsed = json.value(QStringLiteral("trial_used")).toBool();
    user.trialExpiresAt = dateTimeFrom(json.value(QStringLiteral("trial_expires_at")));
    user.trialHoursTotal = json.value(QStringLiteral("trial_hours_total")).toInt();
    user.trialHoursUsed = json.value(QStringLiteral("trial_hours_used")).toDouble();
    user.trialHoursRemaining = json.value(QStringLiteral("trial_hours_remaining")).toDouble();
    user.createdAt = dateTimeFrom(json.value(QStringLiteral("created_at")));

    const QJsonValue stats = json.value(QStringLiteral("stats"));
    if (stats.isObject()) {
        const QJsonObject object = stats.toObject();
        user.stats.totalUpload = int64From(object.value(QStringLiteral("total_upload")));
        user.stats.totalDownload = int64From(object.value(QStringLiteral("total_download")));
        user.stats.totalTime = object.value(QStringLiteral("total_time")).toInt();
    }
    return user;
}

QJsonObject User::toJson() const
{
    QJsonObject json;
    json.insert(QStringLiteral("id"), id);
    json.insert(QStringLiteral("email"), email);
    json.insert(QStringLiteral("name"), name);
    json.insert(QStringLiteral("status"), status);
    json.insert(QStringLiteral("is_vip"), isVip);
    json.insert(QStringLiteral("vip_expires_at"), dateTimeOrNull(vipExpiresAt));
    json.insert(QStringLiteral("trial_used"), trialUsed);
    json.insert(QStringLiteral("trial_expires_at"), dateTimeOrNull(trialExpiresAt));
    json.insert(QStringLiteral("trial_hours_total"), trialHoursTotal);
    json.insert(QStringLiteral("trial_hours_used"), trialHoursUsed);
    json.insert(QStringLiteral("trial_hours_remaining"), trialHoursRemaining);
    if (createdAt.isValid())
        json.insert(QStringLiteral("created_at"), createdAt.toString(Qt::ISODate));

    if (stats.totalUpload > 0 || stats.totalDownload > 0 || stats.totalTime > 0) {
        QJsonObject object;
        object.insert(QStringLiteral("total_upload"), QJsonValue(stats.totalUpload));
        object.insert(QStringLiteral("total_download"), QJsonValue(stats.totalDownload));
        object.insert(QStringLiteral("total_time"), stats.totalTime);
        json.insert(QStringLiteral("stats"), object);
    } else {
        json.insert(QStringLiteral("stats"), QJsonValue(QJsonValue::Null));
    }
    return json;
}

bool User::isVipActive() const
{
    return isVip && vipExpiresAt.isValid() && vipExpiresAt > QDateTime::currentDateTimeUtc();
}

} // namespace Norvane::Api::Models
