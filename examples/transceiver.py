#!/usr/bin/env python3
"""A transceiver-control process in Python, on the xver module: it reports
READY, takes each path handed over and prints it, and stops cleanly on
SIGTERM or Ctrl+C, taking what was handed over before it said STOPPED."""
import os
import signal
import sys
import time

import xver

stopping = False


def stop(*_):
    global stopping
    stopping = True


def take(suite):
    """Prints the path waiting in the slot, if one does."""
    try:
        path = suite.take_path()
    except xver.Error as error:
        print("transceiver:", error, file=sys.stderr)
        return
    if path is not None:
        print(os.fsdecode(path), flush=True)


signal.signal(signal.SIGTERM, stop)
signal.signal(signal.SIGINT, stop)
with xver.Suite() as suite:
    problems = [suite.problem(name) for name in xver.SEGMENTS if suite.problem(name)]
    if problems:
        sys.exit("transceiver: " + "; ".join(problems))
    suite.write("MM_XMITERSTATUS", b"STARTING")
    suite.write("MM_XMITERSTATUS", b"READY")
    # A path waiting already was handed over while no transceiver ran: the
    # first look takes it.
    while not stopping:
        take(suite)
        time.sleep(0.005)
    suite.write("MM_XMITERSTATUS", b"STOPPED")
    take(suite)
