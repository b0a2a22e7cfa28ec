#include "localbackend/AnnouncementBoard.h"

#include "localbackend/SeedEntry.h"

#include <QJsonObject>

#include <algorithm>

namespace Norvane::LocalBackend {

namespace {

const QStringList kPlatforms{"all", "windows", "macos", "android", "ios"};

} // namespace

QString AnnouncementBoard::load(const QJsonArray &section, const QDateTime &now)
{
    QList<Entry> entries;
    for (qsizetype i = 0; i < section.size(); ++i) {
        SeedEntry entry(section.at(i), QStringLiteral("announcements[%1]").arg(i));
        entry.allowOnly({"id", "title", "content", "type", "platform", "published_at"});
        Entry announcement;
        announcement.id = entry.requiredId("id");
        announcement.title = entry.requiredText("title");
        announcement.content = entry.requiredText("content");
        announcement.type = entry.optionalText("type", QStringLiteral("notice"));
        announcement.platform = entry.optionalText("platform", QStringLiteral("all"));
        const QString published = entry.optionalText("published_at");
        announcement.publishedAt =
            published.isEmpty() ? now : QDateTime::fromString(published, Qt::ISODateWithMs).toUTC();
        entry.require(announcement.publishedAt.isValid(),
                      QStringLiteral("\"published_at\" \"%1\" is not an ISO 8601 date-time").arg(published));
        entry.require(isKnownPlatform(announcement.platform),
                      QStringLiteral("platform \"%1\" is not one of %2")
                          .arg(announcement.platform, kPlatforms.join(QStringLiteral(", "))));
        const bool duplicate = std::any_of(entries.cbegin(), entries.cend(),
                                           [&](const Entry &other) { return other.id == announcement.id; });
        entry.require(!duplicate, QStringLiteral("id %1 appears twice").arg(announcement.id));
        if (!entry.problem().isEmpty())
            return entry.problem();
        entries.append(announcement);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.publishedAt != b.publishedAt ? a.publishedAt > b.publishedAt : a.id > b.id;
    });
    m_entries = entries;
    return {};
}

QJsonArray AnnouncementBoard::forPlatform(const QString &platform, int limit) const
{
    QJsonArray list;
    for (const Entry &entry : m_entries) {
        if (limit > 0 && list.size() >= limit)
            break;
        if (!platform.isEmpty() && entry.platform != u"all" && entry.platform != platform)
            continue;
        const QString published = entry.publishedAt.toString(Qt::ISODate);
        list.append(QJsonObject{{"id", entry.id},
                                {"title", entry.title},
                                {"content", entry.content},
                                {"type", entry.type},
                                {"platform", entry.platform},
                                {"published_at", published},
                                {"created_at", published}});
    }
    return list;
}

bool AnnouncementBoard::isKnownPlatform(const QString &platform)
{
    return kPlatforms.contains(platform);
}

} // namespace Norvane::LocalBackend
