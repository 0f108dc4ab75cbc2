// The batch road: a whole document through the syntax parser's declaration
// finder, the blocks of the default templates built from what it found and
// inserted bottom to top, as batch does for one file; then the check road over
// the input and the result, where every block batch wrote reads back current.
// Input layout:
//   byte 0: bit 0 the document's code page (1: 936), bit 1 members inside
//           classes, bits 2-7 pick kinds (with the default set)
//   byte 1: how often the opener repeats: below 0xF0 as written, else
//           (byte - 0xEF) * 4096 times, so deep nesting fits in a short input
//   byte 2: the opener's length (up to 31), byte 3: the closer's (up to 15)
//   then the opener, the closer and the middle; the document is
//   opener * count + middle + closer * count.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "quillmark/block_check.h"
#include "quillmark/engine.h"
#include "quillmark/memory_editor.h"
#include "quillmark/posix_platform.h"
#include "quillmark/syntax.h"
#include "quillmark/syntax_fields.h"

namespace {

using namespace quillmark;

std::string Repeat(std::string_view text, std::size_t count) {
  std::string out;
  out.reserve(text.size() * count);
  for (std::size_t i = 0; i < count; ++i) out += text;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const bool gbk = (data[0] & 1) != 0;
  syntax::FindOptions options;
  options.membersInsideClasses = (data[0] & 2) != 0;
  // The sanitizers slow the parser about tenfold; a slow parse is given up, not a finding.
  options.parseTimeLimit = 5'000'000;
  // Bits 2-7 add the kinds numbered 6 to 11 (macros, interfaces, method declarations).
  options.kinds |= (static_cast<syntax::KindMask>(data[0] >> 2) << 6) & syntax::kAllKinds;
  const std::size_t count = data[1] < 0xF0 ? data[1] : (data[1] - 0xEFu) * 4096u;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 4, size - 4);
  const std::size_t openLength = std::min<std::size_t>(data[2] % 32, rest.size());
  const std::size_t closeLength = std::min<std::size_t>(data[3] % 16, rest.size() - openLength);
  const std::string text = Repeat(rest.substr(0, openLength), count) +
                           std::string(rest.substr(openLength + closeLength)) +
                           Repeat(rest.substr(openLength, closeLength), count);

  static const IconvTextConverter converter;
  const CodePage page = gbk ? CodePage::kGbk : CodePage::kUtf8;
  std::optional<std::string> utf8 =
      gbk ? DecodeToUtf8(text, page, converter) : std::optional<std::string>(text);
  if (!utf8) return 0;
  static syntax::DeclarationParser parser;
  std::vector<syntax::FoundDeclaration> found;
  std::string why;
  if (!parser.FindDeclarations(*utf8, options, &found, &why)) return 0;

  static const TemplateTree tree(std::string("fuzz"));
  MemoryDocument document(text, "f.cpp", page);
  CommentContext context;
  context.page = page;
  context.converter = &converter;
  context.today = {2002, 9, 17};
  context.user = &tree.userInfo;
  context.documentName = [] { return std::string("f.cpp"); };
  const int lines = document.LineCount();
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.line > b.line; });
  std::size_t grown = 0;
  for (const syntax::FoundDeclaration& f : found) {
    // A declaration lies inside the document, on a line that exists.
    if (f.line < 1 || f.line > std::max(lines, 1) || f.begin > f.end || f.end > utf8->size())
      std::abort();
    if (f.commented) continue;
    const DeclarationFields fields = syntax::ToFields(f.declaration);
    const TemplateNode* node = tree.FindKindNode(fields.kind);
    if (node == nullptr || node->lines.empty()) continue;
    ExpandedBlock block;
    if (!BuildBlockFromFields(fields, *node, context, &block, &why)) continue;
    const std::size_t before = document.Text().size();
    document.Select({f.line, 1}, {f.line, 1});
    document.ReplaceSelection(block.text);
    // A block is only ever inserted: every byte of the document stays.
    if (document.Text().size() < before) std::abort();
    grown += document.Text().size() - before;
  }
  if (document.Text().size() != text.size() + grown) std::abort();

  CheckOptions check;
  check.kinds = options.kinds;
  check.parseTimeLimit = options.parseTimeLimit;
  check.foreign = true;
  std::vector<BlockFinding> findings;
  if (!CheckDocument(text, tree, context, check, parser, &findings, &why)) return 0;
  for (const BlockFinding& finding : findings) {
    if (finding.state != BlockFinding::State::kStale) continue;
    // A stale block's refresh edits stay inside the document, in order.
    std::size_t end = 0;
    for (const Edit& edit : finding.refresh) {
      if (edit.from < end || edit.to < edit.from || edit.to > text.size()) std::abort();
      end = edit.to;
    }
  }
  if (grown == 0) return 0;
  // Only where the parser reads the declarations alike with the blocks in:
  // on broken text the comments may move its error recovery.
  std::optional<std::string> result = gbk ? DecodeToUtf8(document.Text(), page, converter)
                                          : std::optional<std::string>(document.Text());
  std::vector<syntax::FoundDeclaration> again;
  if (!result || !parser.FindDeclarations(*result, options, &again, &why)) return 0;
  const auto fieldsOf = [](const std::vector<syntax::FoundDeclaration>& list) {
    std::vector<std::string> out;
    for (const syntax::FoundDeclaration& f : list) {
      const DeclarationFields d = syntax::ToFields(f.declaration);
      std::string all = std::to_string(static_cast<int>(d.kind)) + "|" + d.name + "|" + d.scope +
                        "|" + d.returnType;
      for (const std::string& b : d.bases) all += "|b" + b;
      for (const std::string& p : d.parameters) all += "|p" + p;
      for (const std::string& p : d.macroParameters) all += "|m" + p;
      out.push_back(std::move(all));
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  if (fieldsOf(found) != fieldsOf(again)) return 0;
  if (!CheckDocument(document.Text(), tree, context, check, parser, &findings, &why)) return 0;
  for (const BlockFinding& finding : findings)
    if (finding.state == BlockFinding::State::kStale) std::abort();
  return 0;
}
