#pragma once

#include <string>

// The generator's end of the line: a pseudo-terminal whose slave the program opens through the
// runtime link COMn.
class PtyPort {
public:
    PtyPort() = default;
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;
    ~PtyPort() { close(); }

    // Master (non-blocking) plus our own slave fd, raw at 19200 baud. Holding the slave open
    // keeps the master from reading EIO while no client has the port open.
    bool open(std::string* error);
    // Points the link for COM port at the slave. Replaces a symlink left behind, never any
    // other kind of file.
    bool publish(int port, std::string* error);
    // Closes both ends and removes the link if it is still ours.
    void close();
    // Lifts the exclusive-open flag that a serial library may set on the slave: since our own
    // slave fd keeps the terminal alive, a client that died without clearing it would keep
    // every later client out.
    void allowReopen();

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string linkPath_;
};
