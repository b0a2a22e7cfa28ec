#include "localbackend/Account.h"

#include <QJsonValue>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace Norvane::LocalBackend {

namespace {

using Kind = JsonShape::Kind;

QJsonValue dateOrNull(const QDateTime &when)
{
    return when.isValid() ? QJsonValue(when.toUTC().toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
}

QDateTime dateFrom(const QJsonValue &value)
{
    return value.isString() ? QDateTime::fromString(value.toString(), Qt::ISODate) : QDateTime();
}

double gigabytes(qint64 bytes)
{
    return std::round(double(bytes) / (1024.0 * 1024.0 * 1024.0) * 100.0) / 100.0;
}

QList<JsonShape::Member> changeableShape()
{
    return {{"email", Kind::NonEmptyText},
            {"password", Kind::NonEmptyText},
            {"name", Kind::Text},
            {"status", Kind::NonEmptyText},
            {"is_vip", Kind::Boolean},
            {"vip_expires_at", Kind::OptionalDateTime},
            {"trial_used", Kind::Boolean},
            {"trial_expires_at", Kind::OptionalDateTime},
            {"trial_hours_total", Kind::Integer},
            {"trial_hours_used", Kind::Number},
            {"trial_hours_remaining", Kind::Number},
            {"created_at", Kind::DateTime},
            {"stats", Kind::Object}};
}

// What the member kinds alone do not say.
QString contentProblem(const QJsonObject &members)
{
    if (members.contains("email") && !Account::isEmailAddress(members.value("email").toString()))
        return QStringLiteral("member \"email\" is not an e-mail address");
    if (members.contains("password") && members.value("password").toString().size() < 6)
        return QStringLiteral("member \"password\" is shorter than 6 characters");
    const QString stats = JsonShape::problem(members.value("stats").toObject(),
                                             {{"total_upload", Kind::Count},
                                              {"total_download", Kind::Count},
                                              {"total_time", Kind::Count}});
    return stats.isEmpty() ? QString() : QStringLiteral("member \"stats\" %1").arg(stats);
}

} // namespace

QString Account::seedProblem(const QJsonObject &members)
{
    QList<JsonShape::Member> shape = changeableShape();
    shape.append({"id", Kind::Integer, true});
    for (JsonShape::Member &member : shape) {
        if (member.name == u"email" || member.name == u"password")
            member.required = true;
    }
    const QString problem = JsonShape::problem(members, shape);
    return problem.isEmpty() ? contentProblem(members) : problem;
}

QString Account::changeProblem(const QJsonObject &members)
{
    const QString problem = JsonShape::problem(members, changeableShape());
    return problem.isEmpty() ? contentProblem(members) : problem;
}

bool Account::isEmailAddress(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"));
    return pattern.match(text).hasMatch();
}

void Account::apply(const QJsonObject &members)
{
    for (auto it = members.constBegin(); it != members.constEnd(); ++it) {
        const QString &key = it.key();
        const QJsonValue &value = it.value();
        if (key == u"id")
            id = value.toInt();
        else if (key == u"email")
            email = value.toString();
        else if (key == u"password")
            password = value.toString();
        else if (key == u"name")
            name = value.toString();
        else if (key == u"status")
            status = value.toString();
        else if (key == u"is_vip")
            isVip = value.toBool();
        else if (key == u"vip_expires_at")
            vipExpiresAt = dateFrom(value);
        else if (key == u"trial_used") {
            trialUsed = value.toBool();
            freeTrialCount = trialUsed ? std::max(freeTrialCount, 1) : 0;
        } else if (key == u"trial_expires_at")
            trialExpiresAt = dateFrom(value);
        else if (key == u"trial_hours_total")
            trialHoursTotal = value.toInt();
        else if (key == u"trial_hours_used")
            trialHoursUsed = value.toDouble();
        else if (key == u"trial_hours_remaining")
            trialHoursRemaining = value.toDouble();
        else if (key == u"created_at")
            createdAt = dateFrom(value);
        else if (key == u"stats") {
            const QJsonObject stats = value.toObject();
            totalUpload = qint64(stats.value("total_upload").toDouble(double(totalUpload)));
            totalDownload = qint64(stats.value("total_download").toDouble(double(totalDownload)));
            totalTime = stats.value("total_time").toInt(totalTime);
        }
    }
}

QJsonObject Account::toJson() const
{
    return {{"id", id},
            {"email", email},
            {"name", name},
            {"status", status},
            {"is_vip", isVip},
            {"vip_expires_at", dateOrNull(vipExpiresAt)},
            {"trial_used", trialUsed},
            {"trial_expires_at", dateOrNull(trialExpiresAt)},
            {"trial_hours_total", trialHoursTotal},
            {"trial_hours_used", trialHoursUsed},
            {"trial_hours_remaining", trialHoursRemaining},
            {"created_at", dateOrNull(createdAt)},
            {"stats", QJsonObject{{"total_upload", double(totalUpload)},
                                  {"total_download", double(totalDownload)},
                                  {"total_time", totalTime}}}};
}

bool Account::vipActive(const QDateTime &now) const
{
    return isVip && vipExpiresAt.isValid() && vipExpiresAt > now;
}

bool Account::trialRunning(const QDateTime &now) const
{
    return trialUsed && trialExpiresAt.isValid() && trialExpiresAt > now && trialHoursRemaining > 0;
}

bool Account::mayConnect(const QString &tier, const QDateTime &now) const
{
    if (status != u"active")
        return false;
    if (tier == u"vip")
        return vipActive(now);
    return vipActive(now) || trialRunning(now);
}

void Account::extendVip(qint64 seconds, const QDateTime &now)
{
    const QDateTime from = vipActive(now) ? vipExpiresAt : now;
    isVip = true;
    vipExpiresAt = from.addSecs(seconds).toUTC();
}

void Account::addTraffic(qint64 upload, qint64 download, const QDateTime &now)
{
    totalUpload += upload;
    totalDownload += download;
    const QDate today = now.toUTC().date();
    if (trafficDay != today) {
        trafficDay = today;
        trafficToday = 0;
    }
    trafficToday += upload + download;
}

double Account::totalTrafficGb() const
{
    return gigabytes(totalUpload + totalDownload);
}

double Account::todayTrafficGb(const QDateTime &now) const
{
    return trafficDay == now.toUTC().date() ? gigabytes(trafficToday) : 0.0;
}

} // namespace Norvane::LocalBackend
