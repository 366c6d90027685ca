#pragma once

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "FakeClock.h"
#include "FakeLine.h"
#include "link/LinkEngine.h"
#include "link/TappedLine.h"
#include "ui/AppWindows.h"
#include "ui/TMainForm.h"
#include "ui/TStatusBar.h"

// The program's windows on a fake line and clock, with message boxes recorded instead of shown.
struct GuiRig {
    FakeClock clock;
    FakeLine line{&clock};
    // Records the fake line on the fake clock; the engine talks through it only when the rig
    // is made tapped, and only then is the Link Monitor made.
    TappedLine tap{line, TappedLine::DefaultCapacity, [this] { return double(clock.now); }};
    LinkEngine engine{line, clock};
    std::unique_ptr<AppWindows> windows;
    QStringList messages;
    QStringList details;
    // Runs while a message "is open", as the timers would inside a real modal box.
    std::function<void()> whileMessageOpen;
    // Questions asked ("text | detail"), answered with confirmAnswer; the file dialogs are
    // cancelled. Tests replace the hooks to answer otherwise.
    QStringList questions;
    bool confirmAnswer = false;

    explicit GuiRig(bool tapped = false)
        : engine(tapped ? static_cast<SerialLine&>(tap) : line, clock) {
        line.answerFrames = true;
        windows = std::make_unique<AppWindows>(engine, tapped ? &tap : nullptr);
        main().setMessageHook([this](const QString& text, const QString& detail) {
            messages << text;
            details << detail;
            if (whileMessageOpen)
                whileMessageOpen();
        });
        main().setConfirmHook([this](const QString& text, const QString& detail, const QString&) {
            questions << text + " | " + detail;
            return confirmAnswer;
        });
        main().setFileDialogHook(
            [](TMainForm::FileDialogKind, const QString&) { return QString(); });
        // The tests drive the poll and the tick by hand.
        main().Timer1()->stop();
        main().Timer2()->stop();
        main().show();
    }

    TMainForm& main() { return *windows->MainForm; }
    TCOM_PORT_SETTING_FORM& portDialog() { return *windows->COM_PORT_SETTING_FORM; }
    QAction* menuItem(const char* name) { return main().findChild<QAction*>(QLatin1String(name)); }
    QColor panelPixel(int panel, int x) {
        QWidget& p = main().StatusBar1()->panel(panel);
        return p.grab().toImage().pixelColor(x, p.height() / 2);
    }
    void pump() {
        engine.receivePoll();
        engine.supervisionTick();
    }
    // Presence as after an answered presence query, without going through the dialog.
    void makePresent(quint8 port = 1) {
        line.open(port);
        engine.state().portNumber = port;
        engine.state().portOpen = 1;
        engine.ShowDevicePresent();
        line.opens.clear();
    }
};

// Triggers something that shows a modal window, runs `inside` once it is up and returns what
// was active then. A safety timer closes any modal window left open so a failure cannot hang.
inline QWidget* runModal(const std::function<void()>& trigger,
                         const std::function<void(QWidget* modal)>& inside) {
    QWidget* seen = nullptr;
    QTimer::singleShot(0, [&] {
        seen = QApplication::activeModalWidget();
        inside(seen);
    });
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] {
        if (QWidget* w = QApplication::activeModalWidget())
            w->close();
    });
    safety.start(5000);
    trigger();
    return seen;
}
