#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QList>
#include <QString>

namespace Norvane::LocalBackend {

// The service's announcements, each for one platform or for "all".
class AnnouncementBoard
{
public:
    // Takes the seed's "announcements" section; returns what is wrong with it, empty when it
    // is good. An announcement without "published_at" is published now.
    QString load(const QJsonArray &section, const QDateTime &now);

    // Newest first; an empty platform gives every announcement, a limit of 0 all of them.
    QJsonArray forPlatform(const QString &platform, int limit) const;

    static bool isKnownPlatform(const QString &platform);

private:
    struct Entry
    {
        int id = 0;
        QString title;
        QString content;
        QString type;
        QString platform;
        QDateTime publishedAt;
    };

    QList<Entry> m_entries;
};

} // namespace Norvane::LocalBackend
