#pragma once

#include <QString>

namespace Norvane::LocalBackend {
class ApiRoutes;
}

// The vmess link of the first server the back end lists, fetched through the client's server
// service; empty when the list could not be had or is empty.
QString firstListedServerLink();

// Reloads the back end with the built-in seed reduced to its first (free) server, whose link
// becomes the given one; false, with a warning, when the seed is refused.
bool seedSingleServer(Norvane::LocalBackend::ApiRoutes &routes, const QString &link);
