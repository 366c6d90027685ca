#pragma once

#include <QObject>
#include <QString>

// Standard input a line at a time, read on a thread of its own so that the event loop (and the
// generator's timers) never wait on it. Lines and the end of input reach the receiver through
// its event loop, in order. The reading thread is never joined: a read may block for as long as
// input stays open, and the process may end meanwhile.
class StdinLines : public QObject {
    Q_OBJECT
public:
    // Starts reading; at most one reader a process.
    explicit StdinLines(QObject* parent = nullptr);
    ~StdinLines() override;

signals:
    void lineRead(const QString& line);  // without its line end
    void ended();
};
