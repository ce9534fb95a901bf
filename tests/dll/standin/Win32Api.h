// The few Win32 functions the stand-in calls, declared here: it is built without any C or C++
// runtime and without the system headers, against kernel32's import library.
#pragma once

#include <stddef.h>

namespace win32 {

struct SrwLock {
    void* state;
};

using ThreadProcedure = unsigned long(__stdcall*)(void*);
constexpr unsigned long kInfinite = 0xFFFFFFFF;

extern "C" {
__declspec(dllimport) void* __stdcall CreateThread(void* attributes, size_t stackSize,
                                                   ThreadProcedure procedure, void* parameter,
                                                   unsigned long flags, unsigned long* threadId);
__declspec(dllimport) void* __stdcall CreateEventW(void* attributes, int manualReset,
                                                   int initialState, const wchar_t* name);
__declspec(dllimport) int __stdcall SetEvent(void* event);
__declspec(dllimport) unsigned long __stdcall WaitForSingleObject(void* handle,
                                                                  unsigned long milliseconds);
__declspec(dllimport) void __stdcall AcquireSRWLockExclusive(SrwLock* lock);
__declspec(dllimport) void __stdcall ReleaseSRWLockExclusive(SrwLock* lock);
__declspec(dllimport) unsigned long __stdcall GetEnvironmentVariableA(const char* name,
                                                                      char* buffer,
                                                                      unsigned long size);
__declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);
}

// Holds an SRW lock for a scope.
class Hold {
  public:
    explicit Hold(SrwLock& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~Hold() { ReleaseSRWLockExclusive(&lock_); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

  private:
    SrwLock& lock_;
};

}  // namespace win32
