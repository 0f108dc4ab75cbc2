// The action provider backed by the comment engine: the one file of the
// language server that talks to the engine, the settings and the command object.
//
// A command object per settings file is kept between runs and built afresh
// when the file changes on disk (its identity, size or time), so a request
// costs one stat of the settings file, and an edit of it is seen at once. The
// engine's edits on the server's document go to the client as they are,
// each only trimmed of the bytes it would rewrite with themselves.
//
// The checks for stale blocks run on the server's checking thread with a
// command object and a parser of their own; only the client's choices of
// settings file and parser cross between the threads.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "quillmark/commands.h"
#include "quillmark/engine.h"
#include "quillmark/files.h"
#include "quillmark/lsp.h"
#include "quillmark/project_name.h"
#include "quillmark/settings.h"
#ifdef QUILLMARK_HAVE_SYNTAX
#include "quillmark/block_check.h"
#include "quillmark/syntax_fields.h"
#endif

namespace quillmark::lsp {
namespace {

constexpr char kComment[] = "comment";
constexpr char kHeader[] = "header";
constexpr char kDelete[] = "delete";

// What tells one version of the settings file from another: a rewrite through
// ReplaceFileAtomically gives a new inode, an edit in place a new time or size.
// Unknown when there is no file to tell.
FileIdentity StampOf(const std::string& path) {
  FileIdentity identity;
  if (!IdentifyFile(path, &identity, nullptr)) return {};
  return identity;
}

bool SameStamp(const FileIdentity& a, const FileIdentity& b) {
  return a.known == b.known && (!a.known || SameFile(a, b));
}

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsWordAt(std::string_view text, std::size_t pos, std::string_view word) {
  if (text.substr(pos, word.size()) != word) return false;
  if (pos > 0 && IsIdentifierChar(text[pos - 1])) return false;
  const std::size_t end = pos + word.size();
  return end >= text.size() || !IsIdentifierChar(text[end]);
}

std::size_t FindWord(std::string_view text, std::string_view word, std::size_t from = 0) {
  for (std::size_t pos = text.find(word, from); pos != std::string_view::npos;
       pos = text.find(word, pos + 1)) {
    if (IsWordAt(text, pos, word)) return pos;
  }
  return std::string_view::npos;
}

// The identifiers from `pos` up to the first of `stops` (a "::" does not stop
// at ':'); the last one is the declared name ("class AFX_EXT_CLASS CShape : ...").
std::string LastIdentifierBefore(std::string_view text, std::size_t pos, std::string_view stops) {
  std::string last;
  std::string current;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == ':' && pos + 1 < text.size() && text[pos + 1] == ':') {
      current += "::";
      ++pos;
      continue;
    }
    if (stops.find(c) != std::string_view::npos) break;
    if (IsIdentifierChar(c) || c == '~') {
      current += c;
    } else if (!current.empty()) {
      last = std::move(current);
      current.clear();
    }
  }
  return current.empty() ? last : current;
}

// The name before the first "(" of a function head: "void CShape::Draw(" gives
// "CShape::Draw".
std::string NameBeforeParenthesis(std::string_view text, std::size_t from = 0) {
  const std::size_t open = text.find('(', from);
  if (open == std::string_view::npos) return {};
  std::size_t end = open;
  while (end > from && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  std::size_t start = end;
  while (start > from &&
         (IsIdentifierChar(text[start - 1]) || text[start - 1] == ':' || text[start - 1] == '~'))
    --start;
  std::string name(text.substr(start, end - start));
  while (!name.empty() && name.front() == ':') name.erase(0, 1);
  return name;
}

// A cheap guess at the declared name, for the action's title; empty when none.
std::string GuessName(DeclKind kind, std::string_view text) {
  std::string name;
  switch (kind) {
    case DeclKind::Class:
    case DeclKind::Struct:
    case DeclKind::Union:
    case DeclKind::Enum: {
      const char* keyword = kind == DeclKind::Class    ? "class"
                            : kind == DeclKind::Struct ? "struct"
                            : kind == DeclKind::Union  ? "union"
                                                       : "enum";
      const std::size_t at = FindWord(text, keyword);
      if (at != std::string_view::npos)
        name = LastIdentifierBefore(text, at + std::strlen(keyword), ":{;(<>,=\r\n");
      break;
    }
    case DeclKind::Function:
    case DeclKind::MemberFunction:
      name = NameBeforeParenthesis(text);
      break;
    case DeclKind::Macro:
    case DeclKind::MacroWithParams: {
      const std::size_t at = text.find("#define");
      if (at != std::string_view::npos) name = LastIdentifierBefore(text, at + 7, "(\r\n");
      if (name.find(' ') != std::string::npos) name.clear();
      break;
    }
    case DeclKind::Interface: {
      const std::size_t declare = text.find("DECLARE_INTERFACE");
      if (declare != std::string_view::npos) {
        const std::size_t open = text.find('(', declare);
        if (open != std::string_view::npos) name = LastIdentifierBefore(text, open + 1, ",)");
      } else if (const std::size_t at = FindWord(text, "interface"); at != std::string_view::npos) {
        name = LastIdentifierBefore(text, at + 9, ":{;\r\n");
      }
      break;
    }
    case DeclKind::MethodDeclaration: {
      const std::size_t at = text.find("STDMETHOD");
      const std::size_t open = at == std::string_view::npos ? at : text.find('(', at);
      if (open != std::string_view::npos) name = LastIdentifierBefore(text, open + 1, ")");
      break;
    }
    case DeclKind::MethodImplementation: {
      std::size_t at = text.find("STDMETHODIMP");
      if (at == std::string_view::npos) break;
      at += 12;
      if (at < text.size() && text[at] == '_') {
        const std::size_t close = text.find(')', at);
        at = close == std::string_view::npos ? text.size() : close + 1;
      }
      name = NameBeforeParenthesis(text, at);
      break;
    }
    default:
      break;
  }
  if (name.size() > 80) name.clear();
  return name;
}

// The kind as an action's title says it: short words.
std::string KindWords(DeclKind kind) {
  const KindNames* names = NamesOf(kind);
  return std::string(names != nullptr ? names->shortWords : "none");
}

// An empty selection stands for the caret's whole line, as `--line N` does.
ByteRange EffectiveSelection(const Document& document, ByteRange selection) {
  if (!selection.empty()) return selection;
  const int line = selection.start.line;
  return {{line, 0}, {line, static_cast<int>(document.Line(line).size())}};
}

std::string_view TextOf(const Document& document, ByteRange range) {
  const std::size_t from = document.Offset(range.start);
  return document.Text().substr(from, document.Offset(range.end) - from);
}

// The whole lines a range touches; an end at a line's start does not touch that line.
ByteRange TouchedLines(const Document& document, ByteRange range) {
  int last = range.end.line;
  if (last > range.start.line && range.end.column == 0) --last;
  return {{range.start.line, 0}, {last, static_cast<int>(document.Line(last).size())}};
}

// Whether the range holds all of its lines' text, blanks around it aside.
bool CoversLineText(const Document& document, ByteRange range) {
  const ByteRange lines = TouchedLines(document, range);
  const std::string_view first = document.Line(lines.start.line);
  const std::string_view last = document.Line(lines.end.line);
  const std::size_t textStart = first.find_first_not_of(" \t");
  const std::size_t textEnd = last.find_last_not_of(" \t");
  const bool fromStart =
      textStart == std::string_view::npos || range.start.column <= static_cast<int>(textStart);
  const bool toEnd = range.end.line > lines.end.line || textEnd == std::string_view::npos ||
                     range.end.column > static_cast<int>(textEnd);
  return fromStart && toEnd;
}

// Whether a piece of its lines holds a declaration head whole: recognised as
// its lines are, with the same name, and its parentheses closed.
bool HoldsWholeHead(std::string_view piece, std::string_view lines) {
  const DeclKind kind = Classify(piece, CodePage::kUtf8);
  if (kind == DeclKind::None || kind != Classify(lines, CodePage::kUtf8)) return false;
  const std::string name = GuessName(kind, piece);
  if (name.empty() || name != GuessName(kind, lines)) return false;
  return std::count(piece.begin(), piece.end(), '(') == std::count(piece.begin(), piece.end(), ')');
}

// What the comment action takes. An empty selection stands for the caret's
// whole line, as `--line N` does; so does a selection shorter than its lines
// that does not hold a whole declaration head: editors send the word at the
// caret ("class" of "class CShape : ...") where they mean the caret.
ByteRange CommentSelection(const Document& document, ByteRange selection) {
  if (selection.empty() || CoversLineText(document, selection))
    return EffectiveSelection(document, selection);
  const ByteRange lines = TouchedLines(document, selection);
  if (HoldsWholeHead(TextOf(document, selection), TextOf(document, lines))) return selection;
  return lines;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The file path of a "file:" URI, percent-decoded; the URI itself otherwise.
std::string UriToPath(std::string_view uri) {
  if (!uri.starts_with("file://")) return std::string(uri);
  uri.remove_prefix(7);
  if (const std::size_t slash = uri.find('/'); slash != 0 && slash != std::string_view::npos)
    uri.remove_prefix(slash);  // "file://host/path"
  std::string path;
  for (std::size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && HexValue(uri[i + 1]) >= 0 &&
        HexValue(uri[i + 2]) >= 0) {
      path += static_cast<char>(HexValue(uri[i + 1]) * 16 + HexValue(uri[i + 2]));
      i += 2;
    } else {
      path += uri[i];
    }
  }
  return path;
}

// The command line's project name, for a document that is a file on disk.
std::optional<std::string> ProjectName(const std::string& path) {
  if (path.empty() || path.front() != '/') return std::nullopt;
  return FindProjectName(path);
}

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The engine's edit as the smallest replacement with the same result: the
// bytes it rewrites with themselves are left out, cut at character boundaries
// and never between the CR and LF of a line break. Only the bytes around the
// edit are read.
ByteEdit TightenedEdit(const Document& document, const Edit& edit) {
  const std::string_view before = document.Text();
  const std::string_view put = edit.text;
  const std::size_t from = edit.from, to = edit.to;
  const std::size_t afterSize = before.size() - (to - from) + put.size();
  // The edited text, read in place.
  const auto after = [&](std::size_t i) {
    if (i < from) return before[i];
    if (i < from + put.size()) return put[i - from];
    return before[i - from - put.size() + to];
  };
  const std::size_t shorter = std::min(before.size(), afterSize);
  const auto splits = [&](std::size_t at, bool inAfter) {
    const std::size_t size = inAfter ? afterSize : before.size();
    if (at == 0 || at >= size) return false;
    const char c = inAfter ? after(at) : before[at];
    const char previous = inAfter ? after(at - 1) : before[at - 1];
    return IsContinuation(static_cast<unsigned char>(c)) || (c == '\n' && previous == '\r');
  };
  std::size_t prefix = std::min(from, shorter);
  while (prefix < shorter && before[prefix] == after(prefix)) ++prefix;
  while (prefix > 0 && (splits(prefix, false) || splits(prefix, true))) --prefix;
  std::size_t suffix = std::min(before.size() - to, shorter - prefix);
  while (suffix < shorter - prefix &&
         before[before.size() - 1 - suffix] == after(afterSize - 1 - suffix))
    ++suffix;
  while (suffix > 0 && (splits(before.size() - suffix, false) || splits(afterSize - suffix, true)))
    --suffix;
  std::string newText;
  newText.reserve(afterSize - suffix - prefix);
  for (std::size_t i = prefix; i < afterSize - suffix; ++i) newText += after(i);
  return {{document.PositionAt(prefix), document.PositionAt(before.size() - suffix)},
          std::move(newText)};
}

// The command object on the current settings file, for one thread: kept while
// the file is the one it loaded; built again, rereading the file, when the
// file changed or could not be loaded.
class CommandsCache {
 public:
  // `syntaxUnlessKeywords`: the syntax mode unless the client chooses the
  // keyword mode, whatever the settings file says (as refresh reads declarations).
  CommandsCache(std::string settingsPath, const Platform& platform, bool syntaxUnlessKeywords)
      : settingsPath_(std::move(settingsPath)),
        platform_(platform),
        syntaxUnlessKeywords_(syntaxUnlessKeywords) {}

  // The client's choices; empty for the command line's defaults.
  void Choose(const std::string& settingsPath, const std::string& parser) {
    if (settingsPath == settingsPath_ && parser == parser_) return;
    settingsPath_ = settingsPath;
    parser_ = parser;
    commands_.reset();
  }
  const std::string& settingsPath() const { return settingsPath_; }
  const std::string& parser() const { return parser_; }

  Commands& Current() {
    std::string path = settingsPath_;
    // With no directory for the file, the command object finds that out
    // itself and reports it when a command runs.
    if (path.empty() && !GetProfilePath(platform_, "Comment.ini", path, nullptr)) path.clear();
    // Stamped before loading: a change while the file is read shows at the next run.
    const FileIdentity stamp = StampOf(path);
    if (commands_ && commands_->SettingsLoaded() && !path.empty() &&
        commands_->templateTree().profilePath == path && SameStamp(stamp, loadedStamp_))
      return *commands_;
    commands_.reset();
    commands_ = std::make_unique<Commands>(
        platform_, path.empty() ? std::nullopt : std::optional<std::string>(path));
    loadedStamp_ = stamp;
    if (UseSyntaxMode(*commands_)) commands_->SetDeclarationSource(SyntaxSource());
    return *commands_;
  }

 private:
  // The client's choice, else the settings file's, else the syntax mode (the
  // server sees the whole document); a build without the parser leaves the
  // keyword mode.
  bool UseSyntaxMode(const Commands& commands) const {
    if (const std::optional<ParserMode> mode = ParseParserMode(parser_))
      return *mode == ParserMode::kSyntax;
    return syntaxUnlessKeywords_ ||
           commands.SettingsParser().value_or(ParserMode::kSyntax) == ParserMode::kSyntax;
  }

  DeclarationFieldsSource* SyntaxSource() {
#ifdef QUILLMARK_HAVE_SYNTAX
    if (!syntax_) syntax_ = std::make_unique<syntax::SyntaxFieldsSource>();
    return syntax_.get();
#else
    return nullptr;
#endif
  }

  std::string settingsPath_;
  std::string parser_;
  std::unique_ptr<DeclarationFieldsSource> syntax_;
  const Platform& platform_;
  const bool syntaxUnlessKeywords_;
  std::unique_ptr<Commands> commands_;
  FileIdentity loadedStamp_;
};

#ifdef QUILLMARK_HAVE_SYNTAX
// A stale block as the server takes it: lines and columns from 0, the edits
// tightened as the comment action's are.
StaleBlock ToStaleBlock(const Document& document, const BlockFinding& finding) {
  StaleBlock block;
  const int first = finding.blockFirstLine - 1;
  const int last = finding.blockLastLine - 1;
  block.block = {{first, 0}, {last, static_cast<int>(document.Line(last).size())}};
  const int line = finding.declaration.line - 1;
  block.declaration = {{line, finding.declaration.column - 1},
                       {line, static_cast<int>(document.Line(line).size())}};
  block.subject = finding.subject;
  block.message = FindingMessage(finding);
  for (const Edit& edit : finding.refresh) block.refresh.push_back(TightenedEdit(document, edit));
  if (block.refresh.empty()) {
    block.changed = block.block;
  } else {
    const int from = block.refresh.front().range.start.line;
    const int to = std::max(from, block.refresh.back().range.end.line);
    block.changed = {{from, 0}, {to, static_cast<int>(document.Line(to).size())}};
  }
  return block;
}
#endif

class CommentActions final : public ActionProvider {
 public:
  CommentActions(std::string settingsPath, const Platform& platform)
      : actions_(settingsPath, platform, false),
        checks_(settingsPath, platform, true),
        checkSettingsPath_(std::move(settingsPath)),
        platform_(platform) {}

  std::vector<ListedAction> Actions(const DocumentView& view, ByteRange selection) override {
    const Document& document = view.document;
    // Named after what the comment will take.
    const std::string_view text = TextOf(document, CommentSelection(document, selection));
    std::vector<ListedAction> actions;
    if (const DeclKind kind = Classify(text, CodePage::kUtf8); kind != DeclKind::None) {
      std::string title = std::string("Quillmark: comment ") + KindWords(kind);
      if (const std::string name = GuessName(kind, text); !name.empty()) title += " " + name;
      actions.push_back({kComment, std::move(title)});
    }
    actions.push_back({kHeader, "Quillmark: insert file header"});
    if (!selection.empty()) actions.push_back({kDelete, "Quillmark: toggle //DELETE!"});
    return actions;
  }

  ActionResult Run(const DocumentView& view, ByteRange selection,
                   std::string_view actionId) override {
    ActionResult result;
    if (actionId != kComment && actionId != kHeader && actionId != kDelete) {
      result.message = "quillmark: unknown action " + std::string(actionId);
      return result;
    }
    const Document& document = view.document;
    const std::string path = UriToPath(view.uri);
    TextDocumentInput input{document.Text(),
                            CodePage::kUtf8,
                            nullptr,
                            {},
                            {},
                            std::filesystem::path(path).filename().string(),
                            ProjectName(path)};
    if (actionId != kHeader) {
      const ByteRange range = actionId == kComment ? CommentSelection(document, selection)
                                                   : EffectiveSelection(document, selection);
      // The caret at the start, as the command line's --line and --lines put it.
      input.anchor = {range.end.line + 1, range.end.column + 1};
      input.caret = {range.start.line + 1, range.start.column + 1};
    }

    Commands& commands = actions_.Current();
    if (!commands.SettingsLoaded()) {
      result.message = "quillmark: cannot read settings file " + commands.settingsError();
      return result;
    }
    const EngineCommand command = actionId == kComment  ? EngineCommand::kComment
                                  : actionId == kHeader ? EngineCommand::kHeader
                                                        : EngineCommand::kDelete;
    const TextRun run = commands.Run(command, input);
    switch (run.status) {
      case RunStatus::kShown:
        // A command that showed a message changed nothing, as on the command line.
        result.message = run.message;
        return result;
      case RunStatus::kFailed:
        result.message = "quillmark: " + run.message;
        return result;
      case RunStatus::kNothing:
        // Silence would leave the user guessing why the chosen action did nothing.
        if (run.result.plan.outcome == CommentOutcome::kEmptyTemplate)
          result.message = "quillmark: " + run.message;
        return result;
      case RunStatus::kDone:
        break;
    }
    for (const Edit& edit : run.result.edits) result.edits.push_back(TightenedEdit(document, edit));
    result.caret = BytePosition{run.result.caret.line - 1, run.result.caret.column - 1};
    return result;
  }

  void SetSettingsPath(std::string path) override {
    actions_.Choose(path, actions_.parser());
    const std::lock_guard lock(checkChoiceMutex_);
    checkSettingsPath_ = std::move(path);
  }

  void SetParser(std::string parser) override {
    actions_.Choose(actions_.settingsPath(), parser);
    const std::lock_guard lock(checkChoiceMutex_);
    checkParser_ = std::move(parser);
  }

  bool FindStaleBlocks(const DocumentView& view, std::vector<StaleBlock>* blocks,
                       std::string* error) override {
    blocks->clear();
#ifdef QUILLMARK_HAVE_SYNTAX
    {
      const std::lock_guard lock(checkChoiceMutex_);
      checks_.Choose(checkSettingsPath_, checkParser_);
    }
    Commands& commands = checks_.Current();
    if (!commands.SettingsLoaded()) {
      *error = "cannot read settings file " + commands.settingsError();
      return false;
    }
    if (!parser_) parser_ = std::make_unique<syntax::DeclarationParser>();
    if (!parser_->ok()) {
      *error = "the C++ grammar cannot be loaded";
      return false;
    }
    const Document& document = view.document;
    const std::string path = UriToPath(view.uri);
    const std::optional<std::string> project = ProjectName(path);
    const std::string name = std::filesystem::path(path).filename().string();
    CommentContext context;
    context.converter = &platform_.Converter();
    context.today = platform_.Today();
    context.user = &commands.templateTree().userInfo;
    context.projectName = [&project] { return project.value_or(std::string()); };
    context.documentName = [&name] { return name; };
    std::vector<BlockFinding> findings;
    if (!CheckDocument(document.Text(), commands.templateTree(), context, {}, *parser_, &findings,
                       error))
      return false;
    std::optional<LineTable> lines;
    for (BlockFinding& finding : findings) {
      if (finding.state != BlockFinding::State::kStale) continue;
      // The fix is what `refresh --line N` writes (with the syntax parser unless
      // the client chose the keyword mode); the check's own edits where that
      // finds nothing to do.
      if (!lines) lines.emplace(document.Text());
      const int line = finding.declaration.line;
      // The declaration's whole line, as --line takes it.
      TextDocumentInput input;
      input.text = document.Text();
      input.lines = &*lines;
      input.anchor = {line, static_cast<int>(document.Line(line - 1).size()) + 1};
      input.caret = {line, 1};
      input.name = name;
      input.projectName = project;
      if (TextRun run = commands.Refresh(input); run.status == RunStatus::kDone)
        finding.refresh = std::move(run.result.edits);
      blocks->push_back(ToStaleBlock(document, finding));
    }
    return true;
#else
    (void)view;
    *error = "this build has no syntax parser, which the check of comment blocks needs";
    return false;
#endif
  }

 private:
  CommandsCache actions_;  // the server's thread
  CommandsCache checks_;   // the checking thread
  std::mutex checkChoiceMutex_;
  std::string checkSettingsPath_;
  std::string checkParser_;
#ifdef QUILLMARK_HAVE_SYNTAX
  std::unique_ptr<syntax::DeclarationParser> parser_;  // the checking thread's
#endif
  const Platform& platform_;
};
}  // namespace

std::unique_ptr<ActionProvider> MakeCommentActions(std::string settingsPath,
                                                   const Platform& platform) {
  return std::make_unique<CommentActions>(std::move(settingsPath), platform);
}

}  // namespace quillmark::lsp
