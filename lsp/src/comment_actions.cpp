// The action provider backed by the comment engine: the one file of the
// language server that talks to the engine, the settings and the command object.
//
// Every run works the way the command line does: a fresh command object reads
// the settings file (so a changed file is always seen) and writes it back, the
// command runs on an in-memory copy of the document, and the difference
// between the copy and the original becomes one minimal edit.
#include <cstring>
#include <filesystem>

#include "quillmark/host.h"
#include "quillmark/lsp.h"

namespace quillmark::lsp {
namespace {

constexpr char kComment[] = "comment";
constexpr char kHeader[] = "header";
constexpr char kDelete[] = "delete";

// Collects what the command would show in a message box.
class CollectingUserInterface final : public UserInterface {
 public:
  void ShowMessage(std::string_view text) override {
    if (!messages.empty()) messages += '\n';
    messages += text;
  }
  void RunSettingsDialog(TemplateTree&) override {}
  void RunAboutDialog() override {}
  std::string messages;
};

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

const char* KindWords(DeclKind kind) {
  switch (kind) {
    case DeclKind::Class:
      return "class";
    case DeclKind::Struct:
      return "struct";
    case DeclKind::Union:
      return "union";
    case DeclKind::Enum:
      return "enum";
    case DeclKind::Function:
      return "function";
    case DeclKind::MemberFunction:
      return "member function";
    case DeclKind::Macro:
    case DeclKind::MacroWithParams:
      return "macro";
    case DeclKind::Interface:
      return "interface";
    case DeclKind::MethodDeclaration:
      return "method";
    case DeclKind::MethodImplementation:
      return "method implementation";
    default:
      return "declaration";
  }
}

// An empty selection stands for the caret's whole line, as `--line N` does.
ByteRange EffectiveSelection(const Document& document, ByteRange selection) {
  if (!selection.empty()) return selection;
  const int line = selection.start.line;
  return {{line, 0}, {line, static_cast<int>(document.Line(line).size())}};
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

// The command line's project name: the nearest directory above the file that
// holds .git, CMakeLists.txt or compile_commands.json.
std::optional<std::string> ProjectName(const std::string& path) {
  namespace fs = std::filesystem;
  if (path.empty() || path.front() != '/') return std::nullopt;
  std::error_code ec;
  for (fs::path dir = fs::path(path).parent_path(); !dir.empty(); dir = dir.parent_path()) {
    for (const char* marker : {".git", "CMakeLists.txt", "compile_commands.json"}) {
      if (fs::exists(dir / marker, ec)) return dir.filename().string();
    }
    if (dir == dir.root_path()) break;
  }
  return std::nullopt;
}

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The one replacement that turns `before` into `after`, cut at character
// boundaries and never between the CR and LF of a line break.
ByteEdit MinimalEdit(const Document& document, std::string_view after) {
  const std::string_view before = document.Text();
  const std::size_t shorter = std::min(before.size(), after.size());
  std::size_t prefix = 0;
  while (prefix < shorter && before[prefix] == after[prefix]) ++prefix;
  const auto splits = [&](std::size_t at, std::string_view text) {
    return at < text.size() && at > 0 &&
           (IsContinuation(text[at]) || (text[at] == '\n' && text[at - 1] == '\r'));
  };
  while (prefix > 0 && (splits(prefix, before) || splits(prefix, after))) --prefix;
  std::size_t suffix = 0;
  while (suffix < shorter - prefix &&
         before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
    ++suffix;
  while (suffix > 0 &&
         (splits(before.size() - suffix, before) || splits(after.size() - suffix, after)))
    --suffix;
  return {{document.PositionAt(prefix), document.PositionAt(before.size() - suffix)},
          std::string(after.substr(prefix, after.size() - suffix - prefix))};
}

class CommentActions final : public ActionProvider {
 public:
  explicit CommentActions(std::string settingsPath) : settingsPath_(std::move(settingsPath)) {
    InstallPosixPlatform();
  }

  std::vector<CodeActionSpec> Actions(const DocumentView& view, ByteRange selection) override {
    SetCodePage(CodePage::kUtf8);
    const Document& document = view.document;
    const ByteRange range = EffectiveSelection(document, selection);
    const std::size_t from = document.Offset(range.start);
    const std::string_view text = document.Text().substr(from, document.Offset(range.end) - from);
    std::vector<CodeActionSpec> actions;
    if (const DeclKind kind = Classify(text); kind != DeclKind::None) {
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
    SetCodePage(CodePage::kUtf8);
    const Document& document = view.document;
    const std::string path = UriToPath(view.uri);
    MemoryDocument memory(std::string(document.Text()),
                          std::filesystem::path(path).filename().string());
    if (actionId != kHeader) {
      const ByteRange range = EffectiveSelection(document, selection);
      // The caret at the start, as the command line's --line and --lines put it.
      memory.Select({range.end.line + 1, range.end.column + 1},
                    {range.start.line + 1, range.start.column + 1});
    }
    MemoryEditor editor;
    editor.Open(&memory);
    editor.SetProjectName(ProjectName(path));

    ActionResult result;
    CollectingUserInterface ui;
    Commands commands(
        ui, settingsPath_.empty() ? std::nullopt : std::optional<std::string>(settingsPath_));
    if (commands.profileError() && commands.profileError()->unreadable) {
      result.message = "quillmark: cannot read settings file " + commands.profileError()->message;
      return result;
    }
    commands.SetApplicationObject(&editor);
    if (actionId == kComment) {
      commands.QuillmarkClassOrFunction();
    } else if (actionId == kHeader) {
      commands.CommentFileNote();
    } else if (actionId == kDelete) {
      commands.CommentDeleteText();
    } else {
      result.message = "quillmark: unknown action " + std::string(actionId);
      return result;
    }
    result.message = std::move(ui.messages);
    // A command that showed a message changed nothing, as on the command line.
    if (!result.message.empty() || !memory.Modified()) return result;
    result.edits.push_back(MinimalEdit(document, memory.Text()));
    result.caret = BytePosition{memory.Caret().line - 1, memory.Caret().column - 1};
    return result;
  }

  void SetSettingsPath(std::string path) override { settingsPath_ = std::move(path); }

 private:
  std::string settingsPath_;
};

}  // namespace

std::unique_ptr<ActionProvider> MakeCommentActions(std::string settingsPath) {
  return std::make_unique<CommentActions>(std::move(settingsPath));
}

}  // namespace quillmark::lsp
