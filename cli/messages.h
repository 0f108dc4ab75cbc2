// The command line's English beside the system's Chinese messages, and its
// other texts a person acts on (a word slip, an interrupted batch).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::cli {

// What the system's message says and what to do about it, in one English
// sentence; empty for a text that is not one of the system's messages.
std::string_view EnglishFor(std::string_view systemMessage);

// The nearest of `known` to a mistyped `word`, as " (did you mean 'X'?)",
// or empty when none is close.
std::string DidYouMean(std::string_view word, const std::vector<std::string>& known);

// What an interrupted batch says: how far it got, and that the rest is
// untouched. Formats into `buffer` without allocating and returns the length
// (at most `size`), so that a signal handler may call it.
std::size_t FormatInterruptedBatch(std::size_t done, std::size_t total, char* buffer,
                                   std::size_t size);
// Writes that line to standard error with write(2) alone; safe in a signal handler.
void ReportInterruptedBatch(std::size_t done, std::size_t total);

}  // namespace quillmark::cli
