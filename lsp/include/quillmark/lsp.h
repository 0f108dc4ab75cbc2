// The language server: JSON-RPC over a byte stream with Content-Length framing,
// the document store with its incremental line index, and the interface through
// which the server asks the comment engine for actions.
//
// Document texts are UTF-8 bytes. Positions handed to an ActionProvider are
// 0-based lines and byte offsets inside the line (without its break); the server
// alone converts them to and from the client's position encoding.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/platform.h"

namespace quillmark::lsp {

struct BytePosition {
  int line = 0;
  int column = 0;  // bytes from the line's start
  auto operator<=>(const BytePosition&) const = default;
};

struct ByteRange {
  BytePosition start;
  BytePosition end;
  bool empty() const { return start == end; }
  bool operator==(const ByteRange&) const = default;
};

// Replace the bytes of `range` with `newText`.
struct ByteEdit {
  ByteRange range;
  std::string newText;
  bool operator==(const ByteEdit&) const = default;
};

// How the client counts a line's characters.
enum class PositionEncoding { kUtf8, kUtf16, kUtf32 };

// A text document held by the server. Lines end at "\n", "\r\n" or a lone
// "\r", as the protocol counts them. Edits keep the line index up to date by
// rescanning only the lines they touch.
class Document {
 public:
  explicit Document(std::string text = {});

  std::string_view Text() const { return text_; }
  int LineCount() const { return static_cast<int>(lineStarts_.size()); }
  // The line's text without its break; empty for a line that does not exist.
  std::string_view Line(int line) const;
  std::size_t LineStart(int line) const { return lineStarts_[line]; }
  // Byte offset of a position clamped into the document.
  std::size_t Offset(BytePosition position) const;
  BytePosition PositionAt(std::size_t offset) const;
  BytePosition Clamp(BytePosition position) const;

  // Replaces [from, to) (clamped, to >= from) by `text`.
  void Replace(std::size_t from, std::size_t to, std::string_view text);
  void SetText(std::string text);

  // The line starts a full rescan would give; for checking the index.
  static std::vector<std::size_t> ScanLineStarts(std::string_view text);
  const std::vector<std::size_t>& LineStarts() const { return lineStarts_; }

 private:
  std::string text_;
  std::vector<std::size_t> lineStarts_;  // never empty; [0] is 0
};

// Protocol columns <-> byte columns on one line. A column past the line's end
// gives the line's end; one inside a character gives the character's start.
int ByteColumn(std::string_view line, long long column, PositionEncoding encoding);
int EncodedColumn(std::string_view line, int byteColumn, PositionEncoding encoding);

// What the provider sees of a document: its address, its name and its text.
struct DocumentView {
  std::string_view uri;
  const Document& document;
};

// An action that can run on the selection, as listed to the user.
struct ListedAction {
  std::string id;     // handed back to Run
  std::string title;  // UTF-8
};

// The result of running an action: the text edits (byte positions in the
// document the action ran on, not overlapping, in document order), the caret
// after the edits (byte position in the edited document), and a message for
// the user (UTF-8), if any.
struct ActionResult {
  std::vector<ByteEdit> edits;
  std::optional<BytePosition> caret;
  std::string message;
};

// The comment engine as the server sees it. An empty selection means the
// caret's line.
class ActionProvider {
 public:
  virtual ~ActionProvider() = default;
  // Cheap: called for every code action request; never shows anything.
  virtual std::vector<ListedAction> Actions(const DocumentView& document, ByteRange selection) = 0;
  virtual ActionResult Run(const DocumentView& document, ByteRange selection,
                           std::string_view actionId) = 0;
  // The settings file named by the client; empty for the default.
  virtual void SetSettingsPath(std::string path) = 0;
  // "syntax" or "keywords" as the client's initializationOptions.parser says;
  // empty: the settings file's [Quillmark] Parser=, else the keyword mode.
  virtual void SetParser(std::string parser) { (void)parser; }
};

// The provider backed by the comment engine. An empty `settingsPath` means the
// command line's default settings file.
std::unique_ptr<ActionProvider> MakeCommentActions(std::string settingsPath,
                                                   const Platform& platform);

// Where the server reads its messages from and writes them to.
class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Up to `size` bytes; 0 at the end of the input or on an error.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
  // False when the client is gone.
  virtual bool Write(std::string_view bytes) = 0;
};

struct LspOptions {
  // --settings FILE; the client's initializationOptions.settings overrides it.
  std::string settingsPath;
  // Null: the comment engine (MakeCommentActions) on `platform`.
  ActionProvider* provider = nullptr;
  // The operating system as the host hands it over; needed when `provider` is null.
  const Platform* platform = nullptr;
  // The largest message body accepted; larger ones are skipped with an error.
  std::size_t maxMessageBytes = std::size_t{256} << 20;
};

// The protocol engine without the framing: one message body in, the bodies to
// send handed to `send` (which returns false when the client is gone).
class Server {
 public:
  using Sender = std::function<bool(std::string_view body)>;
  Server(const LspOptions& options, Sender send);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Handles one message body; false once the server should stop ("exit", or
  // the client is gone).
  bool Handle(std::string_view body);
  // Answers a message that could not be read whole (framing error).
  void ReportFramingError(std::string_view why);
  // 0 after shutdown then exit, 1 otherwise.
  int ExitCode() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Serves until "exit" or the end of the input. Returns the process exit
// status: 0 after shutdown and exit, 1 otherwise.
int RunLanguageServer(ByteStream& stream, const LspOptions& options);
// The same over two stdio streams (standard input and output for `quillmark lsp`).
// Writing to a client that has gone away ends the server instead of the process.
int RunLanguageServer(std::FILE* in, std::FILE* out, const LspOptions& options);

}  // namespace quillmark::lsp
