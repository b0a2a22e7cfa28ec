#pragma once

#include "localbackend/LocalBackendServer.h"

#include <functional>

namespace Norvane::LocalBackend {

struct Account;
struct BackendState;

// Wraps the handler of an endpoint that needs the login: without a valid bearer token the
// request is answered 401 {"success":false,"message":"未授权"} and the handler is not run.
class AuthGuard
{
public:
    using Handler = std::function<Reply(const RecordedRequest &, Account &)>;

    AuthGuard() = delete;
    static LocalBackendServer::Handler require(BackendState &state, Handler handler);
};

} // namespace Norvane::LocalBackend
