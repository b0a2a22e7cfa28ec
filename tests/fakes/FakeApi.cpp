#include "fakes/FakeApi.h"

namespace Norvane::Testing {

FakeApi::FakeApi(QObject *parent)
    : FakeQmlApiAdapter(parent)
{
}

QStringList FakeApi::calls() const
{
    return m_calls;
}

int FakeApi::callCount(const QString &name) const
{
    const QString prefix = name + QLatin1Char('(');
    int count = 0;
    for (const QString &call : m_calls)
        count += call.startsWith(prefix) ? 1 : 0;
    return count;
}

void FakeApi::clearCalls()
{
    m_calls.clear();
}

void FakeApi::setAccount(const QVariantMap &account)
{
    m_isLoggedIn = account.value(QStringLiteral("isLoggedIn"), m_isLoggedIn).toBool();
    m_userEmail = account.value(QStringLiteral("userEmail"), m_userEmail).toString();
    m_userName = account.value(QStringLiteral("userName"), m_userName).toString();
    m_isVip = account.value(QStringLiteral("isVip"), m_isVip).toBool();
    m_vipExpiresAt = account.value(QStringLiteral("vipExpiresAt"), m_vipExpiresAt).toString();
    m_vipDays = account.value(QStringLiteral("vipDays"), m_vipDays).toInt();
    m_freeMinutes = account.value(QStringLiteral("freeMinutes"), m_freeMinutes).toInt();
    m_canConnect = account.value(QStringLiteral("canConnect"), m_canConnect).toBool();
}

void FakeApi::setConnectVpnResult(bool result)
{
    m_connectVpnResult = result;
}

void FakeApi::setPermissionCode(int code)
{
    m_permissionCode = code;
}

void FakeApi::setEchoCalls(bool echo)
{
    m_echoCalls = echo;
}

void FakeApi::setConnectVpnFailure(int reasonCode, const QString &message)
{
    m_connectFailureCode = reasonCode;
    m_connectFailureText = message;
}

void FakeApi::setFailureReasonText(int reasonCode, const QString &text)
{
    m_failureReasonTexts.insert(reasonCode, text);
}

} // namespace Norvane::Testing
