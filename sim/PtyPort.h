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
    // Registers COM port and points its link at the slave. Refused while another running
    // generator has COM port registered; a link left behind by one that stopped is replaced,
    // never any other kind of file.
    bool publish(int port, std::string* error);
    // Closes both ends, removes the link if it is still ours and gives the registration up.
    void close();
    // Lifts the exclusive-open flag that a serial library may set on the slave: since our own
    // slave fd keeps the terminal alive, a client that died without clearing it would keep
    // every later client out.
    void allowReopen();

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

private:
    void releaseRegistration();

    int master_ = -1;
    int slave_ = -1;
    int registration_ = -1;  // holds the lock that tells other generators COM n is taken
    std::string registrationPath_;
    std::string slavePath_;
    std::string linkPath_;
};
