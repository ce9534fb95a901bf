/* A host in plain C: the demo room through libquorlane. Starts the bridge, logs in, enters the
 * room, views its three streams, counts their frames, and ends the bridge in order. Exits 0 when
 * every step worked.
 *
 *   demo_session PATH_TO_BRIDGE [FRAMES_PER_CHANNEL]
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "quorlane.h"

/* The string value of `key` in a JSON text ("" when absent); enough for the bridge's texts,
 * whose "type" comes before any nested object. */
static void member(const char* json, const char* key, char* out, size_t size) {
    char quoted[64];
    const char* at;
    size_t n = 0;
    out[0] = '\0';
    snprintf(quoted, sizeof quoted, "\"%s\"", key);
    at = strstr(json, quoted);
    if (at == NULL)
        return;
    at += strlen(quoted);
    while (*at == ' ' || *at == ':')
        ++at;
    if (*at == '"')
        ++at;
    while (at[n] != '\0' && at[n] != '"' && at[n] != ',' && at[n] != '}' && n + 1 < size) {
        out[n] = at[n];
        ++n;
    }
    out[n] = '\0';
}

static int frames[QUORLANE_CHANNELS];

/* Receives until a text whose "type" is `type` arrives (a reply when want_reply, else an
 * event), counting frames meanwhile. Returns its "code" for a reply, 0 for an event, or -1000
 * when it did not come within about `seconds`. */
static int await(quorlane_bridge* bridge, const char* type, int want_reply, int seconds) {
    int turns = seconds * 50;
    while (turns-- > 0) {
        quorlane_text* text;
        quorlane_frame* frame;
        int result;
        while ((result = quorlane_receive_text(bridge, 0, &text)) == QUORLANE_OK) {
            char got[64], code[16];
            int is_reply;
            member(text->data, "type", got, sizeof got);
            member(text->data, "code", code, sizeof code);
            is_reply = strstr(text->data, "\"param\"") == NULL && code[0] != '\0';
            printf("%s %.100s\n", is_reply ? "reply" : "event", text->data);
            quorlane_text_release(text);
            if (strcmp(got, type) == 0 && is_reply == want_reply)
                return is_reply ? atoi(code) : 0;
        }
        if (result == QUORLANE_ENDED)
            return -1000;
        result = quorlane_receive_frame(bridge, -1, 20, &frame);
        if (result == QUORLANE_OK) {
            ++frames[frame->channel];
            quorlane_frame_release(frame);
        }
    }
    return -1000;
}

static int fail(quorlane_bridge* bridge, const char* what) {
    quorlane_exit exit_info;
    fprintf(stderr, "FAILED: %s\n", what);
    if (quorlane_exit_info(bridge, &exit_info) == QUORLANE_OK)
        fprintf(stderr, "the bridge ended: %s\n", exit_info.description);
    quorlane_destroy(bridge);
    return 1;
}

int main(int argc, char** argv) {
    quorlane_options options;
    quorlane_bridge* bridge;
    quorlane_exit exit_info;
    char message[256];
    int want = argc > 2 ? atoi(argv[2]) : 15, turns, result, c;
    if (argc < 2) {
        fprintf(stderr, "usage: demo_session PATH_TO_BRIDGE [FRAMES_PER_CHANNEL]\n");
        return 2;
    }
    quorlane_options_init(&options);
    options.executable = argv[1];
    result = quorlane_start(&options, &bridge, message, sizeof message);
    if (result != QUORLANE_OK) {
        fprintf(stderr, "cannot start: %s (%s)\n", quorlane_result_text(result), message);
        return 1;
    }
    printf("started, pid %d, libquorlane %s\n", quorlane_pid(bridge), quorlane_version());
    if (await(bridge, "DaemonStart", 1, 10) != 0)
        return fail(bridge, "greeting");

    quorlane_send(bridge,
                  "{\"type\":\"Login\",\"param\":{\"userID\":\"c-host\",\"userName\":\"C Host\","
                  "\"test\":1}}",
                  (size_t)-1);
    if (await(bridge, "Login", 1, 10) != 1)
        return fail(bridge, "Login");
    quorlane_send(bridge,
                  "{\"type\":\"EnterRoom\",\"param\":{\"RoomName\":\"Demo Room\","
                  "\"RoomID\":\"demo\",\"role\":1}}",
                  (size_t)-1);
    if (await(bridge, "EnterRoom", 1, 10) != 0)
        return fail(bridge, "EnterRoom");
    if (await(bridge, "StreamsList", 0, 10) != 0)
        return fail(bridge, "StreamsList event");
    quorlane_send(bridge, "{\"type\":\"RequestView\",\"param\":[\"demo-1\",\"demo-2\",\"demo-3\"]}",
                  (size_t)-1);
    for (turns = 0; turns < 60 * 50; ++turns) {
        quorlane_frame* frame;
        if (frames[1] >= want && frames[2] >= want && frames[3] >= want)
            break;
        result = quorlane_receive_frame(bridge, -1, 20, &frame);
        if (result == QUORLANE_ENDED)
            return fail(bridge, "frames");
        if (result == QUORLANE_OK) {
            if (frames[frame->channel]++ == 0)
                printf("channel %d: first frame %dx%d\n", frame->channel, frame->width,
                       frame->height);
            quorlane_frame_release(frame);
        }
    }
    for (c = 0; c < QUORLANE_CHANNELS; ++c)
        printf("channel %d: %d frames\n", c, frames[c]);
    if (frames[1] < want || frames[2] < want || frames[3] < want)
        return fail(bridge, "too few frames");

    quorlane_close(bridge, 5000);
    if (quorlane_exit_info(bridge, &exit_info) != QUORLANE_OK)
        return fail(bridge, "no exit information after close");
    printf("closed: %s\n", exit_info.description);
    result = exit_info.exited && exit_info.code == 0 ? 0 : 1;
    quorlane_destroy(bridge);
    return result;
}
