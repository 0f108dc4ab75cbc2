// UTF-8 <-> UTF-16 at the edges of the Windows module: paths, registry values,
// message boxes and automation strings all cross here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmark::win32 {

// Nothing when `utf8` is not valid UTF-8.
std::optional<std::wstring> Widen(std::string_view utf8);
// Nothing when `utf16` holds an unpaired surrogate.
std::optional<std::string> Narrow(std::wstring_view utf16);

// For texts the module itself produced (always valid): invalid input gives "".
std::wstring WidenOrEmpty(std::string_view utf8);
std::string NarrowOrEmpty(std::wstring_view utf16);

}  // namespace quillmark::win32
