#include "quillmark/block_check.h"

#include <algorithm>
#include <map>
#include <optional>

#include "quillmark/syntax_fields.h"

namespace quillmark {
namespace {

// The declaration's head as the keyword mode is given it: up to its body, a
// macro's first line.
std::string KeywordText(std::string_view utf8, const syntax::FoundDeclaration& found) {
  std::string_view text = utf8.substr(found.begin, found.end - found.begin);
  const bool macro = found.declaration.kind == DeclKind::Macro ||
                     found.declaration.kind == DeclKind::MacroWithParams;
  const std::size_t cut = macro ? text.find('\n') : text.find('{');
  return std::string(text.substr(0, cut));
}

std::string SubjectOf(const syntax::ParsedDeclaration& declaration) {
  if (declaration.scope.empty()) return declaration.name;
  return declaration.scope + "::" + declaration.name;
}

int FirstNonBlankColumn(std::string_view line) {
  const std::size_t at = line.find_first_not_of(" \t");
  return at == std::string_view::npos ? 1 : static_cast<int>(at) + 1;
}

// Patterns made once per kind and document.
class Patterns {
 public:
  Patterns(const TemplateTree& tree, const CommentContext& context)
      : tree_(tree), context_(context) {}
  const BlockPattern* Of(DeclKind kind) {
    auto [it, fresh] = made_.try_emplace(kind);
    if (fresh) {
      const TemplateNode* node = tree_.FindKindNode(kind);
      BlockPattern pattern;
      if (node != nullptr && MakeBlockPattern(kind, *node, context_, &pattern, nullptr))
        it->second = std::move(pattern);
    }
    return it->second ? &*it->second : nullptr;
  }

 private:
  const TemplateTree& tree_;
  const CommentContext& context_;
  std::map<DeclKind, std::optional<BlockPattern>> made_;
};

}  // namespace

std::string_view StateWord(BlockFinding::State state) {
  switch (state) {
    case BlockFinding::State::kCurrent:
      return "current";
    case BlockFinding::State::kStale:
      return "stale";
    case BlockFinding::State::kForeign:
      return "foreign";
    case BlockFinding::State::kMissing:
      return "missing";
  }
  return {};
}

std::string FindingMessage(const BlockFinding& finding) {
  const std::string subject = "'" + finding.subject + "'";
  switch (finding.state) {
    case BlockFinding::State::kCurrent:
      return "comment of " + subject + " is current";
    case BlockFinding::State::kForeign:
      return "comment of " + subject + " does not follow the template of its kind (" +
             std::string(KindName(finding.kind)) + "); it is left as it is";
    case BlockFinding::State::kMissing:
      return std::string(KindName(finding.kind)) + " " + subject + " has no comment";
    case BlockFinding::State::kStale:
      break;
  }
  std::string message = "comment of " + subject + " is stale: ";
  for (std::size_t k = 0; k < finding.changes.size(); ++k) {
    const FieldChange& change = finding.changes[k];
    if (k > 0) message += "; ";
    message += change.field + " " + change.was + " now " + change.now;
  }
  return message;
}

bool CheckDocument(std::string_view text, const TemplateTree& tree, const CommentContext& context,
                   const CheckOptions& options, syntax::DeclarationParser& parser,
                   std::vector<BlockFinding>* findings, std::string* error) {
  findings->clear();
  std::optional<std::string> converted;
  if (context.page != CodePage::kUtf8) {
    if (context.converter == nullptr ||
        !(converted = DecodeToUtf8(text, context.page, *context.converter))) {
      *error = "the document cannot be read as GBK text";
      return false;
    }
  }
  const std::string_view utf8 = converted ? std::string_view(*converted) : text;
  std::vector<syntax::FoundDeclaration> found;
  syntax::FindOptions find{options.kinds, true, options.parseTimeLimit};
  if (!parser.FindDeclarations(utf8, find, &found, error)) return false;
  return CheckFound(text, utf8, found, tree, context, options, findings);
}

bool CheckFound(std::string_view text, std::string_view utf8,
                const std::vector<syntax::FoundDeclaration>& all, const TemplateTree& tree,
                const CommentContext& context, const CheckOptions& options,
                std::vector<BlockFinding>* findings) {
  findings->clear();
  const bool converted = context.page != CodePage::kUtf8;
  if (converted && context.converter == nullptr) return false;
  const LineTable lines(text);
  const std::string lineBreak = FirstLineBreak(text);
  Patterns patterns(tree, context);
  int previousLine = 0;
  for (const syntax::FoundDeclaration& f : all) {
    // One block per line, as batch writes them: the first declaration of a line.
    if (f.line == previousLine) continue;
    previousLine = f.line;
    BlockFinding finding;
    finding.kind = f.declaration.kind;
    finding.subject = SubjectOf(f.declaration);
    finding.declaration = {f.line, FirstNonBlankColumn(text.substr(lines.LineStart(f.line),
                                                                   lines.LineLength(f.line)))};
    FieldValues syntaxValues;
    if (!FieldValuesOf(syntax::ToFields(f.declaration), context, &syntaxValues, nullptr)) continue;
    const BlockPattern* pattern = patterns.Of(f.declaration.kind);
    ReadBlock block;
    // Above the declaration, or between its template head and the rest of it.
    const int anchor = BlockAnchorLine(text, lines, f.line);
    BlockShape shape = pattern != nullptr ? ReadBlockAbove(text, lines, anchor, *pattern, &block)
                                          : BlockShape::kForeign;
    if (shape == BlockShape::kNone && !f.commented) {
      if (!options.missing) continue;
      finding.state = BlockFinding::State::kMissing;
      findings->push_back(std::move(finding));
      continue;
    }
    // The syntax reading first; the keyword mode's reading of the same head
    // too, since the comment command writes with it by default.
    std::optional<std::pair<DeclKind, FieldValues>> keyword;
    const auto keywordReading = [&]() -> const std::optional<std::pair<DeclKind, FieldValues>>& {
      if (keyword) return keyword;
      std::string head = KeywordText(utf8, f);
      if (converted) {
        std::optional<std::string> inPage = EncodeFromUtf8(head, context.page, *context.converter);
        if (!inPage) return keyword;
        head = std::move(*inPage);
      }
      const DeclKind kind = Classify(head, context.page);
      FieldValues values;
      if (KeywordFieldValues(head, kind, context, &values))
        keyword.emplace(kind, std::move(values));
      return keyword;
    };
    finding.state = BlockFinding::State::kForeign;
    std::vector<FieldValues> readings{syntaxValues};
    if (shape != BlockShape::kMatched && keywordReading() &&
        keywordReading()->first != f.declaration.kind) {
      // A block the keyword mode wrote for the kind it recognised.
      if (const BlockPattern* other = patterns.Of(keywordReading()->first)) {
        ReadBlock otherBlock;
        if (ReadBlockAbove(text, lines, anchor, *other, &otherBlock) == BlockShape::kMatched) {
          pattern = other;
          block = std::move(otherBlock);
          shape = BlockShape::kMatched;
          finding.kind = keywordReading()->first;
          readings = {keywordReading()->second};
        }
      }
    }
    if (shape == BlockShape::kMatched) {
      finding.blockFirstLine = block.firstLine;
      finding.blockLastLine = block.lastLine;
      bool current = CompareBlock(block, *pattern, readings, context, &finding.changes);
      if (!current && readings.size() == 1 && finding.kind == f.declaration.kind &&
          keywordReading() && keywordReading()->first == finding.kind) {
        readings.push_back(keywordReading()->second);
        current = CompareBlock(block, *pattern, readings, context, &finding.changes);
      }
      if (current) {
        finding.state = BlockFinding::State::kCurrent;
      } else {
        finding.refresh = RefreshEdits(text, lines, lineBreak, block, *pattern, readings.front());
        finding.state =
            finding.refresh.empty() ? BlockFinding::State::kCurrent : BlockFinding::State::kStale;
      }
    }
    const bool wanted = finding.state == BlockFinding::State::kStale ||
                        (finding.state == BlockFinding::State::kForeign && options.foreign) ||
                        (finding.state == BlockFinding::State::kCurrent && options.current);
    if (wanted) findings->push_back(std::move(finding));
  }
  return true;
}

bool CheckDocument(std::string_view text, const TemplateTree& tree, const CommentContext& context,
                   const CheckOptions& options, std::vector<BlockFinding>* findings,
                   std::string* error) {
  syntax::DeclarationParser parser;
  if (!parser.ok()) {
    *error = "the C++ grammar cannot be loaded";
    return false;
  }
  return CheckDocument(text, tree, context, options, parser, findings, error);
}

}  // namespace quillmark
