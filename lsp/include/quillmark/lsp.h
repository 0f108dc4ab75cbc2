// The language server: JSON-RPC over a byte stream with Content-Length framing.
// Its documents (lsp_document.h) and the interface through which it asks the
// comment engine for actions (lsp_actions.h) have headers of their own.
//
// Document texts are UTF-8 bytes. Positions handed to an ActionProvider are
// 0-based lines and byte offsets inside the line (without its break); the server
// alone converts them to and from the client's position encoding.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/lsp_actions.h"
#include "quillmark/lsp_document.h"
#include "quillmark/platform.h"

namespace quillmark::lsp {

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
  // How long after a document's last change its stale blocks are checked (on
  // a thread of their own; the diagnostics follow the check).
  std::chrono::milliseconds checkDelay{100};
};

// The protocol engine without the framing: one message body in, the bodies to
// send handed to `send` (which returns false when the client is gone). The
// diagnostics are sent from the server's checking thread, never while another
// body is being sent.
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
