#include "ctl/ConsoleView.h"

#include <QCoreApplication>

#include "ctl/Terminal.h"

ConsoleView::ConsoleView(std::FILE* out, std::FILE* err)
    : out_(out), progress_(err), progressIsTerminal_(Terminal::isTerminal(err)) {}

bool ConsoleView::isFailure(const QString& m) {
    return m == QLatin1String("Error!!") || m == QLatin1String("Error") ||
           m == QLatin1String("No Response !!") || m == QLatin1String("Write EDID Fail!!") ||
           m.startsWith(QLatin1String("Open COM Port"));
}

void ConsoleView::showMessage(const QString& text, const QString& detail) {
    endProgress();
    messages << text;
    std::FILE* to = isFailure(text) ? progress_ : out_;
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
    std::fflush(to);
    if (!detail.isEmpty()) {
        std::fprintf(progress_, "%s\n", detail.toLocal8Bit().constData());
        std::fflush(progress_);
    }
}

void ConsoleView::setGauge(int percent) {
    if (!progressIsTerminal_) {
        // Plain lines, one per change, for logs that are not a terminal.
        if (plainProgress && percent != lastPercent_) {
            std::fprintf(progress_, "progress %d%%\n", percent);
            std::fflush(progress_);
        }
        lastPercent_ = percent;
        return;
    }
    constexpr int Width = 40;
    const int filled = Width * qBound(0, percent, 100) / 100;
    std::fprintf(progress_, "\r[%s%s] %3d%%", QByteArray(filled, '#').constData(),
                 QByteArray(Width - filled, ' ').constData(), percent);
    std::fflush(progress_);
    barShown_ = true;
}

void ConsoleView::processEventsOnce() {
    QCoreApplication::processEvents();
}

void ConsoleView::endProgress() {
    if (!barShown_)
        return;
    std::fprintf(progress_, "\n");
    std::fflush(progress_);
    barShown_ = false;
}
