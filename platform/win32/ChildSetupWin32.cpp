#include "platform/win32/ChildSetupWin32.h"

#include <mmsystem.h>

#include <cstring>
#include <cwctype>

#include "platform/win32/TextWin32.h"

namespace platform {

namespace {

// Flag bits of the C runtime's descriptor table.
constexpr unsigned char kOpen = 0x01;    // FOPEN
constexpr unsigned char kPipe = 0x08;    // FPIPE
constexpr unsigned char kDevice = 0x40;  // FDEV
constexpr unsigned char kText = 0x80;    // FTEXT

bool SameName(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(a[i]) != std::towupper(b[i]))
            return false;
    }
    return true;
}

}  // namespace

void InheritedDescriptors::Set(int fd, HANDLE handle) {
    if (static_cast<std::size_t>(fd) >= handles_.size())
        handles_.resize(static_cast<std::size_t>(fd) + 1, INVALID_HANDLE_VALUE);
    handles_[static_cast<std::size_t>(fd)] = handle;
}

HANDLE InheritedDescriptors::Get(int fd) const {
    return static_cast<std::size_t>(fd) < handles_.size() ? handles_[static_cast<std::size_t>(fd)]
                                                          : INVALID_HANDLE_VALUE;
}

std::vector<unsigned char> InheritedDescriptors::Encode(bool textMode) const {
    const int count = static_cast<int>(handles_.size() < 3 ? 3 : handles_.size());
    std::vector<unsigned char> out(sizeof(int) +
                                   static_cast<std::size_t>(count) * (1 + sizeof(HANDLE)));
    std::memcpy(out.data(), &count, sizeof count);
    unsigned char* flags = out.data() + sizeof(int);
    unsigned char* handles = flags + count;
    for (int fd = 0; fd < count; ++fd) {
        const HANDLE handle = Get(fd);
        unsigned char flag = 0;
        if (handle != INVALID_HANDLE_VALUE) {
            const DWORD type = ::GetFileType(handle);
            flag = static_cast<unsigned char>(kOpen | (type == FILE_TYPE_PIPE ? kPipe : 0) |
                                              (type == FILE_TYPE_CHAR ? kDevice : 0) |
                                              (textMode && fd >= 3 ? kText : 0));
        }
        flags[fd] = flag;
        std::memcpy(handles + static_cast<std::size_t>(fd) * sizeof(HANDLE), &handle,
                    sizeof handle);
    }
    return out;
}

HandleListAttribute::~HandleListAttribute() {
    if (list_ != nullptr)
        ::DeleteProcThreadAttributeList(list_);
}

bool HandleListAttribute::Init(const std::vector<HANDLE>& handles) {
    handles_ = handles;
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.assign(size, 0);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size))
        return false;
    list_ = list;
    return ::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                       handles_.size() * sizeof(HANDLE), nullptr, nullptr) != 0;
}

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');  // before the closing quote
    out += L'"';
    return out;
}

std::vector<wchar_t> BuildEnvironmentBlock(
    const std::vector<std::pair<std::string, std::string>>& extra) {
    std::vector<std::pair<std::wstring, std::wstring>> added;
    for (const auto& kv : extra)
        added.emplace_back(Widen(kv.first), Widen(kv.second));
    std::vector<wchar_t> block;
    if (wchar_t* current = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = current; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
            const std::wstring text(entry);
            // Names may start with '=' (the per-drive directories): look for '=' after it.
            const std::wstring name = text.substr(0, text.find(L'=', 1));
            bool replaced = false;
            for (const auto& kv : added)
                replaced = replaced || SameName(kv.first, name);
            if (!replaced)
                block.insert(block.end(), text.c_str(), text.c_str() + text.size() + 1);
        }
        ::FreeEnvironmentStringsW(current);
    }
    for (const auto& kv : added) {
        const std::wstring text = kv.first + L"=" + kv.second;
        block.insert(block.end(), text.c_str(), text.c_str() + text.size() + 1);
    }
    block.push_back(L'\0');
    if (block.size() == 1)
        block.push_back(L'\0');
    return block;
}

void EndWithThisProcess(HANDLE process) {
    // One job for every such child; its handle closes only when this process ends.
    static const HANDLE job = [] {
        HANDLE created = ::CreateJobObjectW(nullptr, nullptr);
        if (created != nullptr) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            ::SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits,
                                      sizeof limits);
        }
        return created;
    }();
    if (job != nullptr)
        ::AssignProcessToJobObject(job, process);
}

void RaiseTimerResolution() {
    static const bool raised = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)raised;
}

}  // namespace platform
