#pragma once

#include "localbackend/AccountStore.h"
#include "localbackend/AnnouncementBoard.h"
#include "localbackend/LocalBackendServer.h"
#include "localbackend/PlanCatalogue.h"
#include "localbackend/ServerCatalogue.h"

namespace Norvane::LocalBackend {

// servers, servers/{id}, plans and announcements. All are public; a bearer token on the server
// requests only tells whose "can_connect" to work out, and a stale one is refused.
class CatalogueRoutes
{
public:
    CatalogueRoutes(LocalBackendServer &server, AccountStore &accounts, const ServerCatalogue &servers,
                    const PlanCatalogue &plans, const AnnouncementBoard &announcements);
    CatalogueRoutes(const CatalogueRoutes &) = delete;
    CatalogueRoutes &operator=(const CatalogueRoutes &) = delete;

private:
    Reply serverList(const RecordedRequest &request);
    Reply serverDetail(const RecordedRequest &request);
    Reply planList(const RecordedRequest &request);
    Reply announcementList(const RecordedRequest &request);
    // False for a token that is sent but not valid; *viewer is null without a token.
    bool viewerOf(const RecordedRequest &request, const Account **viewer);

    AccountStore &m_accounts;
    const ServerCatalogue &m_servers;
    const PlanCatalogue &m_plans;
    const AnnouncementBoard &m_announcements;
};

} // namespace Norvane::LocalBackend
