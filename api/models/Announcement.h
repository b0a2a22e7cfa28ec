#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace Norvane::Api::Models {

// One of the service's announcements; the two times are invalid when absent, null or unparsable.
struct Announcement
{
    int id = 0;
    QString title;
    QString content;
    QString type;
    QDateTime publishedAt;
    QDateTime createdAt;

    static Announcement fromJson(const QJsonObject &json);
};

} // namespace Norvane::Api::Models
