"""The demo room from Python: log in, enter the room, view its three streams, count the frames
of each channel, and end the bridge in order. Prints a transcript.

    python3 demo_room.py PATH_TO_BRIDGE [FRAMES_PER_CHANNEL]
"""

import json
import sys
import time

import quorlane


def run(bridge_path, frames_per_channel=30, log=print, cwd=None):
    """Runs the session; returns (frame counts per channel, exit information)."""
    started = time.monotonic()

    def say(text):
        log("%6.3f  %s" % (time.monotonic() - started, text))

    with quorlane.Bridge(bridge_path, cwd=cwd) as bridge:
        say("started pid %d; greeting %s" % (bridge.pid, bridge.receive_text(timeout=10)))
        reply = bridge.request({"type": "Login",
                                "param": {"userID": "py-host", "userName": "Python Host",
                                          "test": 1}})
        say("reply %s" % reply)
        reply = bridge.request({"type": "EnterRoom",
                                "param": {"RoomName": "Demo Room", "RoomID": "demo", "role": 1}})
        say("reply %s" % reply)
        while not any(e.get("type") == "StreamsList" for e in bridge.events):
            text = bridge.receive_text(timeout=10)
            if text is None:
                raise quorlane.QuorlaneError(quorlane.TIMEOUT, "no StreamsList event")
            bridge.events.append(json.loads(text))
        for event in bridge.events:
            say("event %s" % event["type"])
        bridge.send({"type": "RequestView", "param": ["demo-1", "demo-2", "demo-3"]})
        say("viewing demo-1, demo-2, demo-3 on channels 1 to 3")
        counts = [0] * quorlane.CHANNELS
        while min(counts[1:4]) < frames_per_channel:
            frame = bridge.receive_frame(timeout=10)
            if frame is None:
                raise quorlane.QuorlaneError(quorlane.TIMEOUT, "frames stopped: %s" % counts)
            if counts[frame.channel] == 0:
                say("channel %d: first frame %dx%d" % (frame.channel, frame.width,
                                                       frame.height))
            counts[frame.channel] += 1
        say("frames per channel: %s" % counts)
        stats = bridge.stats()
        say("received %s, dropped %s" % (stats["frames_received"], stats["frames_dropped"]))
        exit_info = bridge.close()
        say("closed: %s" % exit_info["description"])
        return counts, exit_info


if __name__ == "__main__":
    counts, exit_info = run(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 30)
    sys.exit(0 if exit_info["exited"] and exit_info["code"] == 0 else 1)
