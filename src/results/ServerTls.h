#pragma once

#include <QString>

// What the PostgreSQL client library this program ships with can do about TLS: Linux's libpq
// speaks it; the one shipped for Windows has none, so a location that asks for it is refused
// there with that reason, instead of libpq's own words about how it was built.
class ServerTls {
public:
    // Empty when a server location's sslmode can be met; else why not.
    static QString refusal(const QString& sslmode);
};
