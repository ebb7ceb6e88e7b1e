/* The floor for the hand-off benchmark: the system work of one hand-off and
 * nothing else. Attaches or creates the seven segments and their mutex
 * objects (docs/ipc.md), reads the setup file, reads the status under its
 * mutex and, when it is READY, writes the path under the path's mutex.
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
static const uint32_t kReady = 0xFFFFFFFFu;

static const char* const kNames[7] = {
    "MMFLG_PCRESET",   "MMFLG_TIMEPOSVALID", "MM_XBTTIMEPOS", "MM_XMITPATH",
    "MM_XMITERSTATUS", "MM_SHIPSPEEDDIR",    "MM_XBTFROMXVER"};

static void* attach(const char* name, const char* suffix, off_t size) {
  char path[64];
  snprintf(path, sizeof path, "/%s%s", name, suffix);
  int fd = shm_open(path, O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd >= 0) {
    fchmod(fd, 0600);
  } else {
    fd = shm_open(path, O_RDWR, 0);
  }
  if (fd < 0) return NULL;
  struct stat st;
  if (fstat(fd, &st) != 0 || (st.st_size < size && posix_fallocate(fd, 0, size) != 0)) {
    close(fd);
    return NULL;
  }
  void* p = mmap(NULL, (size_t)size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  return p == MAP_FAILED ? NULL : p;
}

/* The objects exist and are ready in the benchmark; a fresh one is made ready
 * here the simple way, without the recovery of a dead initialiser. */
static pthread_mutex_t* ready_mutex(void* object) {
  uint32_t* state = (uint32_t*)object + 2;
  uint32_t expected = 0;
  pthread_mutex_t* m = (pthread_mutex_t*)((char*)object + kMutexOffset);
  if (__atomic_compare_exchange_n(state, &expected, (uint32_t)getpid(), 0,
                                  __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
    pthread_mutexattr_t a;
    pthread_mutexattr_init(&a);
    pthread_mutexattr_setpshared(&a, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&a, PTHREAD_MUTEX_ROBUST);
    pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(m, &a);
    memcpy(object, "XVMX", 4);
    ((uint32_t*)object)[1] = 1;
    __atomic_store_n(state, kReady, __ATOMIC_RELEASE);
  }
  return m;
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
  for (int i = 0; i < 7; ++i) {
    segment[i] = attach(kNames[i], "", kSize);
    void* object = attach(kNames[i], "MUTEX", kMutexSize);
    mutex[i] = object ? ready_mutex(object) : NULL;
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
  memcpy(segment[3], argv[2], n + 1);
  pthread_mutex_unlock(mutex[3]);
  return 1;
}
