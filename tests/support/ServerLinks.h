#pragma once

#include <QString>

// The vmess link of the first server the back end lists, fetched through the client's server
// service; empty when the list could not be had or is empty.
QString firstListedServerLink();
