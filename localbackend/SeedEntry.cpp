#include "localbackend/SeedEntry.h"

#include <cmath>
#include <limits>

namespace Norvane::LocalBackend {

namespace {

bool isWholeInt(const QJsonValue &value)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return std::floor(number) == number && number >= std::numeric_limits<int>::min()
        && number <= std::numeric_limits<int>::max();
}

} // namespace

SeedEntry::SeedEntry(const QJsonValue &value, const QString &where) : m_where(where)
{
    if (value.isObject())
        m_object = value.toObject();
    else
        fail(QStringLiteral("is not an object"));
}

QString SeedEntry::requiredText(const QString &key)
{
    if (!present(key, true))
        return {};
    const QJsonValue value = m_object.value(key);
    if (!value.isString() || value.toString().trimmed().isEmpty()) {
        fail(QStringLiteral("\"%1\" must be a non-empty string").arg(key));
        return {};
    }
    return value.toString();
}

QString SeedEntry::optionalText(const QString &key, const QString &fallback)
{
    if (!present(key, false))
        return fallback;
    const QJsonValue value = m_object.value(key);
    if (!value.isString()) {
        fail(QStringLiteral("\"%1\" is not a string").arg(key));
        return fallback;
    }
    return value.toString();
}

int SeedEntry::requiredId(const QString &key)
{
    if (!present(key, true))
        return 0;
    const QJsonValue value = m_object.value(key);
    if (!isWholeInt(value) || value.toInt() <= 0) {
        fail(QStringLiteral("\"%1\" must be a whole number above 0").arg(key));
        return 0;
    }
    return value.toInt();
}

int SeedEntry::optionalInt(const QString &key, int fallback)
{
    if (!present(key, false))
        return fallback;
    const QJsonValue value = m_object.value(key);
    if (!isWholeInt(value)) {
        fail(QStringLiteral("\"%1\" is not a whole number").arg(key));
        return fallback;
    }
    return value.toInt();
}

double SeedEntry::requiredNumber(const QString &key)
{
    if (!present(key, true))
        return 0;
    return optionalNumber(key, 0);
}

double SeedEntry::optionalNumber(const QString &key, double fallback)
{
    if (!present(key, false))
        return fallback;
    const QJsonValue value = m_object.value(key);
    if (!value.isDouble()) {
        fail(QStringLiteral("\"%1\" is not a number").arg(key));
        return fallback;
    }
    return value.toDouble();
}

bool SeedEntry::optionalBool(const QString &key, bool fallback)
{
    if (!present(key, false))
        return fallback;
    const QJsonValue value = m_object.value(key);
    if (!value.isBool()) {
        fail(QStringLiteral("\"%1\" is not a boolean").arg(key));
        return fallback;
    }
    return value.toBool();
}

void SeedEntry::require(bool condition, const QString &problem)
{
    if (!condition)
        fail(problem);
}

void SeedEntry::allowOnly(const QStringList &keys)
{
    for (auto it = m_object.constBegin(); it != m_object.constEnd(); ++it) {
        if (!keys.contains(it.key())) {
            fail(QStringLiteral("unknown member \"%1\"").arg(it.key()));
            return;
        }
    }
}

// False after an earlier problem, so each problem is reported once and the first one wins.
bool SeedEntry::present(const QString &key, bool required)
{
    if (!m_problem.isEmpty())
        return false;
    if (m_object.contains(key))
        return true;
    if (required)
        fail(QStringLiteral("has no \"%1\"").arg(key));
    return false;
}

void SeedEntry::fail(const QString &problem)
{
    if (m_problem.isEmpty())
        m_problem = QStringLiteral("%1: %2").arg(m_where, problem);
}

} // namespace Norvane::LocalBackend
