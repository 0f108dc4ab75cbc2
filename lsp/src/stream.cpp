// Content-Length framing over a byte stream, and the server loop.
#include <cerrno>
#include <csignal>

#include "frame_reader.h"
#include "quillmark/lsp.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quillmark::lsp {
namespace {

class FileStream final : public ByteStream {
 public:
  FileStream(std::FILE* in, std::FILE* out) : in_(in), out_(out) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    // Not fread: it would wait for a whole buffer while the client waits for an answer.
    for (;;) {
#ifdef _WIN32
      const int got = _read(_fileno(in_), buffer, static_cast<unsigned>(size));
#else
      const ssize_t got = ::read(fileno(in_), buffer, size);
      if (got < 0 && errno == EINTR) continue;
#endif
      return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
  }
  bool Write(std::string_view bytes) override {
    if (std::fwrite(bytes.data(), 1, bytes.size(), out_) != bytes.size()) return false;
    return std::fflush(out_) == 0;
  }

 private:
  std::FILE* in_;
  std::FILE* out_;
};

}  // namespace

int RunLanguageServer(ByteStream& stream, const LspOptions& options) {
  Server server(options, [&stream](std::string_view body) {
    std::string frame = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    frame += body;
    return stream.Write(frame);
  });
  FrameReader reader(stream, options.maxMessageBytes);
  std::string body;
  std::string why;
  for (;;) {
    switch (reader.Next(body, why)) {
      case Frame::kEnd:
        return 1;  // the client went away without "exit"
      case Frame::kBad:
        server.ReportFramingError(why);
        if (!reader.SkipRefusedBody()) return 1;
        break;
      case Frame::kMessage:
        if (!server.Handle(body)) return server.ExitCode();
        break;
    }
  }
}

int RunLanguageServer(std::FILE* in, std::FILE* out, const LspOptions& options) {
#ifndef _WIN32
  // A client that closes its end makes writes fail instead of killing the process.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  FileStream stream(in, out);
  return RunLanguageServer(stream, options);
}

}  // namespace quillmark::lsp
