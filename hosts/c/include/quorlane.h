/* libquorlane: start the Quorlane bridge and speak its protocol from any language.
 *
 * The library starts the bridge with its pipes on descriptors 3 to 9, waits for its greeting,
 * writes commands to descriptor 3, cuts descriptor 4 into whole JSON texts, rebuilds the frames
 * of descriptors 5 to 9 and ends the bridge in order. Only C types cross this header.
 *
 *   quorlane_options options;
 *   quorlane_options_init(&options);
 *   options.executable = "/opt/quorlane/Quorlane";
 *   quorlane_bridge* bridge;
 *   char message[256];
 *   if (quorlane_start(&options, &bridge, message, sizeof message) != QUORLANE_OK) ...
 *   quorlane_send(bridge, "{\"type\":\"OpenMic\"}", (size_t)-1);
 *   quorlane_text* text;
 *   while (quorlane_receive_text(bridge, 1000, &text) == QUORLANE_OK) {
 *       puts(text->data);
 *       quorlane_text_release(text);
 *   }
 *   quorlane_close(bridge, 3000);
 *   quorlane_destroy(bridge);
 *
 * Threads. Every function may be called from any thread; one bridge may be used by several
 * threads at once. The library reads the bridge's pipes on threads of its own, all the time,
 * into bounded queues: a host that receives late or never only loses the oldest queued items
 * (counted in quorlane_stats), and the bridge is never held up. Received items are taken either
 * by polling (quorlane_receive_text, quorlane_receive_frame, with a time-out, from any thread)
 * or by callbacks, which the library calls on its own delivery threads: one for texts and the
 * exit, one for frames, so a callback that takes long delays only its own kind. A callback may
 * call quorlane_send and the receive functions of other kinds, but not quorlane_close or
 * quorlane_destroy of its bridge (they return QUORLANE_IN_CALLBACK).
 *
 * POSIX: quorlane_start sets SIGPIPE to ignored when it is at its default, so that a write to a
 * bridge that has ended fails instead of ending the host.
 *
 * Strings are UTF-8 (paths too, also on Windows).
 */
#ifndef QUORLANE_H
#define QUORLANE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(QUORLANE_BUILDING)
#define QUORLANE_API __declspec(dllexport)
#elif defined(QUORLANE_STATIC)
#define QUORLANE_API
#else
#define QUORLANE_API __declspec(dllimport)
#endif
#else
#define QUORLANE_API __attribute__((visibility("default")))
#endif

/* Frame channels: 0 the local preview, 1 to 4 the viewed streams. */
#define QUORLANE_CHANNELS 5

typedef enum quorlane_result {
    QUORLANE_OK = 0,
    QUORLANE_TIMEOUT = 1,           /* nothing arrived within the time-out */
    QUORLANE_ENDED = 2,             /* the bridge has ended and all it sent was received */
    QUORLANE_INVALID_ARGUMENT = -1, /* a null handle or pointer, a bad channel or length */
    QUORLANE_START_FAILED = -2,     /* the executable could not be started */
    QUORLANE_NO_GREETING = -3,      /* it started, but ended or stayed silent before greeting */
    QUORLANE_CLOSED = -4,           /* quorlane_close was called: nothing more is sent */
    QUORLANE_RUNNING = -5,          /* no exit information yet: the bridge still runs */
    QUORLANE_CALLBACK_MODE = -6,    /* a callback takes this kind of item; it cannot be polled */
    QUORLANE_IN_CALLBACK = -7,      /* not allowed on the bridge's own delivery threads */
    QUORLANE_NO_MEMORY = -8,
    QUORLANE_SYSTEM_ERROR = -9 /* pipes or threads could not be made */
} quorlane_result;

/* A fixed English text for a result code ("timed out", ...); never null. */
QUORLANE_API const char* quorlane_result_text(int result);

/* The library's version, "MAJOR.MINOR.PATCH" (the bridge's). */
QUORLANE_API const char* quorlane_version(void);

/* One reply or event, a whole JSON text as the bridge wrote it, NUL-terminated; or, with
 * source QUORLANE_FROM_CONTROL, one line of the simulated SDK's control channel. */
#define QUORLANE_FROM_BRIDGE 0
#define QUORLANE_FROM_CONTROL 1
typedef struct quorlane_text {
    const char* data;
    size_t length; /* without the terminating NUL */
    int source;
} quorlane_text;

/* One whole frame, planar YUV 4:2:0 (I420): y is width x height bytes with stride width; u and
 * v are ((width + 1) / 2) x ((height + 1) / 2) with stride chroma_stride. */
typedef struct quorlane_frame {
    int channel;
    int width;
    int height;
    int y_stride;
    int chroma_stride;
    const uint8_t* y;
    const uint8_t* u;
    const uint8_t* v;
    uint64_t number; /* 0, 1, 2, ... on its channel; a gap means frames were dropped */
} quorlane_frame;

/* How the bridge ended. */
typedef struct quorlane_exit {
    int exited;            /* 1: it ended through exit with `code` */
    int code;              /* exit code (Windows: also the code of a fault) */
    int signaled;          /* 1: it was ended by signal `signal` (POSIX) */
    int signal;            /* signal number */
    int closed;            /* 1: it ended after quorlane_close */
    char description[112]; /* "exit code 0", "killed by signal 9 (Killed)", ... */
} quorlane_exit;

typedef struct quorlane_stats {
    uint64_t texts_received;
    uint64_t texts_dropped; /* received but dropped unread, the queue being full */
    uint64_t frames_received[QUORLANE_CHANNELS];
    uint64_t frames_dropped[QUORLANE_CHANNELS];
    uint64_t skipped_bytes;      /* bytes on descriptor 4 outside any JSON text */
    uint64_t queued_bytes;       /* bytes the queues hold now */
    int torn[QUORLANE_CHANNELS]; /* 1: the channel's stream lost its framing (read, not used) */
} quorlane_stats;

/* Callbacks: the item is valid during the call only. `user_data` is the options' one. */
typedef void (*quorlane_text_callback)(void* user_data, const quorlane_text* text);
typedef void (*quorlane_frame_callback)(void* user_data, const quorlane_frame* frame);
typedef void (*quorlane_exit_callback)(void* user_data, const quorlane_exit* exit);

typedef struct quorlane_options {
    const char* executable;        /* the bridge (Quorlane, Quorlane.exe); required */
    const char* working_directory; /* NULL: the host's */
    /* "NAME=value" entries added to (or replacing those of) the host's environment, ended by a
     * NULL entry; NULL: none. */
    const char* const* environment;
    int scripted;            /* nonzero: the simulated SDK's control channel on 10 and 11 */
    int start_timeout_ms;    /* how long quorlane_start waits for the greeting */
    int text_queue_limit;    /* texts held unread; more drop the oldest */
    int frame_queue_limit;   /* frames held unread per channel; more drop the oldest */
    const char* stdout_path; /* the bridge's standard output goes to this file; NULL: the host's */
    const char* stderr_path; /* the same for standard error */
    /* NULL: poll for that kind. on_exit is called once, after the last text. */
    quorlane_text_callback on_text;
    quorlane_frame_callback on_frame;
    quorlane_exit_callback on_exit;
    void* user_data;
} quorlane_options;

typedef struct quorlane_bridge quorlane_bridge;

/* Fills `options` with the defaults: start_timeout_ms 10000, text_queue_limit 1024,
 * frame_queue_limit 4, everything else 0 or NULL. */
QUORLANE_API void quorlane_options_init(quorlane_options* options);

/* Starts the bridge and returns once its greeting { "code": 0, "type": "DaemonStart" } has
 * arrived (it is the first text received). On failure `*bridge` is NULL, the bridge (if it
 * started) has been ended, and `message` (when not NULL) holds why, cut to `message_size`. */
QUORLANE_API int quorlane_start(const quorlane_options* options, quorlane_bridge** bridge,
                                char* message, size_t message_size);

/* Writes one command text (length (size_t)-1: up to its NUL) to descriptor 3. Returns once it
 * is written; waits while the pipe is full. QUORLANE_ENDED when the bridge has gone,
 * QUORLANE_CLOSED after quorlane_close. */
QUORLANE_API int quorlane_send(quorlane_bridge* bridge, const char* text, size_t length);

/* Writes one request line (a line end is added) to the control channel (scripted mode). */
QUORLANE_API int quorlane_send_control(quorlane_bridge* bridge, const char* line);

/* Takes the oldest text. timeout_ms: 0 do not wait, -1 no limit. QUORLANE_OK with `*text` to
 * release, QUORLANE_TIMEOUT, or QUORLANE_ENDED once the bridge has ended and every text was
 * taken (quorlane_exit_info then tells how it ended). */
QUORLANE_API int quorlane_receive_text(quorlane_bridge* bridge, int timeout_ms,
                                       quorlane_text** text);
QUORLANE_API void quorlane_text_release(quorlane_text* text);

/* Takes the oldest frame of `channel`, or of any channel when channel is -1; as above. */
QUORLANE_API int quorlane_receive_frame(quorlane_bridge* bridge, int channel, int timeout_ms,
                                        quorlane_frame** frame);
/* Waits until a text or a frame can be taken (QUORLANE_OK), the bridge has ended and all was
 * taken (QUORLANE_ENDED), or the time-out (QUORLANE_TIMEOUT): one loop can serve both kinds. */
QUORLANE_API int quorlane_wait(quorlane_bridge* bridge, int timeout_ms);

/* A frame stays valid until released, also after quorlane_destroy. */
QUORLANE_API void quorlane_frame_release(quorlane_frame* frame);

/* The orderly end: closes the command pipes and stops reading replies (the bridge takes that as
 * its host having gone and switches everything off), asks it to end (SIGTERM on POSIX), and
 * after `grace_ms` more (negative: 5000) ends it at once. Returns once it has ended; waiting
 * calls on other threads return. Items already queued can still be received. */
QUORLANE_API int quorlane_close(quorlane_bridge* bridge, int grace_ms);

/* Ends the bridge as quorlane_close does with the default grace if it still runs, and frees
 * the handle. NULL is ignored. */
QUORLANE_API void quorlane_destroy(quorlane_bridge* bridge);

/* QUORLANE_OK and `*exit` once the bridge has ended; QUORLANE_RUNNING before. */
QUORLANE_API int quorlane_exit_info(quorlane_bridge* bridge, quorlane_exit* exit);

/* The bridge's process ID. */
QUORLANE_API int quorlane_pid(quorlane_bridge* bridge);

QUORLANE_API int quorlane_get_stats(quorlane_bridge* bridge, quorlane_stats* stats);

/* Why a channel's stream lost its framing ("frame 3: payload length 95 for 8x8 (expected 96)");
 * QUORLANE_OK with the text, or QUORLANE_INVALID_ARGUMENT when the channel is not torn. */
QUORLANE_API int quorlane_channel_error(quorlane_bridge* bridge, int channel, char* message,
                                        size_t message_size);

#ifdef __cplusplus
}
#endif

#endif /* QUORLANE_H */
