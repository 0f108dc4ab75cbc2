#include "buffer_protocol.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <regex>
#include <string_view>

#include "parser_choice.h"
#include "quillmark/posix_platform.h"

namespace quillmark::cli {
namespace {

// The same limit as for files: positions are int throughout.
constexpr std::size_t kMaxBufferBytes = std::size_t{1} << 30;
// What the reply names as recognised: nothing when the command found no
// declaration; the kind whose template is empty when that stopped it.
std::string ReplyKind(DocumentCommand command, const DocumentRun& run) {
  if (run.status == kExitNothing && run.result.outcome != CommentOutcome::kEmptyTemplate &&
      command != DocumentCommand::kRefresh)
    return {};
  switch (command) {
    case DocumentCommand::kComment:
      return std::string(KindIdentifier(run.result.kind));
    case DocumentCommand::kHeader:
      return std::string(KindIdentifier(DeclKind::FileHeader));
    case DocumentCommand::kDelete:
      return "delete";
    case DocumentCommand::kRefresh:
      return std::string(KindIdentifier(run.result.kind));
  }
  return {};
}

BufferReply Failure(BufferReply reply, int status, std::string message) {
  reply.status = status;
  reply.message = std::move(message);
  return reply;
}

void AppendOptionalInt(std::string& out, const std::optional<int>& value) {
  out += value ? std::to_string(*value) : "null";
}

bool ReadStandardInput(std::string& bytes, std::string& error) {
  char chunk[1 << 16];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::string("cannot read standard input: ") + std::strerror(errno);
      return false;
    }
    if (n == 0) return true;
    if (bytes.size() + static_cast<std::size_t>(n) >= kMaxBufferBytes) {
      error = "the buffer on standard input is too large (1 GiB or more)";
      return false;
    }
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

BufferReply EditBuffer(const BufferRequest& request, std::string bytes, const Platform& platform) {
  BufferReply reply;
  reply.buffer = bytes;
  if (bytes.size() >= kMaxBufferBytes)
    return Failure(std::move(reply), kExitError, "the buffer is too large (1 GiB or more)");
  bool bom = false;
  CodePage page = CodePage::kUtf8;
  switch (ClassifyText(bytes, request.encoding, &page, &bom)) {
    case TextProblem::kNulBytes:
      return Failure(std::move(reply), kExitError, "the buffer is not text (it holds NUL bytes)");
    case TextProblem::kNotUtf8:
      return Failure(std::move(reply), kExitError,
                     "the buffer is not valid UTF-8 (try --encoding gbk)");
    case TextProblem::kNone:
      break;
  }

  const std::string name = request.assumedName.empty() ? "" : BaseName(request.assumedName);
  MemoryDocument document(std::move(bytes), EncodeLossy(name, page, platform.Converter()), page);
  const DocumentRun run = RunOnDocument({request.command, request.selection, "buffer",
                                         request.assumedName, request.settingsPath, request.parser},
                                        document, platform, nullptr);
  if (!run.ran) return Failure(std::move(reply), kExitError, run.message);
  if (!run.settingsSaved) reply.warning = run.settingsError;
  ReportSyntaxFallback(run.result, request.verbose);
  reply.kind = ReplyKind(request.command, run);
  if (run.status != kExitOk) return Failure(std::move(reply), run.status, run.message);
  if (run.result.replacedCharacters)
    reply.warning += std::string(reply.warning.empty() ? "" : "; ") +
                     "some characters cannot be written in this buffer's encoding (GBK) and were "
                     "written as \"?\"";
  const TextPosition caret = document.Caret();
  reply.status = kExitOk;
  reply.changed = true;
  reply.line = caret.line;
  reply.column =
      FromByteColumn(document.LineText(caret.line), caret.column, request.selection.columns, page);
  reply.buffer = SourceBytes(bom, document.Text());
  return reply;
}
std::string FormatJsonHeader(const BufferReply& reply) {
  std::string out = "{\"status\":" + std::to_string(reply.status);
  out += ",\"changed\":";
  out += reply.changed ? "true" : "false";
  out += ",\"line\":";
  AppendOptionalInt(out, reply.line);
  out += ",\"column\":";
  AppendOptionalInt(out, reply.column);
  out += ",\"kind\":";
  if (reply.kind.empty()) {
    out += "null";
  } else {
    AppendJsonString(out, reply.kind);
  }
  out += ",\"message\":";
  AppendJsonString(out, reply.message);
  out += '}';
  return out;
}

int RunBufferCommand(const BufferRequest& request, const Platform& platform) {
  BufferReply reply;
  std::string input;
  bool whole = false;
  try {
    std::string error;
    if (ReadStandardInput(input, error)) {
      whole = true;
      reply = EditBuffer(request, input, platform);
    } else {
      // What was read is not the whole buffer, so none of it goes back.
      reply = Failure(BufferReply{}, kExitError, error);
    }
  } catch (const std::bad_alloc&) {
    reply = Failure(BufferReply{}, kExitError, "out of memory");
    if (whole) reply.buffer.swap(input);
  }

  bool written = !request.json || WriteAll(STDOUT_FILENO, FormatJsonHeader(reply) + '\n');
  written = written && WriteAll(STDOUT_FILENO, reply.buffer);

  std::string err;
  if (!reply.warning.empty() && (request.verbose || reply.status == kExitOk))
    err += "quillmark: warning: " + reply.warning + '\n';
  if (!request.json) {
    if (reply.status == kExitOk) {
      err += std::to_string(*reply.line) + ':' + std::to_string(*reply.column) + '\n';
    } else if (reply.status == kExitMessage) {
      err += reply.message + '\n';
    } else if (reply.status == kExitError || request.verbose) {
      err += "quillmark: " + reply.message + '\n';
    }
  }
  if (!written) {
    err += std::string("quillmark: cannot write standard output: ") + std::strerror(errno) + '\n';
    (void)WriteAll(STDERR_FILENO, err);  // nowhere left to say it failed
    return kExitError;
  }
  (void)WriteAll(STDERR_FILENO, err);  // nowhere left to say it failed
  return reply.status;
}

}  // namespace quillmark::cli
