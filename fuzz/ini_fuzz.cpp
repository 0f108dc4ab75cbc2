// IniFile's reading: encoding detection, conversion and the line rules. Also
// checks that writing what was read, reading and writing again is stable, that
// writing a read text back in place changes nothing, and that a changed value
// written in place reads back.
#include <cstdlib>

#include "quillmark/posix_platform.h"
#include "quillmark/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmark;
  if (size == 0) return 0;
  const IconvTextConverter converter;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  IniFile first({}, converter);
  if (!first.LoadBytes(bytes)) return 0;
  for (std::size_t s = 0; s < first.sections.size(); ++s) {
    const SectionData& section = first.sections[s];
    if (section.keys.size() != section.values.size()) std::abort();
    for (std::size_t k = 0; k < section.keys.size(); ++k) {
      std::string value;
      if (!first.GetValue(value, first.sectionNames[s], section.keys[k])) std::abort();
      if (value != section.values[k]) std::abort();
      int number = 0;
      if (!first.GetIntValue(number, first.sectionNames[s], section.keys[k])) std::abort();
    }
  }
  IniFile second({}, converter);
  second.Parse(first.Serialize());
  const std::string twice = second.Serialize();
  IniFile third({}, converter);
  third.Parse(twice);
  if (third.Serialize() != twice) std::abort();

  // In place: the same text; after a change, the change and nothing else.
  IniFile layout({}, converter);
  const std::string text =
      bytes.starts_with("\xEF\xBB\xBF") ? std::string(bytes.substr(3)) : std::string(bytes);
  layout.Parse(text);
  if (layout.SerializeInPlace() != text) std::abort();
  if (data[0] % 2 == 0 && !layout.sections.empty() && !layout.sections[0].keys.empty()) {
    const std::string section = layout.sectionNames[0];
    const std::string key = layout.sections[0].keys[0];
    if (!layout.SetValue(section, key, "changed", true) ||
        !layout.SetValue("fuzz-new", "k", "v", true))
      std::abort();
    IniFile reread({}, converter);
    reread.Parse(layout.SerializeInPlace());
    std::string value;
    // A key holding "\r" at a line's end or a "[" start cannot be written back as itself.
    if (key.find_first_of("\r\n") == std::string::npos && key.front() != '[' &&
        (!reread.GetValue(value, section, key) || value != "changed"))
      std::abort();
  }
  return 0;
}
