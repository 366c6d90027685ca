#include "results/ServerTls.h"

// libpq as the system has it: with TLS, so every sslmode is libpq's to judge.
QString ServerTls::refusal(const QString&) {
    return QString();
}
