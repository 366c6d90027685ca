#include "ctl/StdinLines.h"

#include <QMetaObject>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

namespace {

// Where the reading thread delivers; cleared (under the lock) before the receiver goes away.
std::mutex mailboxLock;
StdinLines* mailbox = nullptr;

void post(const QString& line, bool end) {
    std::lock_guard<std::mutex> hold(mailboxLock);
    if (!mailbox)
        return;
    StdinLines* to = mailbox;
    QMetaObject::invokeMethod(
        to,
        [to, line, end] {
            if (end)
                emit to->ended();
            else
                emit to->lineRead(line);
        },
        Qt::QueuedConnection);
}

}  // namespace

StdinLines::StdinLines(QObject* parent) : QObject(parent) {
    {
        std::lock_guard<std::mutex> hold(mailboxLock);
        mailbox = this;
    }
    std::thread([] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            post(QString::fromLocal8Bit(line.data(), qsizetype(line.size())), false);
        }
        post(QString(), true);
    }).detach();
}

StdinLines::~StdinLines() {
    std::lock_guard<std::mutex> hold(mailboxLock);
    mailbox = nullptr;
}
