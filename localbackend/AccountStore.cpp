#include "localbackend/AccountStore.h"

#include "localbackend/SeedEntry.h"

#include <QRandomGenerator>
#include <QRegularExpression>

namespace Norvane::LocalBackend {

namespace {

const QByteArray kBearerPrefix = "Bearer ";

} // namespace

QString AccountStore::load(const QJsonArray &section, const QDateTime &now)
{
    AccountStore fresh;
    for (qsizetype i = 0; i < section.size(); ++i) {
        SeedEntry entry(section.at(i), QStringLiteral("accounts[%1]").arg(i));
        entry.allowOnly({"email", "password", "name", "status", "vip_days", "trial_hours"});
        Account account;
        account.email = entry.requiredText("email").toLower();
        account.password = entry.requiredText("password");
        account.name = entry.optionalText("name");
        account.status = entry.optionalText("status", account.status);
        const double vipDays = entry.optionalNumber("vip_days", 0);
        const int trialHours = entry.optionalInt("trial_hours", 0);
        if (!account.email.isEmpty()) {
            entry.require(isValidEmail(account.email),
                          QStringLiteral("\"%1\" is not an e-mail address").arg(account.email));
            entry.require(!fresh.find(account.email),
                          QStringLiteral("e-mail \"%1\" appears twice").arg(account.email));
        }
        entry.require(isKnownStatus(account.status),
                      QStringLiteral("status \"%1\" is not active, suspended or banned").arg(account.status));
        entry.require(vipDays >= 0, QStringLiteral("\"vip_days\" is below 0"));
        entry.require(trialHours >= 0, QStringLiteral("\"trial_hours\" is below 0"));
        if (!entry.problem().isEmpty())
            return entry.problem();

        account.createdAt = now;
        if (vipDays > 0)
            account.grantVip(now, qint64(vipDays * 86400));
        if (trialHours > 0) {
            account.trialUsed = true;
            account.trialHoursTotal = trialHours;
            account.trialExpiresAt = now.addSecs(qint64(trialHours) * 3600);
            account.freeTrialCount = 1;
        }
        fresh.add(account);
    }
    *this = fresh;
    return {};
}

Account *AccountStore::find(const QString &email)
{
    const QString wanted = email.trimmed().toLower();
    for (Account &account : m_accounts) {
        if (account.email == wanted)
            return &account;
    }
    return nullptr;
}

const Account *AccountStore::find(const QString &email) const
{
    return const_cast<AccountStore *>(this)->find(email);
}

Account *AccountStore::byId(int id)
{
    for (Account &account : m_accounts) {
        if (account.id == id)
            return &account;
    }
    return nullptr;
}

Account &AccountStore::add(Account account)
{
    account.id = m_nextId++;
    m_accounts.append(account);
    return m_accounts.last();
}

QString AccountStore::issueToken(int accountId)
{
    QString token;
    do {
        QByteArray bytes(24, Qt::Uninitialized);
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        token = QString::fromLatin1(bytes.toHex());
    } while (m_accountOfToken.contains(token));
    m_accountOfToken.insert(token, accountId);
    return token;
}

void AccountStore::revokeToken(const QString &token)
{
    m_accountOfToken.remove(token);
}

Account *AccountStore::authenticated(const RecordedRequest &request)
{
    const QString token = bearerToken(request);
    if (token.isEmpty() || !m_accountOfToken.contains(token))
        return nullptr;
    return byId(m_accountOfToken.value(token));
}

QString AccountStore::bearerToken(const RecordedRequest &request)
{
    const QByteArray header = request.header("Authorization");
    if (!header.startsWith(kBearerPrefix))
        return {};
    return QString::fromLatin1(header.mid(kBearerPrefix.size()).trimmed());
}

bool AccountStore::isValidEmail(const QString &email)
{
    static const QRegularExpression pattern(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"));
    return email.size() <= 255 && pattern.match(email).hasMatch();
}

bool AccountStore::isKnownStatus(const QString &status)
{
    return status == u"active" || status == u"suspended" || status == u"banned";
}

} // namespace Norvane::LocalBackend
