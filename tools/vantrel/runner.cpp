#include "runner.h"

#include <cstdio>
#include <sstream>
#include <vector>

#include "interrupt.h"
#include "user_files.h"

namespace vantrel::cli {

bool Runner::RunLine(const std::string& line, const std::string& where) {
  if (stopped_) return false;
  std::string error;
  const auto commands = SplitLine(line, &error);
  if (!commands) {
    std::fprintf(stderr, "vantrel: %s: %s\n", where.c_str(), error.c_str());
    failed_ = true;
    stopped_ = !keepGoing_;
    return !stopped_;
  }
  for (const Words& words : *commands) {
    if (echo_) {
      std::printf("> %s\n", JoinWords(words).c_str());
      std::fflush(stdout);
    }
    if (!session_.Execute(words)) {
      failed_ = true;
      if (!keepGoing_) stopped_ = true;
    }
    if (InterruptPending()) {
      std::fprintf(stderr, "vantrel: interrupted\n");
      TakeInterrupt();
      failed_ = stopped_ = true;
    }
    if (session_.QuitRequested()) stopped_ = true;
    if (stopped_) return false;
  }
  return true;
}

void Runner::RunStream(std::istream& in, const std::string& name) {
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!RunLine(line, name + ":" + std::to_string(number))) return;
  }
}

void Runner::RunFile(const std::string& path) {
  std::vector<unsigned char> bytes;
  std::string error;
  if (!ReadUserFile(path, kMaxScriptBytes, &bytes, &error)) {
    std::fprintf(stderr, "vantrel: cannot open the script %s\n", error.c_str());
    failed_ = stopped_ = true;
    return;
  }
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  RunStream(in, path);
}

}  // namespace vantrel::cli
