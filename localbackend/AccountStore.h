#pragma once

#include "localbackend/Account.h"
#include "localbackend/LocalBackendServer.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QString>

namespace Norvane::LocalBackend {

// The accounts and the bearer tokens issued to them. Pointers it hands out stay valid until
// the next add().
class AccountStore
{
public:
    // Fills the store from the seed's "accounts" section: e-mail, password, name, status,
    // "vip_days" (VIP from now for that long) and "trial_hours" (a free trial running from now).
    // Returns what is wrong with the section, empty when it is good.
    QString load(const QJsonArray &section, const QDateTime &now);

    Account *find(const QString &email);
    const Account *find(const QString &email) const;
    Account *byId(int id);
    // Gives the account the next id.
    Account &add(Account account);
    QList<Account> accounts() const { return m_accounts; }

    QString issueToken(int accountId);
    void revokeToken(const QString &token);
    // The account of a valid "Authorization: Bearer <token>" header, null otherwise.
    Account *authenticated(const RecordedRequest &request);

    static QString bearerToken(const RecordedRequest &request);
    static bool isValidEmail(const QString &email);
    static bool isKnownStatus(const QString &status);

private:
    QList<Account> m_accounts;
    QHash<QString, int> m_accountOfToken;
    int m_nextId = 1;
};

} // namespace Norvane::LocalBackend
