#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QProcess;
class QTimer;

// One run of edid-decode -c (Debian's package edid-decode) over an EDID fed on its standard
// input, without waiting for it: finished() comes when it has ended, failed to start or run
// out of time. Starting again drops a run that is still going.
class EdidDecodeRun : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        None,                // nothing has run yet, or a run is going
        Decoded,             // exit status 0
        ConformityFailures,  // 254: decoded, with conformity failures
        NotAnEdid,           // 255
        Missing,             // not installed, or could not be started
        TimedOut,
        Failed,  // another exit status, or it crashed
    };

    static constexpr int DefaultTimeoutMs = 10000;
    // More report than any EDID gives; a runaway output is cut here.
    static constexpr qint64 MaxReportBytes = 4 * 1024 * 1024;
    static const QString InstallHint;

    explicit EdidDecodeRun(QObject* parent = nullptr);
    ~EdidDecodeRun() override;

    // The program to run: a path, or a name looked up on PATH (default "edid-decode").
    void setProgram(const QString& program) { program_ = program; }
    QString program() const { return program_; }
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }

    void start(const QByteArray& edid);
    // Ends a run that is going; no finished() follows for it.
    void stop();
    bool isRunning() const { return process_ != nullptr; }

    Outcome outcome() const { return outcome_; }
    int exitCode() const { return exitCode_; }
    // What edid-decode printed (standard output and error as they came).
    QString report() const { return QString::fromUtf8(output_); }
    // Its "EDID conformity: PASS" or "... FAIL" line; empty if it printed none.
    QString conformityLine() const { return conformityLineOf(report()); }
    // The outcome in words, for the operator.
    QString outcomeText() const;

    static QString conformityLineOf(const QString& report);
    // Full path of the program, or empty when it cannot be found.
    static QString findProgram(const QString& program);

signals:
    void finished();

private:
    void end(Outcome outcome, int exitCode);

    QString program_ = QStringLiteral("edid-decode");
    int timeoutMs_ = DefaultTimeoutMs;
    QProcess* process_ = nullptr;
    QTimer* timer_;
    QByteArray output_;
    Outcome outcome_ = Outcome::None;
    int exitCode_ = 0;
    QString startError_;
};
