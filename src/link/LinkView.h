#pragma once

#include <QByteArray>
#include <QString>

// What the engine needs of the screen. The main window implements it; tests fake it.
class LinkView {
public:
    virtual ~LinkView() = default;

    // A modal box with one OK button. Returns when the operator has closed it; the link's
    // timers keep running meanwhile, so poll and tick may run nested inside this call.
    virtual void showMessage(const QString& text, const QString& detail = QString()) = 0;
    // Display side of ShowDevicePresent: Connect disabled, Disconnect enabled, plain panel text.
    virtual void showDevicePresent() = 0;
    // Display side of ShowDeviceAbsent: Connect enabled, Disconnect disabled, red panel.
    virtual void showDeviceAbsent() = 0;
    virtual void setGauge(int percent) = 0;
    // The hidden reply log.
    virtual void clearLog() = 0;
    virtual void appendLog(const QByteArray& bytes) = 0;
    // Status panel 0 switched to owner drawing (after a table upload).
    virtual void setPanel0OwnerDrawn() = 0;
    // Let the event loop handle what is pending, once.
    virtual void processEventsOnce() = 0;
};
