#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

namespace Norvane::LocalBackend {

// Strict checks of the JSON objects that fill the back end: every member must be known and of
// its kind, and required members must be there. The problems read as the tail of a sentence
// ("has no \"email\"") so callers can put where the object came from in front.
class JsonShape
{
public:
    enum class Kind {
        Integer,          // a whole number in the int range
        Count,            // a whole number of at least 0, exact in a double
        Number,           // any number
        Text,             // a string, possibly empty
        NonEmptyText,     // a string with something in it
        Boolean,
        DateTime,         // an ISO 8601 text
        OptionalDateTime, // an ISO 8601 text or null
        TextList,         // an array of non-empty strings
        Object,
    };

    struct Member
    {
        QString name;
        Kind kind;
        bool required = false;
    };

    // Empty when the object fits the members.
    static QString problem(const QJsonObject &object, const QList<Member> &members);
    static QString valueProblem(const QJsonValue &value, Kind kind);
};

} // namespace Norvane::LocalBackend
