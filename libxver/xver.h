/* xver.h: the on-machine protocol of the shipboard data suite, for its
 * programs in C and C++: the seven named shared-memory segments, their
 * mutexes, the path slot, and the transmit request of xversend.
 *
 * The objects live as long as some process holds them, on Linux as on
 * Windows; a process holds what it attached from xver_open to xver_close.
 * Every function returns its failures as results: the library never writes
 * to the standard streams and never ends the process.
 *
 * Threads: a suite handle is used by one thread at a time; several handles,
 * in one thread or several, are fine.
 *
 * Signals (Linux): copies to and from a segment survive another process
 * cutting it short. For that the library installs, once, a SIGBUS handler
 * that passes every fault outside its copies on to the handler installed
 * before it, and unblocks SIGBUS in the calling thread for the length of
 * each copy. It changes no other disposition and no other signal's mask.
 *
 * Link with `pkg-config --cflags --libs xver`, or in CMake
 * `find_package(xver)` and `xver::xver`. */
#ifndef XVER_H
#define XVER_H

#ifdef __cplusplus
extern "C" {
#endif

#define XVER_TEXT_MAX                                    \
  200 /* characters of a segment's text, without its NUL \
       */

enum xver_segment { /* in the order the suite attaches them */
                    XVER_MMFLG_PCRESET,
                    XVER_MMFLG_TIMEPOSVALID,
                    XVER_MM_XBTTIMEPOS,
                    XVER_MM_XMITPATH,
                    XVER_MM_XMITERSTATUS,
                    XVER_MM_SHIPSPEEDDIR,
                    XVER_MM_XBTFROMXVER,
                    XVER_SEGMENT_COUNT
};

enum xver_result {
  XVER_OK = 0,        /* done */
  XVER_ABANDONED = 1, /* done; the mutex's previous holder had died: the text
                         is whole or empty */
  XVER_EMPTY = 2,     /* xver_take_path: no path waiting */
  XVER_TIMEOUT = -1,  /* another process held the mutex past the wait */
  XVER_UNUSABLE = -2, /* the segment is not attached or its mutex is
                         unusable: see xver_problem */
  XVER_TOO_LONG = -3  /* a text of more than XVER_TEXT_MAX characters;
                         nothing written */
};

typedef struct xver_suite xver_suite;

/* Attaches all seven segments and their mutexes, creating those that no
 * process holds, as xversend's start-up does: one bound of 3000 ms in all
 * for other processes that are making objects new. Holds them until
 * xver_close. Changes no text. A segment that cannot be had is left
 * unattached (see xver_problem); the handle is returned all the same.
 * Returns NULL only when out of memory. */
xver_suite *xver_open(void);

/* Lets go of the objects; one that no other process holds then ends, with
 * its text. Changes no text. NULL is fine. */
void xver_close(xver_suite *suite);

/* The segment's name ("MM_XMITPATH", ...); its mutex is this name with
 * "MUTEX" appended. NULL when segment is out of range. */
const char *xver_segment_name(int segment);

/* "" when the segment and its mutex are usable, else why not, as xversend's
 * line says it, e.g. "MM_XMITPATH: not used: it belongs to user 65534".
 * NULL when segment is out of range. Valid until the next call with this
 * handle. */
const char *xver_problem(const xver_suite *suite, int segment);

/* 1 when xver_open made the segment new (no other process held it): it ends
 * with this handle unless another process attaches it meanwhile. Else 0. */
int xver_made_new(const xver_suite *suite, int segment);

/* Copies the NUL-terminated text at byte 0 of the segment into text (201
 * bytes and a NUL when the segment holds no NUL), waiting at most
 * timeout_ms for its mutex. XVER_OK, XVER_ABANDONED, XVER_TIMEOUT or
 * XVER_UNUSABLE; text is "" unless the text was read. */
int xver_read(xver_suite *suite, int segment, char text[XVER_TEXT_MAX + 2],
              int timeout_ms);

/* Writes text with its NUL at byte 0 of the segment, whole or none as every
 * reader sees it, even if this process dies part-way: byte 0 is cleared
 * first and written last. Bytes after the NUL keep their contents.
 * XVER_OK, XVER_ABANDONED, XVER_TIMEOUT, XVER_UNUSABLE or XVER_TOO_LONG. */
int xver_write(xver_suite *suite, int segment, const char *text,
               int timeout_ms);

/* The path rule of this build: 1 when text holds ':' or '\' (Linux also
 * '/'; Windows searches double-byte code pages character by character),
 * else 0. A path waits for READY and for the slot; other texts do not. */
int xver_is_path(const char *text);

/* For the transceiver-control process: when the text in MM_XMITPATH is a
 * path, copies it into path and empties the slot (byte 0 cleared), in one
 * hold of its mutex: XVER_OK, or XVER_ABANDONED (the path is whole: take
 * it). XVER_EMPTY when no path waits, path then "". Else XVER_TIMEOUT or
 * XVER_UNUSABLE. */
int xver_take_path(xver_suite *suite, char path[XVER_TEXT_MAX + 2],
                   int timeout_ms);

/* xversend's request, exactly: a path (xver_is_path) is handed over when
 * MM_XMITERSTATUS says "READY", another holder (this handle aside) holds
 * MM_XMITPATH (Windows: held it at xver_open), and the slot is free within
 * 3000 ms; any other text is written at once. Returns 1 handed over, 0
 * refused. message receives the line xversend would print, without
 * "xversend: ", or "". */
int xver_submit(xver_suite *suite, const char *request, char message[256]);

/* Locks the segment's mutex, waiting at most timeout_ms, and keeps it until
 * xver_unlock: to make several accesses one, or to stand in for a stuck
 * peer and try other programs' bounds (xverctl hold). Recursive within the
 * thread that holds it. XVER_OK, XVER_ABANDONED (held now; the text is whole
 * or empty), XVER_TIMEOUT or XVER_UNUSABLE. */
int xver_lock(xver_suite *suite, int segment, int timeout_ms);

/* Releases one hold that this thread took with xver_lock; no effect when
 * it holds none. */
void xver_unlock(xver_suite *suite, int segment);

/* The library's version, "1.1.0". */
const char *xver_version(void);

#ifdef __cplusplus
}
#endif

#endif /* XVER_H */
