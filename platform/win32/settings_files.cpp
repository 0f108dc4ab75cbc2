// The settings store's file operations, answered by the Windows implementation
// of quillmark/files.h. Goes away once the settings store calls files.h itself.
#include "quillmark/files.h"
#include "quillmark/settings.h"

namespace quillmark {

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error) {
  return ReadWholeFile(path, bytes, error, nullptr, kMaxFileBytes);
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  return ReplaceFileAtomically(path, bytes, error, nullptr);
}

}  // namespace quillmark
