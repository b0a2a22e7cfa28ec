#pragma once

#include <QString>

// A base URL on 127.0.0.1 whose port was just free again, so connecting to it is refused.
QString refusedBaseUrl();
