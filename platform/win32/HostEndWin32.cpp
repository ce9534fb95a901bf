#include <io.h>
#include <windows.h>

#include "platform/HostEnd.h"
#include "platform/Process.h"

namespace platform {

bool WaitUntilUnread(int fd) {
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_PIPE)
        return false;
    for (;;) {
        // A zero-length write sends nothing; it succeeds while a reader holds the other end
        // and fails once every reader has closed it.
        DWORD written = 0;
        if (!::WriteFile(handle, "", 0, &written, nullptr)) {
            const DWORD error = ::GetLastError();
            return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ||
                   error == ERROR_PIPE_NOT_CONNECTED;
        }
        ::Sleep(kUnreadProbeMilliseconds);
    }
}

bool CatchTerminationRequests() {
    return false;
}

TerminationRequest WaitForTerminationRequest() {
    IdleForever();
}

}  // namespace platform
