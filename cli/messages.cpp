#include "messages.h"

#include <unistd.h>

#include <cerrno>

#include "quillmark/engine.h"
#include "quillmark/settings_check.h"

namespace quillmark::cli {

std::string_view EnglishFor(std::string_view systemMessage) {
  static constexpr struct {
    std::string_view system;
    std::string_view english;
  } kMessages[] = {
      {messages::kSelectDeclaration,
       "Nothing is selected: select the class or function declaration to comment "
       "(--line N, --lines N-M or --select L1:C1-L2:C2) and run again."},
      {messages::kOpenFile, "No file is open: name the file to comment."},
      {messages::kCheckDeclaration,
       "The declaration cannot be taken apart: check it for a syntax error, and select it "
       "whole (head and parameter list)."},
      {messages::kSelectDeleteText,
       "Nothing is selected: select the lines to mark //DELETE! or restore "
       "(--line N, --lines N-M or --select L1:C1-L2:C2)."},
      {messages::kLoadFailed, "Loading the file failed; the previous settings are kept."},
      {messages::kSaveFailed, "Saving the settings file failed; nothing was written."},
  };
  for (const auto& message : kMessages)
    if (message.system == systemMessage) return message.english;
  return {};
}

std::string DidYouMean(std::string_view word, const std::vector<std::string>& known) {
  const std::vector<std::string_view> names(known.begin(), known.end());
  const std::string_view nearest = NearestName(word, names);
  return nearest.empty() ? std::string() : " (did you mean '" + std::string(nearest) + "'?)";
}

std::size_t FormatInterruptedBatch(std::size_t done, std::size_t total, char* buffer,
                                   std::size_t size) {
  std::size_t length = 0;
  const auto text = [&](const char* part) {
    for (; *part != '\0' && length < size; ++part) buffer[length++] = *part;
  };
  const auto number = [&](std::size_t n) {
    char digits[24];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + n % 10);
      n /= 10;
    } while (n != 0);
    while (count > 0 && length < size) buffer[length++] = digits[--count];
  };
  text("quillmark: interrupted: ");
  number(done);
  text(" of ");
  number(total);
  text(total == 1 ? " file done; " : " files done; ");
  if (done >= total) {
    text("nothing was left to do\n");
  } else {
    text("the other ");
    number(total - done);
    text(total - done == 1 ? " is untouched\n" : " are untouched\n");
  }
  return length;
}

void ReportInterruptedBatch(std::size_t done, std::size_t total) {
  char line[160];
  const std::size_t length = FormatInterruptedBatch(done, total, line, sizeof line);
  for (std::size_t written = 0; written < length;) {
    const ssize_t n = ::write(STDERR_FILENO, line + written, length - written);
    if (n <= 0 && errno != EINTR) return;
    if (n > 0) written += static_cast<std::size_t>(n);
  }
}

}  // namespace quillmark::cli
