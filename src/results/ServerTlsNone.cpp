#include "results/ServerTls.h"

// The libpq shipped beside the Windows programs is built without TLS: modes that need it fail.
QString ServerTls::refusal(const QString& sslmode) {
    if (sslmode == QLatin1String("require") || sslmode == QLatin1String("verify-ca") ||
        sslmode == QLatin1String("verify-full"))
        return QStringLiteral(
                   "sslmode=%1 cannot be met: the PostgreSQL client shipped with the Windows "
                   "programs has no TLS (reach the server over a trusted network or a tunnel, "
                   "without sslmode=%1)")
            .arg(sslmode);
    return QString();
}
