// `quillmark settings --edit`: the settings file in the user's editor, as
// UTF-8, checked before it replaces the file.
#pragma once

#include <string>

#include "quillmark/platform.h"

namespace quillmark::cli {

// Copies the settings file at `path` (which exists) to a temporary UTF-8 file,
// runs $VISUAL or $EDITOR (else vi) on it and, when it changed, checks it. On
// problems the user chooses on standard input: edit again, keep the old file,
// or write it anyway (end of input keeps the old file). The file is written back
// atomically in its own encoding, and only when it is still the one read.
// 0 written or nothing changed; 1 the old file was kept; 2 an error.
int RunSettingsEdit(const std::string& path, const TextConverter& converter);

}  // namespace quillmark::cli
