// Text conversions for Win32 calls: UTF-8 to UTF-16 and error codes to messages.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// UTF-8 to UTF-16; empty for empty or invalid input.
std::wstring Widen(const std::string& text);

// The system's message for a GetLastError code, with the number.
std::string SystemErrorText(DWORD error);

}  // namespace platform
