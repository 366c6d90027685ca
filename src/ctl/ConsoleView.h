#pragma once

#include <QStringList>
#include <cstdio>

#include "link/LinkView.h"

// The engine's screen on a terminal: messages one a line, verbatim, success texts on standard
// output and failure texts on standard error; progress on standard error, as a bar when that
// is a terminal, as plain lines when asked for.
class ConsoleView : public LinkView {
public:
    explicit ConsoleView(std::FILE* out = stdout, std::FILE* err = stderr);

    QStringList messages;  // every message shown, in order
    QByteArray log;        // what the generator sent since the last command started
    bool plainProgress = false;

    // The generator's texts that say a command did not do its work.
    static bool isFailure(const QString& message);

    void showMessage(const QString& text, const QString& detail) override;
    void showDevicePresent() override {}
    void showDeviceAbsent() override {}
    void setGauge(int percent) override;
    void clearLog() override { log.clear(); }
    void appendLog(const QByteArray& bytes) override { log += bytes; }
    void setPanel0OwnerDrawn() override {}
    void processEventsOnce() override;
    // Ends a bar that is on screen, so what follows starts on a new line.
    void endProgress();

private:
    std::FILE* out_;
    std::FILE* progress_;
    bool progressIsTerminal_;
    bool barShown_ = false;
    int lastPercent_ = -1;
};
