#include "api/services/AnnouncementService.h"

#include "api/network/HttpClient.h"
#include "api/storage/LocalStorage.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonValue>

namespace Norvane::Api::Services {

using Network::ApiResponse;
using Network::HttpClient;

namespace {

QList<Models::Announcement> announcementsFrom(const QJsonValue &data)
{
    if (!data.isArray())
        qWarning() << "[AnnouncementService] 公告列表响应没有data数组, 按空列表处理";
    const QJsonArray array = data.toArray();
    QList<Models::Announcement> announcements;
    for (qsizetype index = 0; index < array.size(); ++index) {
        const QJsonValue element = array.at(index);
        if (!element.isObject()) {
            qWarning() << "[AnnouncementService] 忽略不是对象的公告数据, 位置:" << index;
            continue;
        }
        announcements.append(Models::Announcement::fromJson(element.toObject()));
    }
    return announcements;
}

} // namespace

AnnouncementService *AnnouncementService::instance()
{
    static AnnouncementService service;
    return &service;
}

AnnouncementService::AnnouncementService()
    : m_lastReadAnnouncementId(
        Storage::LocalStorage::instance()->getInt(QStringLiteral("last_read_announcement_id"), 0))
{
    // The client must exist first so that it outlives this service at process exit.
    HttpClient::instance();
    qDebug() << "[AnnouncementService] 初始化完成";
}

void AnnouncementService::getAnnouncements(const QString &platform, int limit, AnnouncementsCallback callback)
{
    qDebug() << "[AnnouncementService] 获取公告列表, 平台:" << platform;
    HttpClient::QueryItems query;
    query.insert(QStringLiteral("platform"), platform);
    if (limit > 0)
        query.insert(QStringLiteral("limit"), QString::number(limit));
    HttpClient::instance()->getNoAuth(
        QStringLiteral("announcements"),
        [this, callback](const ApiResponse &response) { handleReply(response, callback); }, query);
}

void AnnouncementService::handleReply(const ApiResponse &response, const AnnouncementsCallback &callback)
{
    if (!response.isSuccess()) {
        const QString message = response.errorMessage();
        if (callback)
            callback(false, message, {});
        qDebug() << "[AnnouncementService] 获取公告列表失败:" << message;
        return;
    }

    const QList<Models::Announcement> announcements = announcementsFrom(response.json.value(QStringLiteral("data")));
    // Only the heads of the two lists are compared, in the order the back end sends them.
    if (!m_announcements.isEmpty() && !announcements.isEmpty()
        && announcements.first().id > m_announcements.first().id)
        emit newAnnouncementReceived(announcements.first());
    m_announcements = announcements;
    if (callback)
        callback(true, QStringLiteral("获取成功"), announcements);
    emit announcementsUpdated(announcements);
    qDebug() << "[AnnouncementService] 公告列表获取成功, 数量:" << announcements.size();
}

} // namespace Norvane::Api::Services
