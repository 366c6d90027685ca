#include "link/Win32SerialLine.h"

#include <windows.h>

#include <string>

#include "link/ComPortMap.h"
#include "link/OpenDiagnosis.h"
#include "link/PortDescription.h"
#include "platform/WindowsError.h"

namespace {

HANDLE asHandle(void* h) {
    return static_cast<HANDLE>(h);
}

bool readState(HANDLE h, DCB& dcb) {
    dcb = DCB{};
    dcb.DCBlength = sizeof dcb;
    return ::GetCommState(h, &dcb) != 0;
}

}  // namespace

Win32SerialLine::Win32SerialLine() : handle_(INVALID_HANDLE_VALUE) {}

Win32SerialLine::~Win32SerialLine() {
    close(openNumber_);
}

bool Win32SerialLine::isOpenAs(quint8 port) const {
    return handle_ != INVALID_HANDLE_VALUE && port != 0 && port == openNumber_;
}

int Win32SerialLine::open(quint8 port) {
    close(openNumber_);
    lastError_.clear();
    const QString device = ComPortMap::device(port);
    // The \\.\ form reaches every COMn, also those above COM9 that the short name does not.
    const std::wstring name = (QStringLiteral("\\\\.\\") + device).toStdWString();
    // No sharing and no overlapped I/O: the port is this program's alone, and every call
    // returns by itself under the time-outs set below.
    const HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = ::GetLastError();
        OpenDiagnosis::Refusal refusal;
        refusal.reason = WindowsError::text(e);
        refusal.missing = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
        refusal.denied = e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION;
        lastError_ = OpenDiagnosis::examine(PortDescription::describe(port), refusal).text();
        return 1;
    }
    // Reads return at once with what has arrived (the receive poll must never wait); a write
    // that the driver cannot take within a second gives up rather than hang the program.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!::SetupComm(h, 4096, 4096) || !::SetCommTimeouts(h, &timeouts)) {
        lastError_ = QStringLiteral("%1: %2").arg(device, WindowsError::last());
        ::CloseHandle(h);
        return 1;
    }
    handle_ = h;
    openNumber_ = port;
    openDevice_ = device;
    broken_ = false;
    return 0;
}

int Win32SerialLine::setUpFailed() {
    lastError_ = QStringLiteral("%1: %2").arg(openDevice_, WindowsError::last());
    return 1;
}

int Win32SerialLine::setLine(quint8 port, qint32 baud, quint8 dataBits, Parity parity,
                             quint8 stopBits) {
    DCB dcb;
    if (!isOpenAs(port) || broken_)
        return 1;
    if (!readState(asHandle(handle_), dcb))
        return setUpFailed();
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = dataBits;
    dcb.fBinary = TRUE;
    dcb.fParity = parity != Parity::None;
    dcb.Parity = parity == Parity::Even ? EVENPARITY : parity == Parity::Odd ? ODDPARITY : NOPARITY;
    dcb.StopBits = stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    // Received bytes are never changed or dropped: data bytes take every value.
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    return ::SetCommState(asHandle(handle_), &dcb) ? 0 : setUpFailed();
}

int Win32SerialLine::setFlowControl(quint8 port, FlowControl flow) {
    DCB dcb;
    if (!isOpenAs(port) || broken_)
        return 1;
    if (!readState(asHandle(handle_), dcb))
        return setUpFailed();
    const bool hardware = flow == FlowControl::Hardware;
    const bool software = flow == FlowControl::Software;
    dcb.fOutxCtsFlow = hardware;
    dcb.fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fOutX = software;
    dcb.fInX = software;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 1024;
    dcb.XoffLim = 1024;
    return ::SetCommState(asHandle(handle_), &dcb) ? 0 : setUpFailed();
}

void Win32SerialLine::putByte(quint8 port, quint8 value) {
    if (!isOpenAs(port) || broken_)
        return;
    const char c = static_cast<char>(value);
    DWORD written = 0;
    if (::WriteFile(asHandle(handle_), &c, 1, &written, nullptr))
        return;
    // A refused write is a lost byte, which the reply shows; a device that no longer answers
    // the line's status is gone.
    DWORD errors = 0;
    if (!::ClearCommError(asHandle(handle_), &errors, nullptr))
        markGone();
}

int Win32SerialLine::readAvailable(quint8 port, quint8* buffer, int capacity) {
    if (!isOpenAs(port) || broken_ || capacity <= 0)
        return 0;
    // Also clears a framing or overrun error, which would otherwise stop every later read.
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(asHandle(handle_), &errors, &status)) {
        markGone();
        return 0;
    }
    DWORD got = 0;
    if (!::ReadFile(asHandle(handle_), buffer, static_cast<DWORD>(capacity), &got, nullptr)) {
        markGone();
        return 0;
    }
    return static_cast<int>(got);
}

void Win32SerialLine::markGone() {
    // Closed at once so that nothing spins on it; reads and writes then do nothing and the
    // engine's time-outs report the silence.
    broken_ = true;
    if (handle_ != INVALID_HANDLE_VALUE)
        ::CloseHandle(asHandle(handle_));
    handle_ = INVALID_HANDLE_VALUE;
}

void Win32SerialLine::discardInput(quint8 port) {
    if (isOpenAs(port) && !broken_)
        ::PurgeComm(asHandle(handle_), PURGE_RXABORT | PURGE_RXCLEAR);
}

bool Win32SerialLine::isUsable(quint8 port) const {
    return isOpenAs(port) && !broken_;
}

void Win32SerialLine::close(quint8 port) {
    if (port == 0 || port != openNumber_)
        return;
    if (handle_ != INVALID_HANDLE_VALUE)
        ::CloseHandle(asHandle(handle_));
    handle_ = INVALID_HANDLE_VALUE;
    openNumber_ = 0;
    openDevice_.clear();
    broken_ = false;
}

QString Win32SerialLine::lastErrorDetail(quint8 port) const {
    Q_UNUSED(port);
    return lastError_;
}
