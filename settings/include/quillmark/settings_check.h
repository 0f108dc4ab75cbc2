// What a settings file may hold, and a checker that lists what a person most
// likely got wrong in one: the file is still read exactly as the store reads
// it; the checker only says where that reading differs from the intent.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quillmark/engine.h"
#include "quillmark/platform.h"
#include "quillmark/settings.h"

namespace quillmark {

// A section the system reads, with what its name means in English.
struct SettingsSection {
  std::string_view name;
  std::string_view english;
  DeclKind kind;  // None for the user information and the tool's own options
};

// Every section, in the order a fresh settings file holds them, then "Quillmark".
const std::vector<SettingsSection>& SettingsSections();
// The keys a section takes; a kind's section takes "CommentLineCount" and
// "Line<n>" (written here as "Line0").
std::vector<std::string_view> SettingsKeys(const SettingsSection& section);
// The placeholders the generator of `kind` fills, general ones first; for
// DeclKind::None, the general ones alone.
std::vector<std::string_view> PlaceholdersFilled(DeclKind kind);
// Every placeholder any generator fills.
std::vector<std::string_view> AllPlaceholders();

struct SettingsProblem {
  int line = 0;  // 1-based
  std::string message;
};

// Reads `utf8` (a settings file's text, decoded) line by line as the store
// does. `checkCodePage`: the file is UTF-8, so characters code page 936
// cannot hold are worth a warning. Problems come in line order.
std::vector<SettingsProblem> CheckSettingsText(std::string_view utf8, bool checkCodePage,
                                               const TextConverter& converter);

// Reads and checks the file at `path`; false, with the reason, when it cannot
// be read or decoded.
bool CheckSettingsFile(const std::string& path, const TextConverter& converter,
                       std::vector<SettingsProblem>* problems, std::string* error);

// A settings file's bytes as UTF-8 text (a byte-order mark left out), and the
// encoding to write it back in; false when they are neither UTF-8 nor code page 936.
bool DecodeSettingsBytes(std::string_view bytes, const TextConverter& converter, std::string* utf8,
                         FileEncoding* encoding);
// The text back in `encoding`. A GBK file that now holds a character code page
// 936 cannot hold becomes UTF-8 with a byte-order mark, as a save does.
std::string EncodeSettingsText(std::string_view utf8, FileEncoding encoding,
                               const TextConverter& converter);

// "FILE:LINE: warning: MESSAGE", as compilers write them.
std::string FormatProblem(std::string_view path, const SettingsProblem& problem);

// The candidate closest to `word` by edit distance, when it is close enough to
// be a likely typing slip; empty otherwise.
std::string_view NearestName(std::string_view word, const std::vector<std::string_view>& names);

}  // namespace quillmark
