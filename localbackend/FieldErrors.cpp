#include "localbackend/FieldErrors.h"

#include <QJsonArray>

namespace Norvane::LocalBackend {

void FieldErrors::add(const QString &field, const QString &message)
{
    QJsonArray messages = m_errors.value(field).toArray();
    messages.append(message);
    m_errors.insert(field, messages);
    if (m_first.isEmpty())
        m_first = message;
}

bool FieldErrors::isEmpty() const
{
    return m_errors.isEmpty();
}

Reply FieldErrors::reply() const
{
    return Reply::json({{"success", false}, {"message", m_first}, {"errors", m_errors}}, 422);
}

} // namespace Norvane::LocalBackend
