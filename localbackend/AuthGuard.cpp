#include "localbackend/AuthGuard.h"

#include "localbackend/BackendState.h"
#include "localbackend/Replies.h"

namespace Norvane::LocalBackend {

LocalBackendServer::Handler AuthGuard::require(BackendState &state, Handler handler)
{
    return [&state, handler = std::move(handler)](const RecordedRequest &request) {
        Account *account = state.accountFor(request);
        return account ? handler(request, *account) : Replies::unauthorized();
    };
}

} // namespace Norvane::LocalBackend
