// The dialog test reads and writes no files: the settings store's file access
// answers that it has none, until the Windows module's own is linked here.
#include "quillmark/files.h"

namespace quillmark {

bool ReadWholeFile(const std::string&, std::string&, std::string* error, FileIdentity*,
                   std::uint64_t) {
  if (error != nullptr) *error = "no file access in the dialog test";
  return false;
}

bool ReplaceFileAtomically(const std::string&, std::string_view, std::string* error,
                           const FileIdentity*) {
  if (error != nullptr) *error = "no file access in the dialog test";
  return false;
}

}  // namespace quillmark
