#include "edid/EdidDecodeRun.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

const QString EdidDecodeRun::InstallHint = QStringLiteral(
    "edid-decode is not installed. Its full report and conformity check come with Debian's "
    "package edid-decode: sudo apt install edid-decode");

namespace {

// edid-decode's exit statuses with -c.
constexpr int ExitConformityFailures = 254;
constexpr int ExitNotAnEdid = 255;

}  // namespace

EdidDecodeRun::EdidDecodeRun(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] {
        stop();
        end(Outcome::TimedOut, 0);
    });
}

EdidDecodeRun::~EdidDecodeRun() {
    stop();
}

QString EdidDecodeRun::findProgram(const QString& program) {
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(program);
}

void EdidDecodeRun::start(const QByteArray& edid) {
    stop();
    output_.clear();
    outcome_ = Outcome::None;
    exitCode_ = 0;
    startError_.clear();
    const QString path = findProgram(program_);
    if (path.isEmpty()) {
        // Reported from the event loop, as a run that ends is.
        QTimer::singleShot(0, this, [this] {
            if (!process_ && outcome_ == Outcome::None)
                end(Outcome::Missing, 0);
        });
        return;
    }
    auto* p = new QProcess(this);
    process_ = p;
    p->setProcessChannelMode(QProcess::MergedChannels);
    connect(p, &QProcess::readyRead, this, [this, p] {
        const QByteArray chunk = p->readAll();
        if (output_.size() < MaxReportBytes)
            output_ += chunk.left(MaxReportBytes - output_.size());
    });
    connect(p, &QProcess::finished, this, [this, p](int code, QProcess::ExitStatus status) {
        output_ += p->readAll().left(qMax<qint64>(0, MaxReportBytes - output_.size()));
        process_ = nullptr;
        p->deleteLater();
        timer_->stop();
        if (status == QProcess::CrashExit)
            end(Outcome::Failed, -1);
        else if (code == 0)
            end(Outcome::Decoded, code);
        else if (code == ExitConformityFailures)
            end(Outcome::ConformityFailures, code);
        else if (code == ExitNotAnEdid)
            end(Outcome::NotAnEdid, code);
        else
            end(Outcome::Failed, code);
    });
    connect(p, &QProcess::errorOccurred, this, [this, p](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        startError_ = p->errorString();
        process_ = nullptr;
        p->deleteLater();
        timer_->stop();
        end(Outcome::Missing, 0);
    });
    p->start(path, {QStringLiteral("-c")});
    // Buffered until the program runs; closing its input tells it the EDID is all there.
    p->write(edid);
    p->closeWriteChannel();
    timer_->start(timeoutMs_);
}

void EdidDecodeRun::stop() {
    timer_->stop();
    QProcess* p = process_;
    if (!p)
        return;
    process_ = nullptr;
    disconnect(p, nullptr, this, nullptr);
    // Freed once it has gone, so that nothing here waits for it.
    connect(p, &QProcess::finished, p, &QObject::deleteLater);
    p->kill();
}

void EdidDecodeRun::end(Outcome outcome, int exitCode) {
    outcome_ = outcome;
    exitCode_ = exitCode;
    emit finished();
}

QString EdidDecodeRun::conformityLineOf(const QString& report) {
    static const QRegularExpression line(QStringLiteral("^EDID conformity: \\S+$"),
                                         QRegularExpression::MultilineOption);
    return line.match(report).captured(0);
}

QString EdidDecodeRun::outcomeText() const {
    switch (outcome_) {
        case Outcome::None:
            return process_ ? QStringLiteral("edid-decode is decoding the image...") : QString();
        case Outcome::Decoded:
            return QStringLiteral("edid-decode decoded the EDID (exit status 0).");
        case Outcome::ConformityFailures:
            return QStringLiteral(
                "edid-decode decoded the EDID and found conformity failures (exit status 254).");
        case Outcome::NotAnEdid:
            return QStringLiteral("edid-decode says this is not an EDID (exit status 255).");
        case Outcome::Missing:
            return startError_.isEmpty()
                       ? InstallHint
                       : QStringLiteral("edid-decode could not be started: %1").arg(startError_);
        case Outcome::TimedOut:
            return QStringLiteral("edid-decode did not finish within %1 s and was stopped.")
                .arg(timeoutMs_ / 1000.0);
        case Outcome::Failed:
        default:
            return exitCode_ < 0
                       ? QStringLiteral("edid-decode crashed.")
                       : QStringLiteral("edid-decode ended with exit status %1.").arg(exitCode_);
    }
}
