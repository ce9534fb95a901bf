"""The demo-room session through the Python module, against the bridge named by QUORLANE_BRIDGE
(the library: QUORLANE_LIBRARY)."""

import os
import tempfile
import unittest

import demo_room
import quorlane


class DemoRoomSession(unittest.TestCase):
    def test_session_counts_frames_per_channel_and_ends_in_order(self):
        lines = []
        with tempfile.TemporaryDirectory() as cwd:
            counts, exit_info = demo_room.run(os.environ["QUORLANE_BRIDGE"], 10, lines.append,
                                              cwd=cwd)
        print("\n".join(lines))
        self.assertTrue(all(c >= 10 for c in counts[1:4]), counts)
        self.assertEqual((counts[0], counts[4]), (0, 0))
        self.assertTrue(exit_info["exited"] and exit_info["closed"], exit_info)
        self.assertEqual(exit_info["code"], 0)
        transcript = "\n".join(lines)
        self.assertIn('"type": "DaemonStart"', transcript)
        self.assertIn("{'code': 1, 'type': 'Login'}", transcript)
        self.assertIn("event StreamsList", transcript)

    def test_failures_raise_with_the_reason(self):
        with self.assertRaises(quorlane.QuorlaneError) as caught:
            quorlane.Bridge("/nonexistent/Quorlane")
        self.assertIn("/nonexistent/Quorlane", str(caught.exception))
        with quorlane.Bridge(os.environ["QUORLANE_BRIDGE"], cwd=tempfile.gettempdir()) as bridge:
            os.kill(bridge.pid, 9)
            with self.assertRaises(quorlane.BridgeEnded) as ended:
                while True:
                    bridge.receive_frame()
            self.assertTrue(ended.exception.exit["signaled"])


if __name__ == "__main__":
    unittest.main()
