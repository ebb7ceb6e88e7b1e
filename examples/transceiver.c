/* A transceiver-control process in C, written against xver.h alone: it
 * reports READY, takes each path handed over and prints it, and stops
 * cleanly on SIGTERM or SIGINT, taking what was handed over before it said
 * STOPPED. POSIX.
 *
 *   cc -o transceiver transceiver.c $(pkg-config --cflags --libs xver) */
#define _POSIX_C_SOURCE 200809L
#include <signal.h>
#include <stdio.h>
#include <time.h>

#include <xver.h>

enum { WAIT_MS = 3000 };

static volatile sig_atomic_t stopping = 0;

static void stop(int signal_number) {
  (void)signal_number;
  stopping = 1;
}

/* Prints the path waiting in the slot, if one does. A path found after an
 * abandoned wait is whole: it is taken as any other. */
static void take(xver_suite *suite) {
  char path[XVER_TEXT_MAX + 2];
  const int result = xver_take_path(suite, path, WAIT_MS);
  if (result == XVER_OK || result == XVER_ABANDONED) {
    printf("%s\n", path);
    fflush(stdout);
  } else if (result == XVER_TIMEOUT) {
    fprintf(stderr, "transceiver: MM_XMITPATH held past %d ms\n", WAIT_MS);
  } else if (result == XVER_UNUSABLE) {
    fprintf(stderr, "transceiver: %s\n", xver_problem(suite, XVER_MM_XMITPATH));
  }
}

int main(void) {
  const struct timespec pause = {0, 5000000L};
  xver_suite *suite;
  int segment;

  signal(SIGTERM, stop);
  signal(SIGINT, stop);
  suite = xver_open();
  if (!suite) return 1;
  for (segment = 0; segment < XVER_SEGMENT_COUNT; ++segment) {
    if (*xver_problem(suite, segment)) {
      fprintf(stderr, "transceiver: %s\n", xver_problem(suite, segment));
      xver_close(suite);
      return 1;
    }
  }
  xver_write(suite, XVER_MM_XMITERSTATUS, "STARTING", WAIT_MS);
  xver_write(suite, XVER_MM_XMITERSTATUS, "READY", WAIT_MS);
  /* A path waiting already was handed over while no transceiver ran: the
   * first look takes it. */
  while (!stopping) {
    take(suite);
    nanosleep(&pause, NULL);
  }
  xver_write(suite, XVER_MM_XMITERSTATUS, "STOPPED", WAIT_MS);
  take(suite);
  xver_close(suite);
  return 0;
}
