// Runs EDID > Upload EDID in the real main window, with the real clock and timers, against a
// line that answers at once, and reports how long the event loop went unserved during the data
// phase (the 256 framed bytes) and the processor time the upload took.
#include <time.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "ScriptedLine.h"
#include "link/LinkEngine.h"
#include "link/SerialLine.h"
#include "link/SteadyClock.h"
#include "ui/AppWindows.h"
#include "ui/TMainForm.h"

namespace {

// Answers every command frame, and the 768 bytes of the upload's data phase, with "OK".
class AnsweringLine : public ScriptedLine {
protected:
    void onByte(quint8 value) override {
        sent_.append(char(value));
        if (sent_.endsWith("\n\r")) {
            answer("OK\r\n");
            dataBytes_ = 0;
            sent_.clear();
        } else if (++dataBytes_ == 768) {
            answer("OK\r\n");
        }
        if (sent_.size() > 64)
            sent_ = sent_.right(2);
    }

private:
    QByteArray sent_;
    int dataBytes_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AnsweringLine line;
    SteadyClock clock;
    LinkEngine engine(line, clock);
    AppWindows windows(engine);
    TMainForm& main = *windows.MainForm;
    main.show();
    for (int i = 0; i < 256; ++i) engine.edid()[i] = quint8(i);
    engine.edid()[0] = 0x00;
    for (int i = 1; i < 7; ++i) engine.edid()[i] = 0xFF;
    engine.edid()[7] = 0x00;
    engine.state().portNumber = 1;
    engine.state().portOpen = 1;
    engine.ShowDevicePresent();

    // A fine timer stands for every event the loop serves: the longest time between two of
    // its runs while the bytes go out is the longest the window went unanswered.
    QElapsedTimer wall;
    wall.start();
    qint64 last = -1;
    qint64 longest = 0;
    int over125 = 0;
    qint64 phaseStart = -1;
    qint64 phaseEnd = -1;
    double cpuStart = 0;
    double cpuEnd = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = wall.nsecsElapsed();
        const bool sending = engine.state().uedidSlot == CommandSlot::AwaitingFinal;
        if (sending && phaseStart < 0) {
            phaseStart = now;
            cpuStart = cpuSeconds();
        } else if (sending && last >= 0) {
            longest = std::max(longest, now - last);
            over125 += now - last > 125000000 ? 1 : 0;
        } else if (!sending && phaseStart >= 0 && phaseEnd < 0) {
            phaseEnd = now;
            cpuEnd = cpuSeconds();
        }
        last = now;
    });
    main.setMessageHook([&](const QString& text, const QString&) {
        std::printf("message: %s\n", qPrintable(text));
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    });
    probe.start();
    QTimer::singleShot(100,
                       [&] { main.findChild<QAction*>(QStringLiteral("WRITE_EDID"))->trigger(); });
    app.exec();
    if (phaseStart < 0 || phaseEnd < 0) {
        std::printf("the upload did not run\n");
        return 1;
    }
    const double seconds = (phaseEnd - phaseStart) / 1e9;
    std::printf("data phase: %.2f s\n", seconds);
    std::printf(
        "longest time the event loop went unserved while sending: %.1f ms "
        "(%d times above 125 ms)\n",
        longest / 1e6, over125);
    std::printf("cpu: %.2f s over %.2f s = %.1f %% of a core\n", cpuEnd - cpuStart, seconds,
                100.0 * (cpuEnd - cpuStart) / seconds);
    return 0;
}
