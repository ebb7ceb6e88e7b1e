"""The xver module as a Python program of the suite uses it, beside
xversend and `xverctl serve` (paths from $XVERSEND and $XVERCTL)."""
import os
import subprocess
import time
import unittest

import xver

XVERSEND = os.environ["XVERSEND"]
XVERCTL = os.environ["XVERCTL"]


def wait_until(condition, timeout=10.0):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.005)
    return True


class SuiteTest(unittest.TestCase):
    def setUp(self):
        subprocess.run([XVERCTL, "remove"], check=True)
        self.suite = xver.Suite()

    def tearDown(self):
        self.suite.close()
        subprocess.run([XVERCTL, "remove"], check=True)

    def test_segments_and_the_path_rule(self):
        self.assertEqual(xver.SEGMENTS[3:5], ("MM_XMITPATH", "MM_XMITERSTATUS"))
        self.assertEqual(len(xver.SEGMENTS), 7)
        for text, is_path in [(b"C:\\x", True), ("C:\\x", True), (b"word", False), ("", False)]:
            self.assertIs(xver.is_path(text), is_path, text)
        self.assertEqual(xver.version(), "1.1.0")

    def test_texts_in_and_out(self):
        self.assertEqual(self.suite.problem("MM_XMITPATH"), "")
        self.assertIs(self.suite.made_new("MM_XMITPATH"), True)
        self.suite.write("MM_XMITERSTATUS", b"READY")
        self.assertEqual(self.suite.read("MM_XMITERSTATUS"), b"READY")
        self.suite.write("MM_XMITERSTATUS", "STARTING")
        self.assertEqual(self.suite.read("MM_XMITERSTATUS"), b"STARTING")
        with self.assertRaises(xver.Unusable):
            self.suite.write("MM_XMITERSTATUS", b"x" * 201)
        with self.assertRaises(ValueError):
            self.suite.read("MM_NOSUCH")

    def test_take_path_and_submit_beside_xversend(self):
        other = xver.Suite()  # a peer holding the segments, so the slot lives
        try:
            self.assertIs(other.made_new("MM_XMITPATH"), False)
            self.suite.write("MM_XMITERSTATUS", b"READY")
            self.assertEqual(subprocess.run([XVERSEND, "C:\\Data\\a.txt"]).returncode, 1)
            self.assertEqual(self.suite.take_path(), b"C:\\Data\\a.txt")
            self.assertIsNone(self.suite.take_path())
            self.assertEqual(self.suite.submit(b"C:\\Data\\b.txt"), (True, ""))
            self.assertEqual(other.submit("C:\\Data\\c.txt")[0], False)  # b waits
            self.suite.write("MM_XMITERSTATUS", b"STARTING")
            self.assertEqual(self.suite.submit(b"C:\\Data\\d.txt"), (False, ""))
        finally:
            other.close()

    def test_a_mutex_held_past_the_wait_raises_timeout(self):
        holder = subprocess.Popen([XVERCTL, "hold", "MM_XMITERSTATUS", "3000"],
                                  stdout=subprocess.PIPE, text=True)
        try:
            self.assertTrue(holder.stdout.readline().startswith("holding"))
            with self.assertRaises(xver.Timeout):
                self.suite.read("MM_XMITERSTATUS", timeout_ms=100)
        finally:
            holder.kill()
            holder.wait()


class SubmitIntoServeTest(unittest.TestCase):
    def test_paths_submitted_from_python_are_taken_by_xverctl_serve(self):
        server = subprocess.Popen([XVERCTL, "serve"], stdout=subprocess.PIPE, text=True)
        try:
            with xver.Suite() as suite:
                self.assertTrue(wait_until(lambda: suite.read("MM_XMITERSTATUS") == b"READY"))
                for i in range(5):
                    self.assertEqual(suite.submit("C:\\Data\\py_%d.txt" % i), (True, ""))
                server.terminate()
                lines = server.communicate(timeout=10)[0].splitlines()
            self.assertEqual([line.split("\t")[0] for line in lines],
                             ["C:\\Data\\py_%d.txt" % i for i in range(5)])
        finally:
            server.kill()
            server.wait()


if __name__ == "__main__":
    unittest.main()
