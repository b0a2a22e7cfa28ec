#pragma once

namespace Norvane::LocalBackend {

class LocalBackendServer;
struct BackendState;

// configs, servers (by tier) and a server's detail, plans and announcements (by platform).
class CatalogueRoutes
{
public:
    CatalogueRoutes() = delete;
    static void install(LocalBackendServer &server, BackendState &state);
};

} // namespace Norvane::LocalBackend
