#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace Norvane::Platform {

// Strict reading of one object of the core's configuration document. Every problem throws its
// text as a QString, prefixed with where the object sits ("outbounds[0]: ..."), so a document
// the translation does not fully understand is refused rather than half translated.
class JsonFields
{
public:
    JsonFields(const QJsonObject &object, const QString &where);

    // Objects of an array, each read with its position in `where`.
    static QList<JsonFields> elements(const QJsonArray &array, const QString &where);

    QString where() const { return m_where; }
    bool has(const QString &key) const { return m_object.contains(key); }
    void allowOnly(const QStringList &keys) const;

    QString string(const QString &key) const;                       // present and not empty
    QString optionalString(const QString &key, const QString &fallback) const;
    int port(const QString &key) const;                             // present, 1 to 65535
    int integer(const QString &key, int fallback) const;            // a whole number from 0
    bool boolean(const QString &key, bool fallback) const;
    QJsonObject object(const QString &key) const;                   // empty when absent
    QJsonArray array(const QString &key) const;                     // empty when absent
    QStringList stringList(const QString &key) const;               // one text or a list; empty when absent
    QList<int> portList(const QString &key) const;                  // one port or a list; empty when absent

    [[noreturn]] void fail(const QString &problem) const;

private:
    QJsonValue value(const QString &key) const { return m_object.value(key); }

    QJsonObject m_object;
    QString m_where;
};

} // namespace Norvane::Platform
