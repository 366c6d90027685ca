#include "ctl/ConsoleView.h"

#include <unistd.h>

#include <QCoreApplication>

ConsoleView::ConsoleView(std::FILE* out, std::FILE* progress)
    : out_(out), progress_(progress), progressIsTerminal_(::isatty(::fileno(progress)) == 1) {}

void ConsoleView::showMessage(const QString& text, const QString& detail) {
    endProgress();
    messages << text;
    std::fprintf(out_, "%s\n", text.toLocal8Bit().constData());
    std::fflush(out_);
    if (!detail.isEmpty()) {
        std::fprintf(progress_, "%s\n", detail.toLocal8Bit().constData());
        std::fflush(progress_);
    }
}

void ConsoleView::setGauge(int percent) {
    if (!progressIsTerminal_)
        return;
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
