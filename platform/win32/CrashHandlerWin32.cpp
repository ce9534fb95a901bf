#include <windows.h>

#include <dbghelp.h>
#include <shellapi.h>

#include <atomic>
#include <cwchar>
#include <memory>
#include <vector>

#include "platform/CrashHandler.h"
#include "platform/win32/TextWin32.h"
#include "platform/win32/UniqueHandleWin32.h"

namespace platform {

namespace {

const wchar_t kDumpWriterSwitch[] = L"--quorlane-write-minidump";
// How long the crashed process waits for its dump writer.
const DWORD kDumpWriterMilliseconds = 10000;

// Everything the filter needs, prepared by InstallCrashHandler.
struct Prepared {
    std::string folder;
    std::wstring executable;
    // The environment of the dump writer: this process's, without the variables that make the
    // simulated SDK or the bridge act on their own.
    std::vector<wchar_t> environment;
    DWORD pid = 0;
    ReportText describe = nullptr;
    LastWords lastWords = nullptr;
    int lastWordsMilliseconds = 0;
    int keep = 10;
    Fault fault;
    char path[4096] = {};
    char text[16384] = {};
};

Prepared* prepared = nullptr;
std::atomic<bool> installed{false};
std::atomic<int> reporting{0};

const char* ExceptionName(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
            return "EXCEPTION_ACCESS_VIOLATION";
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
            return "EXCEPTION_ARRAY_BOUNDS_EXCEEDED";
        case EXCEPTION_DATATYPE_MISALIGNMENT:
            return "EXCEPTION_DATATYPE_MISALIGNMENT";
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
            return "EXCEPTION_FLT_DIVIDE_BY_ZERO";
        case EXCEPTION_ILLEGAL_INSTRUCTION:
            return "EXCEPTION_ILLEGAL_INSTRUCTION";
        case EXCEPTION_IN_PAGE_ERROR:
            return "EXCEPTION_IN_PAGE_ERROR";
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
            return "EXCEPTION_INT_DIVIDE_BY_ZERO";
        case EXCEPTION_PRIV_INSTRUCTION:
            return "EXCEPTION_PRIV_INSTRUCTION";
        case EXCEPTION_STACK_OVERFLOW:
            return "EXCEPTION_STACK_OVERFLOW";
        case EXCEPTION_BREAKPOINT:
            return "EXCEPTION_BREAKPOINT";
        case 0xC0000409:
            return "STATUS_STACK_BUFFER_OVERRUN";
        case 0xC0000374:
            return "STATUS_HEAP_CORRUPTION";
        case 0xE06D7363:
            return "C++ exception";
    }
    return "exception";
}

std::vector<wchar_t> EnvironmentWithoutOwnVariables() {
    std::vector<wchar_t> block;
    wchar_t* all = ::GetEnvironmentStringsW();
    if (all == nullptr)
        return block;
    for (const wchar_t* entry = all; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        if (::_wcsnicmp(entry, L"QUORLANE_", 9) == 0)
            continue;
        block.insert(block.end(), entry, entry + std::wcslen(entry) + 1);
    }
    ::FreeEnvironmentStringsW(all);
    block.push_back(L'\0');
    if (block.size() == 1)
        block.push_back(L'\0');
    return block;
}

std::wstring WideFromUtf8(const char* text) {
    const int count = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (count <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], count);
    wide.resize(static_cast<std::size_t>(count - 1));
    return wide;
}

void WriteStdout(const char* data, std::size_t size) {
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(out, data, static_cast<DWORD>(size), &written, nullptr);
}

// The module holding `address`, as its file name, and the offset in it.
void FindModule(std::uintptr_t address, Fault* fault) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(address), &module) ||
        module == nullptr)
        return;
    wchar_t path[MAX_PATH * 2];
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH * 2);
    if (length == 0 || length >= MAX_PATH * 2)
        return;
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    }
    ::WideCharToMultiByte(CP_UTF8, 0, name, -1, fault->module, sizeof fault->module - 1, nullptr,
                          nullptr);
    fault->moduleOffset = address - reinterpret_cast<std::uintptr_t>(module);
}

// A second process writes the minidump of this one, as dbghelp cannot do it from inside a
// crashed process; `pointers` null for a dump without an exception. True when it wrote one.
bool WriteDumpFromSecondProcess(const std::string& dumpPath, DWORD threadId,
                                EXCEPTION_POINTERS* pointers) {
    std::wstring command = L"\"" + prepared->executable + L"\" " + kDumpWriterSwitch + L" " +
                           std::to_wstring(prepared->pid) + L" " + std::to_wstring(threadId) +
                           L" " + std::to_wstring(reinterpret_cast<unsigned long long>(pointers)) +
                           L" \"" + WideFromUtf8(dumpPath.c_str()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(prepared->executable.c_str(), &command[0], nullptr, nullptr, FALSE,
                          DETACHED_PROCESS | CREATE_UNICODE_ENVIRONMENT,
                          prepared->environment.data(), nullptr, &startup, &process))
        return false;
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    if (::WaitForSingleObject(process.hProcess, kDumpWriterMilliseconds) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.hProcess, 1);
        return false;
    }
    DWORD code = 1;
    return ::GetExitCodeProcess(process.hProcess, &code) && code == 0;
}

// Writes the text report and prints its line; the path in prepared->path, empty on failure.
bool WriteTextReport(const Fault* fault) {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::int64_t unixSeconds = static_cast<std::int64_t>(ticks / 10000000ull) - 11644473600ll;
    FixedText path(prepared->path, sizeof prepared->path);
    path.Add(prepared->folder.c_str());
    AddReportStem(path, unixSeconds, prepared->pid);
    path.Add(".txt");
    UniqueHandle file(::CreateFileW(WideFromUtf8(prepared->path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        prepared->path[0] = '\0';
        return false;
    }
    FixedText text(prepared->text, sizeof prepared->text);
    prepared->describe(fault, text);
    DWORD written = 0;
    ::WriteFile(file.Get(), text.Data(), static_cast<DWORD>(text.Size()), &written, nullptr);
    return true;
}

void PrintReportLine() {
    const std::string line = std::string("Quorlane: crash report ") + prepared->path + "\r\n";
    WriteStdout(line.data(), line.size());
}

std::string DumpPathOf(const char* textPath) {
    std::string dump = textPath;
    dump.replace(dump.size() - 4, 4, ".dmp");
    return dump;
}

void RemoveOldReports() {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    const HANDLE search =
        ::FindFirstFileW((WideFromUtf8(prepared->folder.c_str()) + L"crash-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        names.push_back(Narrow(found.cFileName));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    for (const std::string& name : ReportsBeyond(names, prepared->keep))
        ::DeleteFileW(WideFromUtf8((prepared->folder + name).c_str()).c_str());
}

DWORD WINAPI SayLastWords(void*) {
    prepared->lastWords(prepared->fault, prepared->path);
    return 0;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (reporting.fetch_add(1) != 0) {
        // Another thread is reporting and ends the process; should it not, this one does.
        ::Sleep(kDumpWriterMilliseconds + static_cast<DWORD>(prepared->lastWordsMilliseconds));
        ::TerminateProcess(::GetCurrentProcess(), code);
    }
    Fault& fault = prepared->fault;
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    fault.exception = true;
    fault.code = code;
    fault.name = ExceptionName(code);
    fault.address = reinterpret_cast<std::uintptr_t>(record->ExceptionAddress);
    if (code == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
        fault.written = record->ExceptionInformation[0] == 1;
        fault.accessed = static_cast<std::uintptr_t>(record->ExceptionInformation[1]);
    }
    FindModule(fault.address, &fault);
    fault.threadId = ::GetCurrentThreadId();
    const bool written = WriteTextReport(&fault);
    HANDLE lastWords = prepared->lastWords != nullptr
                           ? ::CreateThread(nullptr, 0, SayLastWords, nullptr, 0, nullptr)
                           : nullptr;
    const DWORD start = ::GetTickCount();
    if (written) {
        WriteDumpFromSecondProcess(DumpPathOf(prepared->path), fault.threadId, pointers);
        PrintReportLine();
        RemoveOldReports();
    }
    if (lastWords != nullptr) {
        const DWORD spent = ::GetTickCount() - start;
        const DWORD bound = static_cast<DWORD>(prepared->lastWordsMilliseconds);
        ::WaitForSingleObject(lastWords, spent < bound ? bound - spent : 0);
        ::CloseHandle(lastWords);
    }
    // The exit code stays the exception code; no debugger or error dialog is started.
    ::TerminateProcess(::GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);

// The dump writer's work: true when the dump was written.
bool WriteDump(DWORD pid, DWORD threadId, unsigned long long pointers, const wchar_t* path) {
    // From System32 only: a dbghelp.dll beside the executable or in the working folder could
    // be anyone's.
    const HMODULE dbghelp = ::LoadLibraryExW(L"dbghelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (dbghelp == nullptr)
        return false;
    const auto writeDump = reinterpret_cast<MiniDumpWriteDumpFunction>(
        reinterpret_cast<void*>(::GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    if (writeDump == nullptr)
        return false;
    UniqueHandle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
    if (process.Get() == nullptr)
        return false;
    UniqueHandle file(
        ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        return false;
    MINIDUMP_EXCEPTION_INFORMATION exception{};
    exception.ThreadId = threadId;
    exception.ExceptionPointers = reinterpret_cast<EXCEPTION_POINTERS*>(pointers);
    exception.ClientPointers = TRUE;  // the pointers are the crashed process's
    // Every thread's stack, the thread and module lists; no full memory.
    return writeDump(process.Get(), pid, file.Get(), MiniDumpNormal,
                     pointers != 0 ? &exception : nullptr, nullptr, nullptr) != FALSE;
}

}  // namespace

bool InstallCrashHandler(const CrashHandlerSetup& setup) {
    if (installed.exchange(true) || setup.describe == nullptr)
        return false;
    std::unique_ptr<Prepared> state(new Prepared);
    state->folder = setup.folder;
    state->pid = ::GetCurrentProcessId();
    state->describe = setup.describe;
    state->lastWords = setup.lastWords;
    state->lastWordsMilliseconds = setup.lastWordsMilliseconds;
    state->keep = setup.keep;
    state->environment = EnvironmentWithoutOwnVariables();
    std::vector<wchar_t> buffer(32768);
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size())
        return false;
    state->executable.assign(buffer.data(), length);
    prepared = state.release();  // lives as long as the process
    RemoveOldReports();
    ::SetUnhandledExceptionFilter(OnUnhandledException);
    return true;
}

void PrepareThreadForFaults() {}

std::string WriteReportNow(int* dumpMilliseconds) {
    if (dumpMilliseconds != nullptr)
        *dumpMilliseconds = -1;
    if (prepared == nullptr || reporting.fetch_add(1) != 0)
        return std::string();
    if (!WriteTextReport(nullptr))
        return std::string();
    const DWORD start = ::GetTickCount();
    if (WriteDumpFromSecondProcess(DumpPathOf(prepared->path), 0, nullptr) &&
        dumpMilliseconds != nullptr)
        *dumpMilliseconds = static_cast<int>(::GetTickCount() - start);
    PrintReportLine();
    RemoveOldReports();
    return prepared->path;
}

void RunDumpWriterIfAsked() {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (args == nullptr)
        return;
    if (count != 6 || std::wcscmp(args[1], kDumpWriterSwitch) != 0) {
        ::LocalFree(args);
        return;
    }
    const DWORD pid = static_cast<DWORD>(std::wcstoul(args[2], nullptr, 10));
    const DWORD threadId = static_cast<DWORD>(std::wcstoul(args[3], nullptr, 10));
    const unsigned long long pointers = std::wcstoull(args[4], nullptr, 10);
    const bool written = WriteDump(pid, threadId, pointers, args[5]);
    ::ExitProcess(written ? 0 : 1);
}

}  // namespace platform
