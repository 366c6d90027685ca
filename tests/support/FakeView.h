#pragma once

#include <QStringList>
#include <functional>

#include "link/LinkView.h"

// Records what the engine shows, in order. Hooks let a test run ticks from inside a message
// box or an event yield, as the real screen does.
class FakeView : public LinkView {
public:
    QStringList
        events;  // "message:TEXT", "present", "absent", "gauge:N", "clearLog", "panel0", "yield"
    QStringList messages;
    QByteArray log;
    std::vector<int> gauges;
    std::function<void(const QString&)> onMessage;
    std::function<void()> onYield;

    void showMessage(const QString& text, const QString&) override {
        events << QStringLiteral("message:") + text;
        messages << text;
        if (onMessage)
            onMessage(text);
    }
    void showDevicePresent() override { events << QStringLiteral("present"); }
    void showDeviceAbsent() override { events << QStringLiteral("absent"); }
    void setGauge(int percent) override {
        gauges.push_back(percent);
        events << QStringLiteral("gauge:%1").arg(percent);
    }
    void clearLog() override {
        log.clear();
        events << QStringLiteral("clearLog");
    }
    void appendLog(const QByteArray& bytes) override { log += bytes; }
    void setPanel0OwnerDrawn() override { events << QStringLiteral("panel0"); }
    void processEventsOnce() override {
        events << QStringLiteral("yield");
        if (onYield)
            onYield();
    }
    void reset() {
        events.clear();
        messages.clear();
        gauges.clear();
    }
};
