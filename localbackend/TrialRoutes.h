#pragma once

#include "localbackend/AccountStore.h"
#include "localbackend/ConfigItems.h"
#include "localbackend/LocalBackendServer.h"

namespace Norvane::LocalBackend {

// trial/status, trial/activate-free and trial/activate-vip, ruled by the configuration items
// free_trial_enabled, free_trial_duration (hours), free_trial_max_count (activations per
// account), vip_trial_enabled and vip_trial_duration (hours; once per account).
class TrialRoutes
{
public:
    TrialRoutes(LocalBackendServer &server, AccountStore &accounts, const ConfigItems &configs);
    TrialRoutes(const TrialRoutes &) = delete;
    TrialRoutes &operator=(const TrialRoutes &) = delete;

private:
    Reply status(const RecordedRequest &request);
    Reply activateFree(const RecordedRequest &request);
    Reply activateVip(const RecordedRequest &request);
    bool freeTrialAvailable(const Account &account, const QDateTime &now) const;

    AccountStore &m_accounts;
    const ConfigItems &m_configs;
};

} // namespace Norvane::LocalBackend
