#pragma once

namespace Norvane::LocalBackend {

class LocalBackendServer;
struct BackendState;

// auth/register, auth/login, auth/logout and auth/me.
class AuthRoutes
{
public:
    AuthRoutes() = delete;
    static void install(LocalBackendServer &server, BackendState &state);
};

} // namespace Norvane::LocalBackend
