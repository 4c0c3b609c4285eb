#include "command_line.h"

namespace vantrel::cli {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Collects the words of one command at a time while the line is scanned.
class LineSplitter {
 public:
  void AddChar(char c) {
    word_ += c;
    inWord_ = true;
  }
  void EndWord() {
    if (inWord_) words_.push_back(word_);
    word_.clear();
    inWord_ = false;
  }
  void EndCommand() {
    EndWord();
    if (!words_.empty()) commands_.push_back(words_);
    words_.clear();
  }
  void MarkWord() { inWord_ = true; }  // "" is an empty word, not nothing
  std::vector<Words> Take() { return std::move(commands_); }

 private:
  std::string word_;
  bool inWord_ = false;
  Words words_;
  std::vector<Words> commands_;
};

}  // namespace

std::optional<std::vector<Words>> SplitLine(const std::string& line, std::string* error) {
  // Text never holds NUL; a line that does is binary, not commands.
  if (line.find('\0') != std::string::npos) {
    if (error != nullptr) *error = "a NUL byte in the line (not a text file?)";
    return std::nullopt;
  }
  LineSplitter splitter;
  char quote = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      else splitter.AddChar(c);
    } else if (c == '"' || c == '\'') {
      quote = c;
      splitter.MarkWord();
    } else if (c == '#') {
      break;
    } else if (c == ';') {
      splitter.EndCommand();
    } else if (IsBlank(c)) {
      splitter.EndWord();
    } else {
      splitter.AddChar(c);
    }
  }
  if (quote != 0) {
    if (error != nullptr) *error = std::string("unclosed quote ") + quote;
    return std::nullopt;
  }
  splitter.EndCommand();
  return splitter.Take();
}

std::string JoinWords(const Words& words) {
  std::string text;
  for (const std::string& word : words) {
    if (!text.empty()) text += ' ';
    text += word.find(' ') == std::string::npos && !word.empty() ? word : '"' + word + '"';
  }
  return text;
}

}  // namespace vantrel::cli
