/* The floor for the hand-off benchmark: the system work of one hand-off and
 * nothing else. Attaches or creates the seven segments and their mutex
 * objects, holding each as docs/ipc.md says, reads the setup file, reads the
 * status under its mutex and, when it is READY, writes the path under the
 * path's mutex.
 * Usage: floor SETUP_FILE PATH. Exit status 1 handed over, 0 refused. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

enum { kSize = 201, kMutexSize = 128, kMutexOffset = 64 };

static const char* const kNames[7] = {
    "MMFLG_PCRESET",   "MMFLG_TIMEPOSVALID", "MM_XBTTIMEPOS", "MM_XMITPATH",
    "MM_XMITERSTATUS", "MM_SHIPSPEEDDIR",    "MM_XBTFROMXVER"};

static int whole_file_lock(int fd, short type) {
  struct flock l = {.l_type = type, .l_whence = SEEK_SET};
  return fcntl(fd, F_OFD_SETLK, &l) == 0;
}

static void init_mutex(char* object) {
  pthread_mutexattr_t a;
  pthread_mutexattr_init(&a);
  pthread_mutexattr_setpshared(&a, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&a, PTHREAD_MUTEX_ROBUST);
  pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init((pthread_mutex_t*)(object + kMutexOffset), &a);
  memcpy(object, "XVMX", 4);
  ((uint32_t*)object)[1] = 2;
}

/* The account's folder of docs/ipc.md, opened once. */
static int folder(void) {
  char path[64];
  snprintf(path, sizeof path, "/dev/shm/xver-%u", (unsigned)geteuid());
  const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int fd = open(path, flags);
  if (fd < 0 && mkdir(path, 0700) == 0) fd = open(path, flags);
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || st.st_uid != geteuid())) return -1;
  return fd;
}

/* The attach loop of docs/ipc.md, without its checks of foreign objects and
 * its time bound: the objects are held and whole in the benchmark. */
static char* attach(int dir, const char* name, const char* suffix, off_t size) {
  char file[64];
  snprintf(file, sizeof file, "%s%s", name, suffix);
  int fd = openat(dir, file, O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    fd = openat(dir, file, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                0600);
    if (fd >= 0) fchmod(fd, 0600);
  }
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || st.st_uid != geteuid()) return NULL;
  char* p = NULL;
  for (;;) {
    if (whole_file_lock(fd, F_WRLCK)) {
      if (ftruncate(fd, 0) != 0 || ftruncate(fd, size) != 0 ||
          posix_fallocate(fd, 0, size) != 0)
        break;
      p = mmap(NULL, (size_t)size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      if (p != MAP_FAILED && size == kMutexSize) init_mutex(p);
      whole_file_lock(fd, F_RDLCK);
      break;
    }
    if (whole_file_lock(fd, F_RDLCK)) {
      p = mmap(NULL, (size_t)size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
      break;
    }
    usleep(1000);
  }
  close(fd); /* the mapping keeps the hold */
  return p == MAP_FAILED ? NULL : p;
}

static int lock(pthread_mutex_t* m) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  t.tv_sec += 3;
  int rc = pthread_mutex_clocklock(m, CLOCK_MONOTONIC, &t);
  if (rc == EOWNERDEAD) pthread_mutex_consistent(m);
  return rc == 0;
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  char* segment[7];
  pthread_mutex_t* mutex[7];
  const int dir = folder();
  for (int i = 0; i < 7; ++i) {
    segment[i] = attach(dir, kNames[i], "", kSize);
    char* object = attach(dir, kNames[i], "MUTEX", kMutexSize);
    mutex[i] = object ? (pthread_mutex_t*)(object + kMutexOffset) : NULL;
  }

  char line[300];
  FILE* setup = fopen(argv[1], "r");
  if (setup) {
    while (fgets(line, sizeof line, setup)) {
    }
    fclose(setup);
  }

  char status[kSize + 1] = "";
  if (segment[4] && mutex[4] && lock(mutex[4])) {
    memcpy(status, segment[4], kSize);
    pthread_mutex_unlock(mutex[4]);
  }
  if (strcmp(status, "READY") != 0) return 0;
  size_t n = strlen(argv[2]);
  if (n >= 200 || !segment[3] || !mutex[3] || !lock(mutex[3])) return 0;
  /* Whole or empty: byte 0 cleared first and written last. */
  segment[3][0] = '\0';
  memcpy(segment[3] + 1, argv[2] + 1, n);
  __atomic_store_n(&segment[3][0], argv[2][0], __ATOMIC_RELEASE);
  pthread_mutex_unlock(mutex[3]);
  return 1;
}
