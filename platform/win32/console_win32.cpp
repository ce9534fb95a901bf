#include <windows.h>

#include <cstdio>

#include "platform/console.h"

namespace platform {

namespace {

// The standard output handle and its screen-buffer information, when it is a console.
bool ReadConsole(HANDLE* handle, CONSOLE_SCREEN_BUFFER_INFO* info) {
    *handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
    return *handle != INVALID_HANDLE_VALUE && *handle != nullptr &&
           ::GetConsoleScreenBufferInfo(*handle, info) != 0;
}

}  // namespace

bool ConsoleAttached() {
    HANDLE handle;
    CONSOLE_SCREEN_BUFFER_INFO info;
    return ReadConsole(&handle, &info);
}

bool WriteColored(int color, const char* text) {
    HANDLE handle;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!ReadConsole(&handle, &info))
        return false;
    // Plain lines go through the runtime's buffer: flush it first so that the order stays.
    std::fflush(stdout);
    ::SetConsoleTextAttribute(handle, static_cast<WORD>(color));
    std::fputs(text, stdout);
    std::fflush(stdout);
    ::SetConsoleTextAttribute(handle, info.wAttributes);
    return true;
}

}  // namespace platform
