// The delete toggle through the editor component: marking every line of a
// document and toggling again gives back the same bytes, each line with its
// own break.
#include <cstdlib>

#include "quillmark/commands.h"
#include "quillmark/memory_editor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmark;
  const std::string text(reinterpret_cast<const char*>(data), size);
  MemoryDocument original(text);
  MemoryDocument doc(text);
  const auto selectAll = [&doc] {
    const int last = doc.LineCount();
    doc.Select({1, 1}, {last, static_cast<int>(doc.LineText(last).size()) + 1});
  };
  selectAll();
  const std::string selected = doc.GetSelectedText();
  doc.ReplaceSelection(ToggleDeletedText(selected));
  if (doc.LineCount() != original.LineCount()) std::abort();
  // A first line that already holds the marker puts the toggle in restore mode.
  if (original.LineText(1).find(kDeleteMarker) != std::string_view::npos) return 0;
  for (int line = 1; line < doc.LineCount(); ++line)
    if (!doc.LineText(line).starts_with(kDeleteMarker)) std::abort();
  selectAll();
  doc.ReplaceSelection(ToggleDeletedText(doc.GetSelectedText()));
  for (int line = 1; line <= doc.LineCount(); ++line)
    if (doc.LineText(line) != original.LineText(line)) std::abort();
  if (doc.Text() != text) std::abort();
  return 0;
}
