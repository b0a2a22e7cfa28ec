#include "api/models/Announcement.h"

#include <QJsonValue>

namespace Norvane::Api::Models {

namespace {

// Null, absent, non-text and unparsable values all mean "no date".
QDateTime dateTimeFrom(const QJsonValue &value)
{
    return value.isString() ? QDateTime::fromString(value.toString(), Qt::ISODate) : QDateTime();
}

} // namespace

Announcement Announcement::fromJson(const QJsonObject &json)
{
    Announcement announcement;
    announcement.id = json.value(QStringLiteral("id")).toInt(announcement.id);
    announcement.title = json.value(QStringLiteral("title")).toString();
    announcement.content = json.value(QStringLiteral("content")).toString();
    announcement.type = json.value(QStringLiteral("type")).toString();
    announcement.publishedAt = dateTimeFrom(json.value(QStringLiteral("published_at")));
    announcement.createdAt = dateTimeFrom(json.value(QStringLiteral("created_at")));
    return announcement;
}

} // namespace Norvane::Api::Models
