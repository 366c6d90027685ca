#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "link/TappedLine.h"

// Turns what a TappedLine recorded into lines an operator can read: one line per command frame,
// per framed data byte and per chunk received, with its time, direction, bytes (hexadecimal and
// text), the command it belongs to and, for bytes sent, the gaps between them.
class LinkTrace {
public:
    struct Line {
        double ms = 0;      // time of the first byte
        bool sent = false;  // put on the line, or received
        QString label;      // "TMIX frame", "TMIX data", "reply"
        QByteArray bytes;
        double gapMs = -1;    // sent: from the byte sent before this line; -1 for the first
        double widestMs = 0;  // sent: the largest gap between this line's own bytes
    };

    // Feeds one event; lines it completes are appended to out.
    void feed(const TappedLine::Event& event, std::vector<Line>& out);
    // Bytes sent that do not make a whole frame or data byte yet, as a line (appended to out).
    void flush(std::vector<Line>& out);
    // Some bytes sent wait for the rest of their frame or data byte.
    bool pending() const { return pendingOpen_; }
    // Forgets the time origin, so the next line starts at 0 again.
    void restartClock() { originSet_ = false; }

    // One line of text; times are relative to the first line fed since the last restart.
    QString format(const Line& line) const;
    static QString hex(const QByteArray& bytes);
    // Printable ASCII as it is (line feeds too, when asked), everything else as \xNN.
    static QString text(const QByteArray& bytes, bool keepLineFeeds = false);

private:
    enum class Stage { Idle, Keyword, Argument, Blank, LineFeed, Return, Value, Trail };

    void put(quint8 b, double ms, std::vector<Line>& out);
    void startLine(const QString& label, quint8 b, double ms);
    void addByte(quint8 b, double ms);
    void finish(std::vector<Line>& out);
    double origin(double ms);

    Stage stage_ = Stage::Idle;
    Line pending_;
    bool pendingOpen_ = false;
    QByteArray keyword_;
    QByteArray command_;  // keyword of the last whole frame, for its data bytes
    double lastSentMs_ = -1;
    double originMs_ = 0;
    bool originSet_ = false;
};
