// 32-bit Windows, Vista or later: named kernel objects, the port-I/O device that grants
// IN and OUT, and the x86 port instructions themselves.
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "platform/platform.h"

namespace vantrel::platform {

// ---- Ports ---------------------------------------------------------------------------

namespace {

// A port-access driver may open and still not grant access; the first IN would then
// raise a privileged-instruction exception and end the host. One IN is tried while a
// vectored handler stands by to step over it on this thread only.
constexpr uint16_t kProbePort = 0x80;  // the POST diagnostic port: reading it has no effect
volatile DWORD g_probing_thread = 0;
volatile bool g_probe_faulted = false;

LONG CALLBACK SkipFaultingProbe(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode != EXCEPTION_PRIV_INSTRUCTION ||
      g_probing_thread != GetCurrentThreadId()) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  CONTEXT* context = exception->ContextRecord;
  const auto opcode = *reinterpret_cast<const unsigned char*>(context->Eip);
  if (opcode != 0xEC && opcode != 0xE4) return EXCEPTION_CONTINUE_SEARCH;  // in al,dx / in al,imm8
  context->Eip += opcode == 0xEC ? 1 : 2;
  g_probe_faulted = true;
  return EXCEPTION_CONTINUE_EXECUTION;
}

bool PortInstructionsAllowed() {
  void* handler = AddVectoredExceptionHandler(1, &SkipFaultingProbe);
  if (handler == nullptr) return false;
  g_probe_faulted = false;
  g_probing_thread = GetCurrentThreadId();
  (void)HardwarePortRead(kProbePort);
  g_probing_thread = 0;
  RemoveVectoredExceptionHandler(handler);
  return !g_probe_faulted;
}

}  // namespace

PortAccess RequestHardwarePortAccess() {
  // Opening the device is what grants this process its port access; it is never used.
  HANDLE device =
      CreateFileA("\\\\.\\directio", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) return PortAccess::kRetry;
  CloseHandle(device);
  return PortInstructionsAllowed() ? PortAccess::kGranted : PortAccess::kRefused;
}

uint8_t HardwarePortRead(uint16_t port) {
  uint8_t value;
  __asm__ __volatile__("inb %w1, %b0" : "=a"(value) : "Nd"(port));
  return value;
}

void HardwarePortWrite(uint16_t port, uint8_t value) {
  __asm__ __volatile__("outb %b0, %w1" : : "a"(value), "Nd"(port));
}

// ---- Time and diagnostics ------------------------------------------------------------

namespace {
bool g_process_exiting = false;
}

bool HostProcessExiting() { return g_process_exiting; }

void SystemSleepMilliseconds(unsigned milliseconds) { Sleep(milliseconds); }

void WriteDebugOutput(const char* line) { OutputDebugStringA(line); }

bool HostExecutableDirectory(std::string& directory) {
  char path[260] = {};
  const DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), path, sizeof path);
  if (length == 0 || length >= sizeof path) return false;
  char* lastSeparator = std::strrchr(path, '\\');
  if (lastSeparator == nullptr) return false;
  directory.assign(path, static_cast<std::size_t>(lastSeparator - path + 1));
  return true;
}

// ---- Files ---------------------------------------------------------------------------

std::FILE* OpenSmallRegularFile(const std::string& path, std::size_t maxBytes, std::string& failure) {
  failure.clear();
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      failure = path + ": CreateFileA failed, error " + std::to_string(error);
    }
    return nullptr;
  }
  LARGE_INTEGER size{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size) ||
      static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
    CloseHandle(handle);
    failure = path + ": not a regular file of at most " + std::to_string(maxBytes) + " bytes";
    return nullptr;
  }
  // From here the C runtime owns the handle and closes it with the stream.
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_TEXT);
  if (fd < 0) {
    CloseHandle(handle);
    failure = path + ": _open_osfhandle failed";
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "rt");
  if (file == nullptr) {
    _close(fd);
    failure = path + ": _fdopen failed";
  }
  return file;
}

// ---- Instance marker -----------------------------------------------------------------

namespace {
HANDLE g_marker = nullptr;
}

MarkerResult CreateInstanceMarker(const char* name, std::string& failure) {
  HANDLE marker = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 200, name);
  if (marker == nullptr) {
    failure = std::string(name) + ": CreateFileMappingA failed, error " + std::to_string(GetLastError());
    return MarkerResult::kFailed;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(marker);
    return MarkerResult::kAlreadyExists;
  }
  g_marker = marker;
  return MarkerResult::kCreated;
}

void CloseInstanceMarker() {
  if (g_marker != nullptr) {
    CloseHandle(g_marker);
    g_marker = nullptr;
  }
}

// ---- Entry mutex and job gate --------------------------------------------------------

bool EntryMutex::Create(const char* name) {
  if (handle_ == nullptr) handle_ = CreateMutexA(nullptr, FALSE, name);
  return handle_ != nullptr;
}

void EntryMutex::Destroy() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool EntryMutex::Lock() {
  if (handle_ == nullptr) return false;
  const DWORD result = WaitForSingleObject(static_cast<HANDLE>(handle_), INFINITE);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;  // abandoned: ours now
}

void EntryMutex::Unlock() {
  if (handle_ != nullptr) ReleaseMutex(static_cast<HANDLE>(handle_));
}

// A manual-reset event: waiting on an open (signalled) gate leaves it open.
bool JobGate::Create(const char* name) {
  if (handle_ == nullptr) handle_ = CreateEventA(nullptr, TRUE, TRUE, name);
  return handle_ != nullptr;
}

void JobGate::Destroy() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

void JobGate::Shut() {
  if (handle_ != nullptr) ResetEvent(static_cast<HANDLE>(handle_));
}

void JobGate::Open() {
  if (handle_ != nullptr) SetEvent(static_cast<HANDLE>(handle_));
}

bool JobGate::WaitUntilOpen() {
  return handle_ != nullptr && WaitForSingleObject(static_cast<HANDLE>(handle_), INFINITE) == WAIT_OBJECT_0;
}

// ---- Threads -------------------------------------------------------------------------

namespace {
struct ThreadStart {
  void (*body)(void*);
  void* argument;
  HMODULE module;
};

// The thread holds a reference to the library and drops it only as it exits, so that
// an unload while it runs waits for it instead of unmapping the code it still runs.
unsigned __stdcall RunThread(void* raw) {
  ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  start.body(start.argument);
  if (start.module != nullptr) FreeLibraryAndExitThread(start.module, 0);
  return 0;
}

HMODULE ReferenceThisLibrary() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&RunThread), &module)) {
    return nullptr;
  }
  return module;
}
}  // namespace

bool StartDetachedThread(void (*body)(void*), void* argument) {
  auto* start = new (std::nothrow) ThreadStart{body, argument, ReferenceThisLibrary()};
  if (start == nullptr) return false;
  const uintptr_t thread = _beginthreadex(nullptr, 0, &RunThread, start, 0, nullptr);
  if (thread == 0) {
    if (start->module != nullptr) FreeLibrary(start->module);
    delete start;
    return false;
  }
  CloseHandle(reinterpret_cast<HANDLE>(thread));
  return true;
}

// Nothing to wait for: a running thread keeps the library loaded (see RunThread), and
// waiting inside the unload would deadlock on the loader lock.
void WaitForStartedThreads() {}

}  // namespace vantrel::platform

// Runs before the library's static objects are destroyed. A non-null reserved argument
// at detach means the whole process is exiting rather than the library being freed.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH) vantrel::platform::g_process_exiting = reserved != nullptr;
  return TRUE;
}
