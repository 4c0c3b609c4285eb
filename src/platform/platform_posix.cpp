// Linux and other POSIX systems. Port access needs iopl on x86 (root or CAP_SYS_RAWIO);
// elsewhere the hardware port is simply not available.
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "platform/platform.h"
#include "platform/raised_privilege_posix.h"

#if (defined(__i386__) || defined(__x86_64__)) && defined(__linux__)
#include <sys/io.h>
#define VANTREL_HAVE_X86_PORTS 1
#endif

namespace vantrel::platform {

// ---- Ports ---------------------------------------------------------------------------
// Linux keeps the I/O privilege level per thread: a thread that existed before access
// was granted (another host thread, say) must raise its own level before its first
// IN or OUT, or that instruction faults.

#ifdef VANTREL_HAVE_X86_PORTS
namespace {
std::atomic<bool> g_access_granted{false};
thread_local bool t_thread_has_access = false;

void EnsureThreadPortAccess() {
  if (!t_thread_has_access && g_access_granted.load(std::memory_order_acquire)) {
    t_thread_has_access = iopl(3) == 0;
  }
}
}  // namespace
#endif

PortAccess RequestHardwarePortAccess() {
#ifdef VANTREL_HAVE_X86_PORTS
  // iopl opens the whole port range, so addresses moved by lpt.ini above 0x3FF work too.
  if (iopl(3) != 0) return PortAccess::kRefused;
  t_thread_has_access = true;
  g_access_granted.store(true, std::memory_order_release);
  return PortAccess::kGranted;
#else
  return PortAccess::kRefused;
#endif
}

uint8_t HardwarePortRead(uint16_t port) {
#ifdef VANTREL_HAVE_X86_PORTS
  EnsureThreadPortAccess();
  return t_thread_has_access ? inb(port) : 0xFF;
#else
  (void)port;
  return 0xFF;
#endif
}

void HardwarePortWrite(uint16_t port, uint8_t value) {
#ifdef VANTREL_HAVE_X86_PORTS
  EnsureThreadPortAccess();
  if (t_thread_has_access) outb(value, port);
#else
  (void)port;
  (void)value;
#endif
}

// ---- Time and diagnostics ------------------------------------------------------------

void SystemSleepMilliseconds(unsigned milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

void WriteDebugOutput(const char* line) { (void)line; }  // no system debug channel here

bool HostExecutableDirectory(std::string& directory) {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return false;
  path[length] = '\0';
  char* lastSeparator = std::strrchr(path, '/');
  if (lastSeparator == nullptr) return false;
  directory.assign(path, static_cast<std::size_t>(lastSeparator - path + 1));
  return true;
}

// ---- Files ---------------------------------------------------------------------------

std::FILE* OpenSmallRegularFile(const std::string& path, std::size_t maxBytes, std::string& failure) {
  failure.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) failure = path + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > maxBytes) {
    close(fd);
    failure = path + ": not a regular file of at most " + std::to_string(maxBytes) + " bytes";
    return nullptr;
  }
  failure = RefusedUnderRaisedPrivilege(path, info);
  if (!failure.empty()) {
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "r");
  if (file == nullptr) {
    failure = path + ": " + std::strerror(errno);
    close(fd);
  }
  return file;
}

// ---- Instance marker -----------------------------------------------------------------
// A lock the kernel drops when its holder dies, so a crashed host never locks every
// later one out. The marker lives in /dev/shm and nowhere else: with a second place two
// hosts could each pick another one and both become active. Any local user can create
// files there, and the host may run as root, so the marker is opened as hostile ground:
// no symlink is followed (not at /dev/shm, not at the marker), only a regular file is
// accepted, and the mode of a file is only ever set on a file just created here. The
// file is never written, so any regular file there serves as the marker, whoever owns
// it. A user who holds its lock keeps every other host out, exactly as a real instance
// does; nothing can tell the two apart.

namespace {
constexpr char kMarkerDirectory[] = "/dev/shm";
constexpr int kMarkerOpenAttempts = 3;  // the marker may vanish between two opens
int g_marker_fd = -1;

std::string SystemReason(const std::string& path, int error) { return path + ": " + std::strerror(error); }

// A directory where another user could rename or replace our marker is no place for it.
bool SafeDirectory(int directoryFd) {
  struct stat info {};
  if (fstat(directoryFd, &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != 0) return false;
  const bool othersMayWrite = (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  return !othersMayWrite || (info.st_mode & S_ISVTX) != 0;
}

// /dev/shm itself, not a symlink in its place; -1, with failure set, when it is no place
// for the marker.
int OpenMarkerDirectory(std::string& failure) {
  const int directoryFd = open(kMarkerDirectory, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (directoryFd < 0) {
    failure = SystemReason(kMarkerDirectory, errno);
    return -1;
  }
  if (!SafeDirectory(directoryFd)) {
    close(directoryFd);
    failure = std::string(kMarkerDirectory) + ": not a root-owned directory with the sticky bit";
    return -1;
  }
  return directoryFd;
}

// Creates the marker, or opens the one that is there. Non-blocking, so that a FIFO put
// in its place can't hold the open up.
int OpenMarkerFile(int directoryFd, const char* name, bool& created) {
  constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  for (int attempt = 0; attempt < kMarkerOpenAttempts; ++attempt) {
    int fd = openat(directoryFd, name, kFlags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0 || errno != EEXIST) {
      created = fd >= 0;
      return fd;
    }
    fd = openat(directoryFd, name, kFlags);
    if (fd >= 0 || errno != ENOENT) {
      created = false;
      return fd;
    }
  }
  return -1;
}
}  // namespace

MarkerResult CreateInstanceMarker(const char* name, std::string& failure) {
  const std::string path = std::string(kMarkerDirectory) + "/" + name;
  const int directoryFd = OpenMarkerDirectory(failure);
  if (directoryFd < 0) return MarkerResult::kFailed;
  bool created = false;
  const int fd = OpenMarkerFile(directoryFd, name, created);
  const int openError = errno;
  close(directoryFd);
  if (fd < 0) {
    failure = SystemReason(path, openError);
    return MarkerResult::kFailed;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    failure = path + ": not a regular file";
    return MarkerResult::kFailed;
  }
  if (created) (void)fchmod(fd, 0666);  // past the umask: another user's later host must take it too
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int lockError = errno;
    close(fd);
    if (lockError == EWOULDBLOCK) return MarkerResult::kAlreadyExists;
    failure = SystemReason(path, lockError);
    return MarkerResult::kFailed;
  }
  g_marker_fd = fd;
  return MarkerResult::kCreated;
}

void CloseInstanceMarker() {
  if (g_marker_fd >= 0) {
    close(g_marker_fd);  // closing drops the lock
    g_marker_fd = -1;
  }
}

// ---- Entry mutex and job gate --------------------------------------------------------
// Only the active instance uses them, so objects local to the process are enough.

namespace {
struct GateState {
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t opened = PTHREAD_COND_INITIALIZER;
  bool open = true;
};
}  // namespace

bool EntryMutex::Create(const char*) {
  if (handle_ != nullptr) return true;
  auto* mutex = new (std::nothrow) pthread_mutex_t;
  if (mutex == nullptr || pthread_mutex_init(mutex, nullptr) != 0) {
    delete mutex;
    return false;
  }
  handle_ = mutex;
  return true;
}

void EntryMutex::Destroy() {
  auto* mutex = static_cast<pthread_mutex_t*>(handle_);
  if (mutex == nullptr) return;
  pthread_mutex_destroy(mutex);
  delete mutex;
  handle_ = nullptr;
}

bool EntryMutex::Lock() {
  auto* mutex = static_cast<pthread_mutex_t*>(handle_);
  return mutex != nullptr && pthread_mutex_lock(mutex) == 0;
}

void EntryMutex::Unlock() {
  if (auto* mutex = static_cast<pthread_mutex_t*>(handle_)) pthread_mutex_unlock(mutex);
}

bool JobGate::Create(const char*) {
  if (handle_ != nullptr) return true;
  handle_ = new (std::nothrow) GateState;
  return handle_ != nullptr;
}

void JobGate::Destroy() {
  delete static_cast<GateState*>(handle_);
  handle_ = nullptr;
}

void JobGate::Shut() {
  auto* gate = static_cast<GateState*>(handle_);
  if (gate == nullptr) return;
  pthread_mutex_lock(&gate->mutex);
  gate->open = false;
  pthread_mutex_unlock(&gate->mutex);
}

void JobGate::Open() {
  auto* gate = static_cast<GateState*>(handle_);
  if (gate == nullptr) return;
  pthread_mutex_lock(&gate->mutex);
  gate->open = true;
  pthread_cond_broadcast(&gate->opened);
  pthread_mutex_unlock(&gate->mutex);
}

bool JobGate::WaitUntilOpen() {
  auto* gate = static_cast<GateState*>(handle_);
  if (gate == nullptr) return false;
  pthread_mutex_lock(&gate->mutex);
  while (!gate->open) pthread_cond_wait(&gate->opened, &gate->mutex);
  pthread_mutex_unlock(&gate->mutex);
  return true;
}

// ---- Threads -------------------------------------------------------------------------

namespace {
struct ThreadStart {
  void (*body)(void*);
  void* argument;
};

void* RunThread(void* raw) {
  ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  start.body(start.argument);
  return nullptr;
}

// The last thread started stays joinable: it is joined before the next one starts (one
// job at a time, so it has finished its body by then) and before the library is
// unloaded, so that no thread still runs the library's code when it is unmapped.
pthread_mutex_t g_thread_mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_t g_last_thread;
bool g_last_thread_joinable = false;

void JoinLastThread() {
  if (!g_last_thread_joinable) return;
  pthread_join(g_last_thread, nullptr);
  g_last_thread_joinable = false;
}
}  // namespace

bool StartDetachedThread(void (*body)(void*), void* argument) {
  auto* start = new (std::nothrow) ThreadStart{body, argument};
  if (start == nullptr) return false;
  pthread_mutex_lock(&g_thread_mutex);
  JoinLastThread();
  const bool started = pthread_create(&g_last_thread, nullptr, &RunThread, start) == 0;
  g_last_thread_joinable = started;
  pthread_mutex_unlock(&g_thread_mutex);
  if (!started) delete start;
  return started;
}

void WaitForStartedThreads() {
  pthread_mutex_lock(&g_thread_mutex);
  JoinLastThread();
  pthread_mutex_unlock(&g_thread_mutex);
}

// dlclose and exit() look the same from the library's destructors.
bool HostProcessExiting() { return false; }

}  // namespace vantrel::platform
