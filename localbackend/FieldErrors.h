#pragma once

#include "localbackend/LocalBackendServer.h"

#include <QJsonObject>
#include <QString>

namespace Norvane::LocalBackend {

// The per-field messages of a refused request body or query, answered as
// 422 {"success":false,"message":<the first message>,"errors":{"field":["message"]}}.
class FieldErrors
{
public:
    void add(const QString &field, const QString &message);
    bool isEmpty() const;
    Reply reply() const;

private:
    QJsonObject m_errors;
    QString m_first;
};

} // namespace Norvane::LocalBackend
