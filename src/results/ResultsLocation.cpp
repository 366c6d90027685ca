#include "results/ResultsLocation.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include "results/ServerTls.h"

namespace {

const QString Schemes[] = {QStringLiteral("postgresql://"), QStringLiteral("postgres://")};

// Parameters that the URL's own parts carry, and the password, which never goes into one.
const QString UrlParts[] = {QStringLiteral("host"), QStringLiteral("port"),
                            QStringLiteral("dbname"), QStringLiteral("user")};

QString noPassword(const QString& url) {
    return QStringLiteral(
               "%1: a password does not go into the URL (it would show in plan files, reports, "
               "logs and the process list): libpq reads it from its password file (~/.pgpass; "
               "on Windows %APPDATA%\\postgresql\\pgpass.conf; or the file PGPASSFILE names)")
        .arg(url);
}

// A value as libpq's connection string takes it: quoted, with ' and \ escaped.
QString quoted(QString value) {
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    value.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

}  // namespace

bool ResultsLocation::isServerUrl(const QString& text) {
    for (const QString& s : Schemes)
        if (text.startsWith(s, Qt::CaseInsensitive))
            return true;
    return false;
}

bool ResultsLocation::parse(const QString& text, ResultsLocation& out, QString& error) {
    out = ResultsLocation();
    if (!isServerUrl(text)) {
        out.path_ = out.text_ = text;
        return true;
    }
    out.kind_ = Kind::Server;
    const QUrl url(text, QUrl::StrictMode);
    // Shown without anything after an '@' that could be a password mistyped into the URL.
    out.text_ = url.isValid() ? url.toString(QUrl::RemovePassword) : text;
    auto refuse = [&](const QString& why) {
        error = QStringLiteral("%1: %2").arg(out.text_, why);
        return false;
    };
    if (!url.isValid())
        return refuse(QStringLiteral("not a URL (%1)").arg(url.errorString()));
    if (!url.password().isEmpty()) {
        error = noPassword(out.text_);
        return false;
    }
    out.role_ = url.userName(QUrl::FullyDecoded);
    out.host_ = url.host(QUrl::FullyDecoded);
    out.port_ = url.port(-1);
    out.database_ = url.path(QUrl::FullyDecoded).mid(1);
    if (out.role_.isEmpty() || out.host_.isEmpty() || out.database_.isEmpty() ||
        out.database_.contains(QLatin1Char('/')))
        return refuse(
            QStringLiteral("a server is named as postgresql://ROLE@HOST[:PORT]/DATABASE"));
    if (url.hasFragment())
        return refuse(QStringLiteral("a server's URL has no '#' part"));
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("password")) {
            out.text_ = url.toString(QUrl::RemovePassword | QUrl::RemoveQuery);
            error = noPassword(out.text_);
            return false;
        }
        for (const QString& part : UrlParts)
            if (key == part)
                return refuse(
                    QStringLiteral("'%1' goes into the URL itself, not after '?'").arg(key));
        // Qt's driver turns every ';' of the parameters into a blank.
        if (value.contains(QLatin1Char(';')) || key.isEmpty() ||
            !key.contains(QRegularExpression(QStringLiteral("^[a-z_]+$"))))
            return refuse(QStringLiteral("the parameter '%1=%2' cannot be used").arg(key, value));
        out.parameters_.append({key, value});
    }
    const QString tls = ServerTls::refusal(out.parameter(QStringLiteral("sslmode")));
    if (!tls.isEmpty())
        return refuse(tls);
    return true;
}

QString ResultsLocation::parameter(const QString& key) const {
    for (const auto& [k, v] : parameters_)
        if (k == key)
            return v;
    return QString();
}

QString ResultsLocation::connectOptions() const {
    QStringList options;
    // An unreachable server must never hold a caller for long; the operator may ask for more.
    if (parameter(QStringLiteral("connect_timeout")).isEmpty())
        options << QStringLiteral("connect_timeout=%1").arg(DefaultConnectTimeoutSeconds);
    // The server's list of sessions names the program.
    if (parameter(QStringLiteral("application_name")).isEmpty() &&
        !QCoreApplication::applicationName().isEmpty())
        options << QStringLiteral("application_name=") +
                       quoted(QCoreApplication::applicationName());
    for (const auto& [k, v] : parameters_) options << k + QLatin1Char('=') + quoted(v);
    return options.join(QLatin1Char(';'));
}
