#include "link/LinkTrace.h"

#include <algorithm>

namespace {

bool capital(quint8 b) {
    return b >= 'A' && b <= 'Z';
}

}  // namespace

double LinkTrace::origin(double ms) {
    if (!originSet_) {
        originMs_ = ms;
        originSet_ = true;
    }
    return originMs_;
}

void LinkTrace::feed(const TappedLine::Event& event, std::vector<Line>& out) {
    origin(event.ms);
    if (event.kind == TappedLine::Event::Kind::Read) {
        // Bytes are only read between sends, so whatever was being sent is over.
        flush(out);
        Line l;
        l.ms = event.ms;
        l.label = QStringLiteral("reply");
        l.bytes = event.bytes;
        out.push_back(l);
        return;
    }
    for (char c : event.bytes) put(static_cast<quint8>(c), event.ms, out);
}

void LinkTrace::startLine(const QString& label, quint8 b, double ms) {
    pending_ = Line();
    pending_.ms = ms;
    pending_.sent = true;
    pending_.label = label;
    pending_.gapMs = lastSentMs_ < 0 ? -1 : ms - lastSentMs_;
    pendingOpen_ = true;
    pending_.bytes.append(static_cast<char>(b));
    lastSentMs_ = ms;
}

void LinkTrace::addByte(quint8 b, double ms) {
    pending_.widestMs = std::max(pending_.widestMs, ms - lastSentMs_);
    pending_.bytes.append(static_cast<char>(b));
    lastSentMs_ = ms;
}

void LinkTrace::finish(std::vector<Line>& out) {
    if (pendingOpen_)
        out.push_back(pending_);
    pendingOpen_ = false;
    stage_ = Stage::Idle;
}

void LinkTrace::flush(std::vector<Line>& out) {
    if (pendingOpen_ && stage_ != Stage::Idle) {
        // A frame cut off before its line end has no name yet: call it by what it started with.
        if (pending_.label.isEmpty())
            pending_.label = QString::fromLatin1(keyword_) + QStringLiteral(" frame");
        pending_.label += QStringLiteral(" (incomplete)");
    }
    finish(out);
}

void LinkTrace::put(quint8 b, double ms, std::vector<Line>& out) {
    switch (stage_) {
        case Stage::Idle:
            if (capital(b)) {
                keyword_ = QByteArray(1, static_cast<char>(b));
                startLine(QString(), b, ms);
                stage_ = Stage::Keyword;
            } else if (b == ' ') {
                const QString owner = command_.isEmpty()
                                          ? QStringLiteral("data")
                                          : QString::fromLatin1(command_) + QStringLiteral(" data");
                startLine(owner, b, ms);
                stage_ = Stage::Value;
            } else {
                startLine(QStringLiteral("unframed byte"), b, ms);
                finish(out);
            }
            return;
        case Stage::Keyword:
            addByte(b, ms);
            if (b == ' ')
                stage_ = Stage::Argument;
            else if (capital(b))
                keyword_.append(static_cast<char>(b));
            else
                flush(out);
            return;
        case Stage::Argument:
            addByte(b, ms);
            stage_ = Stage::Blank;
            return;
        case Stage::Blank:
            addByte(b, ms);
            b == ' ' ? void(stage_ = Stage::LineFeed) : flush(out);
            return;
        case Stage::LineFeed:
            addByte(b, ms);
            b == '\n' ? void(stage_ = Stage::Return) : flush(out);
            return;
        case Stage::Return:
            addByte(b, ms);
            if (b == '\r') {
                command_ = keyword_;
                pending_.label = QString::fromLatin1(keyword_) + QStringLiteral(" frame");
                finish(out);
            } else {
                flush(out);
            }
            return;
        case Stage::Value:
            addByte(b, ms);
            stage_ = Stage::Trail;
            return;
        case Stage::Trail:
            addByte(b, ms);
            if (b == ' ')
                finish(out);
            else
                flush(out);
            return;
    }
}

QString LinkTrace::hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString LinkTrace::text(const QByteArray& bytes, bool keepLineFeeds) {
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<quint8>(c);
        if ((b >= 0x20 && b < 0x7F && b != '\\') || (keepLineFeeds && b == '\n'))
            out += QLatin1Char(c);
        else if (b == '\\')
            out += QStringLiteral("\\\\");
        else
            out += QStringLiteral("\\x") +
                   QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
    return out;
}

QString LinkTrace::format(const Line& line) const {
    QString s = QStringLiteral("%1 s  %2  %3  %4  \"%5\"")
                    .arg((line.ms - originMs_) / 1000.0, 9, 'f', 3)
                    .arg(line.sent ? QStringLiteral("->") : QStringLiteral("<-"))
                    .arg(line.label, -14)
                    .arg(hex(line.bytes), text(line.bytes));
    if (line.sent) {
        s += line.gapMs < 0 ? QStringLiteral("  first byte")
                            : QStringLiteral("  after %1 ms").arg(line.gapMs, 0, 'f', 1);
        if (line.bytes.size() > 1)
            s += QStringLiteral(", bytes at most %1 ms apart").arg(line.widestMs, 0, 'f', 1);
    }
    return s;
}
