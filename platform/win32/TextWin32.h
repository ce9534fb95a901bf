// Text conversions for Win32 calls: UTF-8 to and from UTF-16, error codes to messages.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// UTF-8 to UTF-16; empty for empty or invalid input.
std::wstring Widen(const std::string& text);

// UTF-16 to UTF-8; empty for empty or invalid input.
std::string Narrow(const std::wstring& text);

// The system's message for a GetLastError code (UTF-8), with the number.
std::string SystemErrorText(DWORD error);

}  // namespace platform
