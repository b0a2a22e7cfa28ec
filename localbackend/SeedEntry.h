#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

namespace Norvane::LocalBackend {

// Reads the members of one object of a seed section with strict checks and keeps the first
// problem, prefixed with where the object sits ("accounts[0]: ..."). Reads after a problem
// return their defaults, so a reader checks problem() once at the end.
class SeedEntry
{
public:
    SeedEntry(const QJsonValue &value, const QString &where);

    QString requiredText(const QString &key);                        // a non-empty string
    QString optionalText(const QString &key, const QString &fallback = {});
    int requiredId(const QString &key);                              // a whole number above 0
    int optionalInt(const QString &key, int fallback);
    double requiredNumber(const QString &key);
    double optionalNumber(const QString &key, double fallback);
    bool optionalBool(const QString &key, bool fallback);

    void require(bool condition, const QString &problem);
    void allowOnly(const QStringList &keys);

    QString problem() const { return m_problem; }
    QJsonObject object() const { return m_object; }

private:
    bool present(const QString &key, bool required);
    void fail(const QString &problem);

    QJsonObject m_object;
    QString m_where;
    QString m_problem;
};

} // namespace Norvane::LocalBackend
