// IniFile's reading: encoding detection, conversion and the line rules. Also
// checks that writing what was read, reading and writing again is stable.
#include <cstdlib>

#include "quillmark/host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmark;
  if (size == 0) return 0;
  SetTextConverter(&IconvTextConverter());
  SetCodePage((data[0] & 1) != 0 ? CodePage::kGbk : CodePage::kUtf8);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  IniFile first;
  if (!first.LoadBytes(bytes)) return 0;
  for (std::size_t s = 0; s < first.sections.size(); ++s) {
    const SectionData& section = first.sections[s];
    if (section.keys.size() != section.values.size()) std::abort();
    for (std::size_t k = 0; k < section.keys.size(); ++k) {
      std::string value;
      if (!first.GetValue(value, first.sectionNames[s], section.keys[k])) std::abort();
      if (value != section.values[k]) std::abort();
      int number = 0;
      first.GetIntValue(number, first.sectionNames[s], section.keys[k]);
    }
  }
  IniFile second;
  second.Parse(first.Serialize());
  const std::string twice = second.Serialize();
  IniFile third;
  third.Parse(twice);
  if (third.Serialize() != twice) std::abort();
  return 0;
}
