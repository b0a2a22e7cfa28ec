#pragma once

#include <QString>

namespace Norvane::LocalBackend {
class ApiRoutes;
}

// A vmess link (or the same text under another prefix) of a server at the given address,
// port 443 over tcp.
QString vmessLinkTo(const QString &address, const QString &prefix = QStringLiteral("vmess://"));

// The vmess link of the first server the back end lists, fetched through the client's server
// service; empty when the list could not be had or is empty.
QString firstListedServerLink();

// Reloads the back end with the built-in seed reduced to its first (free) server, whose link
// becomes the given one; false, with a warning, when the seed is refused.
bool seedSingleServer(Norvane::LocalBackend::ApiRoutes &routes, const QString &link);
