#include "user_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantrel::cli {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // close() reports a write that the file system deferred.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

std::string SystemReason(const std::string& path) { return path + ": " + std::strerror(errno); }

std::string NotRegular(const std::string& path, mode_t mode) {
  const char* kind = "a special file";
  if (S_ISDIR(mode)) kind = "a directory";
  else if (S_ISFIFO(mode)) kind = "a FIFO";
  else if (S_ISCHR(mode) || S_ISBLK(mode)) kind = "a device";
  else if (S_ISSOCK(mode)) kind = "a socket";
  return path + ": " + kind + ", not a regular file";
}

// Output to the null device is the usual way to discard it.
bool IsNullDevice(const struct stat& info) {
  struct stat null;
  return S_ISCHR(info.st_mode) && stat("/dev/null", &null) == 0 && info.st_rdev == null.st_rdev;
}

bool Writable(const struct stat& info) { return S_ISREG(info.st_mode) || IsNullDevice(info); }

}  // namespace

bool ReadUserFile(const std::string& path, size_t maxBytes, std::vector<unsigned char>* bytes, std::string* error) {
  // Non-blocking, so that opening a FIFO does not wait for a writer before fstat refuses it.
  FileDescriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info;
  if (file.get() < 0 || fstat(file.get(), &info) != 0) {
    *error = SystemReason(path);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = NotRegular(path, info.st_mode);
    return false;
  }
  const auto size = static_cast<uint64_t>(info.st_size);
  if (size > maxBytes) {
    *error = path + ": too large (" + std::to_string(size) + " bytes; at most " + std::to_string(maxBytes) + ")";
    return false;
  }
  bytes->resize(size);
  size_t done = 0;
  while (done < bytes->size()) {
    const ssize_t got = read(file.get(), bytes->data() + done, bytes->size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = SystemReason(path);
      return false;
    }
    if (got == 0) break;  // the file shrank meanwhile
    done += static_cast<size_t>(got);
  }
  bytes->resize(done);
  return true;
}

bool CheckOutputFile(const std::string& path, std::string* error) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return true;  // created at the write; a missing directory is reported then
    *error = SystemReason(path);
    return false;
  }
  if (Writable(info)) return true;
  *error = NotRegular(path, info.st_mode);
  return false;
}

bool WriteUserFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string* error) {
  const std::string cannot = path + ": cannot write the file: ";
  // Not truncated at open: a FIFO or device that appeared since the check is refused untouched.
  FileDescriptor file(open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
  struct stat info;
  if (file.get() < 0 || fstat(file.get(), &info) != 0) {
    *error = cannot + std::strerror(errno);
    return false;
  }
  if (!Writable(info)) {
    *error = NotRegular(path, info.st_mode);
    return false;
  }
  if (S_ISREG(info.st_mode) && ftruncate(file.get(), 0) != 0) {
    *error = cannot + std::strerror(errno);
    return false;
  }
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t put = write(file.get(), bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      *error = cannot + (put < 0 ? std::strerror(errno) : "nothing written");
      return false;
    }
    done += static_cast<size_t>(put);
  }
  if (!file.Close()) {
    *error = cannot + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace vantrel::cli
