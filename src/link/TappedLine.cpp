#include "link/TappedLine.h"

#include <chrono>

TappedLine::TappedLine(SerialLine& inner, int capacity, std::function<double()> now)
    : inner_(inner), capacity_(capacity), now_(std::move(now)) {
    if (!now_) {
        now_ = [] {
            return std::chrono::duration<double, std::milli>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
    }
}

void TappedLine::record(Event::Kind kind, QByteArray bytes) {
    ring_.push_back({kind, now_(), std::move(bytes)});
    while (static_cast<int>(ring_.size()) > capacity_) {
        ring_.pop_front();
        ++first_;
        ++dropped_;
    }
}

std::vector<TappedLine::Event> TappedLine::eventsSince(quint64 from, quint64* next) const {
    const quint64 start = std::max(from, first_);
    std::vector<Event> out(ring_.begin() + static_cast<std::ptrdiff_t>(start - first_),
                           ring_.end());
    if (next)
        *next = first_ + ring_.size();
    return out;
}

void TappedLine::clear() {
    first_ += ring_.size();
    ring_.clear();
    dropped_ = 0;
}

int TappedLine::open(quint8 port) {
    return inner_.open(port);
}

int TappedLine::setLine(quint8 port, qint32 baud, quint8 dataBits, Parity parity, quint8 stopBits) {
    return inner_.setLine(port, baud, dataBits, parity, stopBits);
}

int TappedLine::setFlowControl(quint8 port, FlowControl flow) {
    return inner_.setFlowControl(port, flow);
}

void TappedLine::putByte(quint8 port, quint8 value) {
    inner_.putByte(port, value);
    record(Event::Kind::Put, QByteArray(1, static_cast<char>(value)));
}

int TappedLine::readAvailable(quint8 port, quint8* buffer, int capacity) {
    const int n = inner_.readAvailable(port, buffer, capacity);
    if (n > 0)
        record(Event::Kind::Read, QByteArray(reinterpret_cast<const char*>(buffer), n));
    return n;
}

void TappedLine::close(quint8 port) {
    inner_.close(port);
}

void TappedLine::discardInput(quint8 port) {
    inner_.discardInput(port);
}

bool TappedLine::isUsable(quint8 port) const {
    return inner_.isUsable(port);
}

QString TappedLine::lastErrorDetail(quint8 port) const {
    return inner_.lastErrorDetail(port);
}
