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

void SleepMilliseconds(unsigned milliseconds) {
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

// ---- Instance marker -----------------------------------------------------------------
// A lock the kernel drops when its holder dies, so a crashed host never locks every
// later one out.

namespace {
int g_marker_fd = -1;

std::string MarkerPath(const char* name) {
  struct stat info {};
  const bool haveShm = stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && access("/dev/shm", W_OK) == 0;
  return std::string(haveShm ? "/dev/shm/" : "/tmp/") + name;
}
}  // namespace

MarkerResult CreateInstanceMarker(const char* name) {
  const std::string path = MarkerPath(name);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return MarkerResult::kFailed;
  fchmod(fd, 0666);  // another user's later host must be able to take it too
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    return held ? MarkerResult::kAlreadyExists : MarkerResult::kFailed;
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

}  // namespace vantrel::platform
