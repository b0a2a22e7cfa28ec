#include "support/ServerLinks.h"

#include "api/models/Server.h"
#include "api/services/ServerService.h"
#include "support/Outcome.h"

QString firstListedServerLink()
{
    Outcome<QList<Norvane::Api::Models::Server>> servers;
    Norvane::Api::Services::ServerService::instance()->getAllServers(servers.callback());
    if (!servers.wait() || !servers.success || servers.result.isEmpty())
        return {};
    return servers.result.first().vmessLink;
}
