// The C functions of quorlane.h over libquorlane::Bridge. Nothing thrown leaves them.
#include <cstring>
#include <new>
#include <string>
#include <system_error>

#include "hosts/c/include/quorlane.h"
#include "hosts/c/src/Bridge.h"

struct quorlane_bridge {
    libquorlane::Bridge bridge;
};

namespace {

template <typename Call>
int Guarded(Call call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return QUORLANE_NO_MEMORY;
    } catch (...) {
        return QUORLANE_SYSTEM_ERROR;
    }
}

void CopyMessage(const std::string& text, char* out, std::size_t size) {
    if (out == nullptr || size == 0)
        return;
    const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

extern "C" {

const char* quorlane_result_text(int result) {
    switch (result) {
        case QUORLANE_OK:
            return "success";
        case QUORLANE_TIMEOUT:
            return "timed out";
        case QUORLANE_ENDED:
            return "the bridge has ended";
        case QUORLANE_INVALID_ARGUMENT:
            return "invalid argument";
        case QUORLANE_START_FAILED:
            return "the bridge could not be started";
        case QUORLANE_NO_GREETING:
            return "the bridge did not greet";
        case QUORLANE_CLOSED:
            return "the bridge is being closed";
        case QUORLANE_RUNNING:
            return "the bridge is still running";
        case QUORLANE_CALLBACK_MODE:
            return "a callback receives these items";
        case QUORLANE_IN_CALLBACK:
            return "not allowed inside a callback of this bridge";
        case QUORLANE_NO_MEMORY:
            return "out of memory";
        case QUORLANE_SYSTEM_ERROR:
            return "a system call failed";
        default:
            return "unknown result";
    }
}

const char* quorlane_version(void) {
    return QUORLANE_LIBRARY_VERSION;
}

void quorlane_options_init(quorlane_options* options) {
    if (options == nullptr)
        return;
    *options = quorlane_options{};
    options->start_timeout_ms = 10000;
    options->text_queue_limit = 1024;
    options->frame_queue_limit = 4;
}

int quorlane_start(const quorlane_options* options, quorlane_bridge** bridge, char* message,
                   size_t message_size) {
    CopyMessage("", message, message_size);
    if (bridge != nullptr)
        *bridge = nullptr;
    if (options == nullptr || bridge == nullptr || options->executable == nullptr ||
        options->executable[0] == '\0') {
        CopyMessage("options, bridge and options->executable are required", message, message_size);
        return QUORLANE_INVALID_ARGUMENT;
    }
    std::string why;
    const int result = Guarded([&] {
        quorlane_bridge* made = new quorlane_bridge;
        const int started = made->bridge.Start(*options, &why);
        if (started != QUORLANE_OK) {
            delete made;
            return started;
        }
        *bridge = made;
        return started;
    });
    if (result != QUORLANE_OK)
        CopyMessage(why.empty() ? quorlane_result_text(result) : why, message, message_size);
    return result;
}

int quorlane_send(quorlane_bridge* bridge, const char* text, size_t length) {
    if (bridge == nullptr || text == nullptr)
        return QUORLANE_INVALID_ARGUMENT;
    if (length == static_cast<size_t>(-1))
        length = std::strlen(text);
    return Guarded([&] { return bridge->bridge.Send(text, length, false); });
}

int quorlane_send_control(quorlane_bridge* bridge, const char* line) {
    if (bridge == nullptr || line == nullptr)
        return QUORLANE_INVALID_ARGUMENT;
    return Guarded([&] {
        std::string withEnd = std::string(line) + "\n";
        return bridge->bridge.Send(withEnd.data(), withEnd.size(), true);
    });
}

int quorlane_receive_text(quorlane_bridge* bridge, int timeout_ms, quorlane_text** text) {
    if (bridge == nullptr || text == nullptr)
        return QUORLANE_INVALID_ARGUMENT;
    *text = nullptr;
    return Guarded([&] {
        libquorlane::TextPtr item;
        const int result = bridge->bridge.ReceiveText(timeout_ms, &item);
        if (result == QUORLANE_OK)
            *text = &item.release()->pub;
        return result;
    });
}

void quorlane_text_release(quorlane_text* text) {
    // `pub` is the first member of TextItem.
    delete reinterpret_cast<libquorlane::TextItem*>(text);
}

int quorlane_receive_frame(quorlane_bridge* bridge, int channel, int timeout_ms,
                           quorlane_frame** frame) {
    if (bridge == nullptr || frame == nullptr)
        return QUORLANE_INVALID_ARGUMENT;
    *frame = nullptr;
    return Guarded([&] {
        libquorlane::FramePtr item;
        const int result = bridge->bridge.ReceiveFrame(channel, timeout_ms, &item);
        if (result == QUORLANE_OK)
            *frame = &item.release()->pub;
        return result;
    });
}

int quorlane_wait(quorlane_bridge* bridge, int timeout_ms) {
    if (bridge == nullptr)
        return QUORLANE_INVALID_ARGUMENT;
    return Guarded([&] { return bridge->bridge.WaitAny(timeout_ms); });
}

void quorlane_frame_release(quorlane_frame* frame) {
    delete reinterpret_cast<libquorlane::FrameItem*>(frame);
}

int quorlane_close(quorlane_bridge* bridge, int grace_ms) {
    if (bridge == nullptr)
        return QUORLANE_INVALID_ARGUMENT;
    return Guarded([&] { return bridge->bridge.Close(grace_ms); });
}

void quorlane_destroy(quorlane_bridge* bridge) {
    if (bridge == nullptr)
        return;
    if (Guarded([&] { return bridge->bridge.Close(libquorlane::kDefaultGraceMs); }) ==
        QUORLANE_IN_CALLBACK)
        return;  // its own delivery thread cannot free it
    delete bridge;
}

int quorlane_exit_info(quorlane_bridge* bridge, quorlane_exit* exit) {
    if (bridge == nullptr || exit == nullptr)
        return QUORLANE_INVALID_ARGUMENT;
    return Guarded([&] { return bridge->bridge.ExitInfo(exit); });
}

int quorlane_pid(quorlane_bridge* bridge) {
    return bridge == nullptr ? -1 : bridge->bridge.Pid();
}

int quorlane_get_stats(quorlane_bridge* bridge, quorlane_stats* stats) {
    if (bridge == nullptr || stats == nullptr)
        return QUORLANE_INVALID_ARGUMENT;
    return Guarded([&] {
        bridge->bridge.Stats(stats);
        return QUORLANE_OK;
    });
}

}  // extern "C"

extern "C" int quorlane_channel_error(quorlane_bridge* bridge, int channel, char* message,
                                      size_t message_size) {
    if (bridge == nullptr || channel < 0 || channel >= QUORLANE_CHANNELS)
        return QUORLANE_INVALID_ARGUMENT;
    return Guarded([&] {
        const std::string why = bridge->bridge.ChannelError(channel);
        CopyMessage(why, message, message_size);
        return why.empty() ? QUORLANE_INVALID_ARGUMENT : QUORLANE_OK;
    });
}
