#include <windows.h>

#include <cstdlib>
#include <vector>

#include "platform/Process.h"
#include "platform/win32/TextWin32.h"

namespace platform {

std::uint32_t ProcessId() {
    return static_cast<std::uint32_t>(::GetCurrentProcessId());
}

std::uint32_t CurrentThreadId() {
    return static_cast<std::uint32_t>(::GetCurrentThreadId());
}

namespace {

std::string ToUtf8(const wchar_t* text, int length) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string out(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], bytes, nullptr, nullptr);
    return out;
}

}  // namespace

std::string ExecutablePath() {
    // MAX_PATH first; a longer path (long path support) gets a larger buffer, never a cut one.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (n == 0)
            return std::string();
        if (n < size)
            return ToUtf8(buffer.data(), static_cast<int>(n));
        if (buffer.size() >= 32768)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

std::string ExecutableDirectory() {
    std::string path = ExecutablePath();
    std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos)
        return std::string();
    return path.substr(0, cut + 1);
}

std::string CurrentDirectory() {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    if (size == 0)
        return std::string();
    std::vector<wchar_t> buffer(size);
    const DWORD length = ::GetCurrentDirectoryW(size, buffer.data());
    if (length == 0 || length >= size)
        return std::string();
    return ToUtf8(buffer.data(), static_cast<int>(length));
}

void IdleForever() {
    for (;;)
        ::Sleep(INFINITE);
}

void SleepMilliseconds(int milliseconds) {
    ::Sleep(milliseconds < 0 ? 0 : static_cast<DWORD>(milliseconds));
}

void ExitNow(int code) {
    // Unlike ExitProcess, no DLL is notified: a vendor library whose thread hangs cannot hold
    // the end up.
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
    ::ExitProcess(static_cast<UINT>(code));
}

const char* GetEnvironment(const char* name) {
    return std::getenv(name);
}

bool SetEnvironment(const char* name, const char* value) {
    return ::_putenv_s(name, value) == 0;
}

std::string EnvironmentText(const char* name) {
    const std::wstring wideName = Widen(name);
    const DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0)
        return std::string();
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), &value[0], size);
    if (length == 0 || length >= size)
        return std::string();
    value.resize(length);
    return Narrow(value);
}

}  // namespace platform
