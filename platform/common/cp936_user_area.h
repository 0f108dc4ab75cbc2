// The user-defined area of code page 936: 2,149 double-byte codes that Windows
// maps one to one onto the private-use characters U+E000 to U+E864. glibc's
// converter refuses them; the Linux converter asks these two functions first,
// so a settings file holding such a code reads and writes the same on both
// systems. Pure functions, no operating-system calls.
#pragma once

#include <cstdint>
#include <optional>

namespace quillmark {

inline constexpr int kCp936UserAreaSize = 2149;
inline constexpr char32_t kCp936UserAreaFirst = 0xE000;
inline constexpr char32_t kCp936UserAreaLast = 0xE864;

// The private-use character of a double-byte code (lead byte in the high
// half), or nothing when the code is not in the user-defined area.
std::optional<char32_t> Cp936UserAreaToUnicode(std::uint16_t code);

// The double-byte code of a private-use character, or nothing for any other
// character.
std::optional<std::uint16_t> UnicodeToCp936UserArea(char32_t character);

}  // namespace quillmark
