#pragma once

#include "api/models/Announcement.h"
#include "api/network/ApiResponse.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace Norvane::Api::Services {

// Fetches the public announcements of a platform and notices a newer one at the top of the list.
class AnnouncementService : public QObject
{
    Q_OBJECT

public:
    using AnnouncementsCallback = std::function<void(bool success, const QString &message,
                                                     const QList<Models::Announcement> &announcements)>;

    static AnnouncementService *instance();

    // limit 0 or below asks for no limit.
    void getAnnouncements(const QString &platform, int limit, AnnouncementsCallback callback = {});

    QList<Models::Announcement> cachedAnnouncements() const { return m_announcements; }
    int lastReadAnnouncementId() const { return m_lastReadAnnouncementId; }

signals:
    void announcementsUpdated(const QList<Models::Announcement> &announcements);
    void newAnnouncementReceived(const Models::Announcement &announcement);

private:
    AnnouncementService();

    void handleReply(const Network::ApiResponse &response, const AnnouncementsCallback &callback);

    QList<Models::Announcement> m_announcements;
    int m_lastReadAnnouncementId = 0;
};

} // namespace Norvane::Api::Services
