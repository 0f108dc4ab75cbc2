// Byte strings in the document's code page: character lengths, conversions
// to and from UTF-8, and the one text search of the engine. Indices and
// lengths count bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quillmark/platform.h"

namespace quillmark {

// True when `byte` starts a two-byte character in `page`.
bool IsLeadByte(unsigned char byte, CodePage page);
// Length in bytes of the character starting at `pos` (1 at least, never past the end).
std::size_t CharLengthAt(std::string_view text, std::size_t pos, CodePage page);
// Converts UTF-8 into `page`; nothing when a character has no counterpart there.
std::optional<std::string> EncodeFromUtf8(std::string_view utf8, CodePage page,
                                          const TextConverter& converter);
std::optional<std::string> DecodeToUtf8(std::string_view text, CodePage page,
                                        const TextConverter& converter);
// Like EncodeFromUtf8, but a character `page` cannot hold becomes "?", as the
// Windows conversion does; `replaced` (if given) is set when that happened.
std::string EncodeLossy(std::string_view utf8, CodePage page, const TextConverter& converter,
                        bool* replaced = nullptr);
bool IsValidUtf8(std::string_view text);

// The one text search of the engine: case-sensitive bytes, never matching from
// the second byte of a double-byte character. Returns the byte index or -1.
int FindSubstring(std::string_view text, std::string_view literal, CodePage page, int start = 0);

}  // namespace quillmark
