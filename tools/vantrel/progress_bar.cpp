#include "progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace vantrel::cli {

namespace {
constexpr int kBarWidth = 40;
}

ProgressBar::ProgressBar(std::string label, bool enabled) : label_(std::move(label)), enabled_(enabled) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Update(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (!enabled_ || percent == shown_) return;
  shown_ = percent;
  drawn_ = true;
  std::fprintf(stderr, "\r%s", Render(label_, percent, kBarWidth).c_str());
  std::fflush(stderr);
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  drawn_ = false;
  shown_ = -1;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

std::string ProgressBar::Render(const std::string& label, int percent, int width) {
  percent = std::clamp(percent, 0, 100);
  const int marks = percent * width / 100;
  char number[8];
  std::snprintf(number, sizeof number, "%3d%%", percent);
  return label + "  [" + std::string(static_cast<size_t>(marks), '#') +
         std::string(static_cast<size_t>(width - marks), '-') + "] " + number;
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace vantrel::cli
