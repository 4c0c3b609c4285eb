// How a line of text becomes commands and words: ';' separates commands, blanks
// separate words, quotes keep blanks inside a word, '#' starts a comment.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantrel::cli {

using Words = std::vector<std::string>;

// The commands of one line, each split into words; empty commands are dropped.
// Empty with the reason in *error when a quote is not closed or the line holds a NUL.
std::optional<std::vector<Words>> SplitLine(const std::string& line, std::string* error);

// Words joined back with blanks, for echoing a command.
std::string JoinWords(const Words& words);

}  // namespace vantrel::cli
