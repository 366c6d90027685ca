#pragma once

#include <QStringList>
#include <cstdio>

#include "link/LinkView.h"

// The engine's screen on a terminal: messages on standard output, one a line, verbatim;
// progress on standard error as a bar when that is a terminal.
class ConsoleView : public LinkView {
public:
    explicit ConsoleView(std::FILE* out = stdout, std::FILE* progress = stderr);

    QStringList messages;  // every message shown, in order

    void showMessage(const QString& text, const QString& detail) override;
    void showDevicePresent() override {}
    void showDeviceAbsent() override {}
    void setGauge(int percent) override;
    void clearLog() override {}
    void appendLog(const QByteArray&) override {}
    void setPanel0OwnerDrawn() override {}
    void processEventsOnce() override;
    // Ends a bar that is on screen, so what follows starts on a new line.
    void endProgress();

private:
    std::FILE* out_;
    std::FILE* progress_;
    bool progressIsTerminal_;
    bool barShown_ = false;
};
