// The buffer protocol, the way formatters talk to editors: the editor hands its
// buffer on standard input (FILE is "-") and gets back, on standard output, the
// whole resulting buffer, byte for byte in the buffer's own encoding and line
// ends. With --format json a one-line JSON header comes first:
//   {"status":0,"changed":true,"line":8,"column":13,"kind":"class","message":""}
// Without it, the caret goes to standard error as LINE:COLUMN.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "document_command.h"
#include "quillmark/platform.h"
#include "selection.h"
#include "source_file.h"

namespace quillmark::cli {

struct BufferRequest {
  DocumentCommand command = DocumentCommand::kComment;
  // The buffer's file name: %CurrentFileName% and the project lookup. May be empty.
  std::string assumedName;
  EncodingChoice encoding = EncodingChoice::kAuto;
  bool json = false;
  bool verbose = false;
  // For comment and delete; its column unit is also the reply's.
  SelectionRequest selection;
  std::optional<std::string> settingsPath;
  std::string parser;  // --parser: "syntax", "keywords", or "" for the settings file's choice
};

struct BufferReply {
  int status = 2;  // the exit status: 0 done, 1 message shown, 2 error, 3 nothing recognised
  bool changed = false;
  // The caret after a change, 1-based, the column in the request's unit.
  std::optional<int> line;
  std::optional<int> column;
  std::string kind;     // what was recognised ("class", "delete", ...); empty for none
  std::string message;  // UTF-8: the system's text for status 1, English for 2 and 3
  std::string buffer;   // the resulting bytes; the input when nothing changed
  std::string warning;  // English, for standard error: settings not saved, characters replaced
};

// Runs one command on the bytes of a buffer. Settings are loaded (and saved
// when they changed) as for a file; nothing else outside the buffer is touched.
BufferReply EditBuffer(const BufferRequest& request, std::string bytes, const Platform& platform);

// `text` as a JSON string, quotes and escapes included, appended to `out`.
void AppendJsonString(std::string& out, std::string_view text);

// The reply's header line, without the line feed that ends it.
std::string FormatJsonHeader(const BufferReply& reply);

// Reads the buffer from standard input, runs the command and writes the reply
// (see the top of this file). Returns the exit status.
int RunBufferCommand(const BufferRequest& request, const Platform& platform);

}  // namespace quillmark::cli
