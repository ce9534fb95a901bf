// What CreateProcessW needs to start a child as a C-runtime host does: the runtime's
// inherited-descriptor block, the list of the only handles to inherit, the command line and
// the environment block.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace platform {

// The block that the C runtime of a child reads from STARTUPINFO.lpReserved2 to open its
// descriptors: an int count, one flag byte per descriptor, then one HANDLE per descriptor.
class InheritedDescriptors {
  public:
    void Set(int fd, HANDLE handle);
    // The handle given for `fd`, or INVALID_HANDLE_VALUE.
    HANDLE Get(int fd) const;
    // The bytes for lpReserved2 (cbReserved2 is their count); descriptors 0 to 2 always appear.
    // `textMode` marks descriptors 3 and up as text-mode ones.
    std::vector<unsigned char> Encode(bool textMode = false) const;

  private:
    std::vector<HANDLE> handles_;
};

// A PROC_THREAD_ATTRIBUTE_HANDLE_LIST: the child inherits these handles and no other.
class HandleListAttribute {
  public:
    HandleListAttribute() = default;
    ~HandleListAttribute();
    HandleListAttribute(const HandleListAttribute&) = delete;
    HandleListAttribute& operator=(const HandleListAttribute&) = delete;

    // False (GetLastError set) when the list cannot be built.
    bool Init(const std::vector<HANDLE>& handles);
    LPPROC_THREAD_ATTRIBUTE_LIST Get() { return list_; }

  private:
    std::vector<HANDLE> handles_;  // must outlive the list
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// One argument quoted so that the runtime's command-line parser gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);

// This process's environment with `extra` added or replacing (names compared without case), as
// a CREATE_UNICODE_ENVIRONMENT block.
std::vector<wchar_t> BuildEnvironmentBlock(
    const std::vector<std::pair<std::string, std::string>>& extra);

// Makes `process` end when this process ends (a job that kills its processes when closed).
void EndWithThisProcess(HANDLE process);

// Asks for a 1 ms system timer once, so that Sleep(1) sleeps about that long.
void RaiseTimerResolution();

}  // namespace platform
