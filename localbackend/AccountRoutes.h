#pragma once

#include "localbackend/AccountStore.h"
#include "localbackend/ConfigItems.h"
#include "localbackend/LocalBackendServer.h"

namespace Norvane::LocalBackend {

// auth/register, auth/login, auth/logout and auth/me.
class AccountRoutes
{
public:
    AccountRoutes(LocalBackendServer &server, AccountStore &accounts, const ConfigItems &configs);
    AccountRoutes(const AccountRoutes &) = delete;
    AccountRoutes &operator=(const AccountRoutes &) = delete;

private:
    Reply registerAccount(const RecordedRequest &request);
    Reply login(const RecordedRequest &request);
    Reply logout(const RecordedRequest &request);
    Reply me(const RecordedRequest &request);
    // The login and registration reply: the token beside the user record.
    Reply signedIn(const Account &account, const QString &message, int status);

    AccountStore &m_accounts;
    const ConfigItems &m_configs;
};

} // namespace Norvane::LocalBackend
