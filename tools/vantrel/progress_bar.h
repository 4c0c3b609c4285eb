// The percentage of a running transfer, drawn on one line of standard error while it
// runs and wiped when it ends. Drawn only when standard error is a terminal, so logs
// and pipes stay clean.
#pragma once

#include <string>

namespace vantrel::cli {

class ProgressBar {
 public:
  ProgressBar(std::string label, bool enabled);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(int percent);
  void Finish();  // wipes the line

  // The bar for a percentage, e.g. "load  [#####-----]  50%"; width counts the marks.
  static std::string Render(const std::string& label, int percent, int width);

 private:
  std::string label_;
  bool enabled_;
  bool drawn_ = false;
  int shown_ = -1;
};

bool StderrIsTerminal();

}  // namespace vantrel::cli
