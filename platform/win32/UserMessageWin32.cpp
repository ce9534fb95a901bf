#include <windows.h>

#include <cstring>

#include "platform/Descriptors.h"
#include "platform/UserMessage.h"

namespace platform {

namespace {

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

}  // namespace

void TellUser(const char* text) {
    const DWORD length = static_cast<DWORD>(std::strlen(text));
    WriteAll(2, text, length);
    if (::GetConsoleWindow() == nullptr || IsConsole(::GetStdHandle(STD_ERROR_HANDLE)))
        return;
    const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteConsoleA(console, text, length, &written, nullptr);
    ::CloseHandle(console);
}

}  // namespace platform
