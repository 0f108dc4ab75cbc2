// Where `quillmark settings --save NAME` writes.
#pragma once

#include <functional>
#include <string>

namespace quillmark::cli {

// NAME with ".ini" added when its file name has no extension and nothing is at
// NAME itself. False, with the reason, when the file to write is a directory or
// anything but a regular file, or a file that holds something but no settings
// (a source file named by mistake): `holdsSettings` reads it.
bool SettingsSaveTarget(const std::string& name,
                        const std::function<bool(const std::string&)>& holdsSettings,
                        std::string* target, std::string* error);

}  // namespace quillmark::cli
