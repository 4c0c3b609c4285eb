// Everything that depends on the operating system or on x86 port instructions. No other
// folder may test for _WIN32 or include a system header of its own for these services.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vantrel::platform {

// ---- Byte-wide x86 I/O ports -------------------------------------------------------
enum class PortAccess {
  kGranted,  // the process may use IN and OUT now
  kRetry,    // not yet: the caller may wait and ask again
  kRefused,  // will not be granted (no privilege, not x86)
};
[[nodiscard]] PortAccess RequestHardwarePortAccess();
uint8_t HardwarePortRead(uint16_t port);
void HardwarePortWrite(uint16_t port, uint8_t value);

// ---- Time ----------------------------------------------------------------------------
void SleepMilliseconds(unsigned milliseconds);

// ---- The debug-output channel used by default for trace lines ------------------------
void WriteDebugOutput(const char* line);

// ---- The host process ----------------------------------------------------------------
// Directory of the running executable with its trailing separator; false when unknown.
[[nodiscard]] bool HostExecutableDirectory(std::string& directory);

// True while the library is being unloaded because the whole host process is exiting,
// when the host's own exit handlers may have ended what its callbacks use. Always false
// where that cannot be told (POSIX).
[[nodiscard]] bool HostProcessExiting();

// ---- Files ---------------------------------------------------------------------------
// Opens a configuration file for reading in text mode, only when it is a regular file of
// at most maxBytes: a FIFO or a device in its place never holds the caller up, and the
// check is made on the opened file itself. Null otherwise; failure then says why, and
// stays empty when the file simply isn't there. A process with raised privilege (POSIX:
// set-user-ID, set-group-ID, file capabilities) takes no file that the user who started
// it could have changed: one not owned by root, or writable by group or others, or in
// such a folder anywhere on its path.
[[nodiscard]] std::FILE* OpenSmallRegularFile(const std::string& path, std::size_t maxBytes, std::string& failure);

// ---- Machine-wide instance marker ----------------------------------------------------
enum class MarkerResult { kCreated, kAlreadyExists, kFailed };
// Creates the named marker; it is released by CloseInstanceMarker or when the process dies.
// kAlreadyExists: another instance holds it. kFailed: the marker could not be used, and
// failure says where and why, for a trace line.
[[nodiscard]] MarkerResult CreateInstanceMarker(const char* name, std::string& failure);
void CloseInstanceMarker();

// ---- Locks and gates shared by the host's threads and the job worker ------------------
class EntryMutex {
 public:
  [[nodiscard]] bool Create(const char* name);
  void Destroy();
  [[nodiscard]] bool Lock();  // false when the wait fails (not created)
  void Unlock();
  bool Exists() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

// A gate is closed by one thread and opened by another; waiting leaves it open.
class JobGate {
 public:
  [[nodiscard]] bool Create(const char* name);  // created open
  void Destroy();
  void Shut();
  void Open();
  [[nodiscard]] bool WaitUntilOpen();  // false when the wait fails (not created)
  bool Exists() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

// Starts a thread of normal priority and default stack that ends by itself (not joined).
// One such thread at a time. POSIX: a start joins the previous thread first. Windows: a
// thread holds a reference to the library until it has ended.
[[nodiscard]] bool StartDetachedThread(void (*body)(void*), void* argument);
// Waits until the last thread started has left the library's code (before unloading).
void WaitForStartedThreads();

}  // namespace vantrel::platform
