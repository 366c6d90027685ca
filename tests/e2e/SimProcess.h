#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// The virtual generator in a private runtime directory, so a test never touches a real port.
// The same directory must be given to whatever opens COM n (see environment()).
class SimProcess {
public:
    SimProcess() { env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path()); }
    ~SimProcess() { stop(); }

    static QString bin(const QString& name) {
        return qEnvironmentVariable("ORVE1_BIN_DIR") + QLatin1Char('/') + name;
    }
    QProcessEnvironment environment() const { return env_; }
    // Registers in another simulator's runtime directory (a generator switched off and on
    // again, on the same COM port).
    void shareRuntimeDir(const SimProcess& other) {
        env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), other.runtimeDir());
        shared_ = other.runtimeDir();
    }
    QString runtimeDir() const { return shared_.isEmpty() ? dir_.path() : shared_; }

    // Starts orve1-sim with args and waits for its ready line.
    bool start(const QStringList& args) {
        proc_.setProcessEnvironment(env_);
        proc_.setProgram(bin(QStringLiteral("orve1-sim")));
        proc_.setArguments(args);
        proc_.start();
        if (!proc_.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000) {
            if (output().contains(QStringLiteral("orve1-sim: COM")))
                return true;
            proc_.waitForReadyRead(100);
        }
        return false;
    }
    // Everything the simulator printed so far.
    QString output() {
        // Without an event loop, only a wait moves the pipe's bytes into the process object.
        if (proc_.state() == QProcess::Running)
            proc_.waitForReadyRead(30);
        out_ += QString::fromUtf8(proc_.readAllStandardOutput());
        return out_;
    }
    // Waits until the output contains text.
    bool waitFor(const QString& text, int ms = 10000) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (output().contains(text))
                return true;
            QTest::qWait(20);
        }
        return output().contains(text);
    }
    void stop() {
        if (proc_.state() == QProcess::NotRunning)
            return;
        proc_.terminate();
        if (!proc_.waitForFinished(3000))
            proc_.kill();
        proc_.waitForFinished(1000);
        output();
    }
    QProcess& process() { return proc_; }

private:
    QTemporaryDir dir_;
    QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
    QProcess proc_;
    QString out_;
    QString shared_;
};
