#include "platform/WindowsError.h"

#include <windows.h>

QString WindowsError::text(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString s = n > 0 ? QString::fromWCharArray(buffer, static_cast<qsizetype>(n)) : QString();
    if (buffer)
        ::LocalFree(buffer);
    s = s.trimmed();
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    // A code the system has no text for still tells the reader something.
    return s.isEmpty() ? QStringLiteral("error %1").arg(code) : s;
}

QString WindowsError::last() {
    return text(::GetLastError());
}
