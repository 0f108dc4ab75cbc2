// Random byte streams into the language server's loop: framing, JSON and the
// protocol must answer or skip, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "quillmark/lsp.h"
#include "quillmark/posix_platform.h"

namespace {

// Hands out the input in small reads, as a pipe would, and swallows the output.
class FuzzStream final : public quillmark::lsp::ByteStream {
 public:
  FuzzStream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min({size, size_ - pos_, std::size_t{97}});
    std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
  }
  bool Write(std::string_view) override { return true; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Lists actions for every request but never runs the engine's file I/O.
class ListingProvider final : public quillmark::lsp::ActionProvider {
 public:
  ListingProvider()
      : real_(quillmark::lsp::MakeCommentActions("/nonexistent/fuzz.ini", platform_)) {}
  std::vector<quillmark::lsp::ListedAction> Actions(const quillmark::lsp::DocumentView& d,
                                                    quillmark::lsp::ByteRange r) override {
    return real_->Actions(d, r);
  }
  quillmark::lsp::ActionResult Run(const quillmark::lsp::DocumentView& d,
                                   quillmark::lsp::ByteRange r, std::string_view) override {
    // An insertion at the selection with the caret behind it exercises the edit path.
    quillmark::lsp::ActionResult result;
    result.edits.push_back({{r.start, r.start}, "//\xE4\xB8\xAD\r\n"});
    result.caret = quillmark::lsp::BytePosition{r.start.line + 1, 0};
    (void)d;
    return result;
  }
  void SetSettingsPath(std::string) override {}

 private:
  quillmark::PosixPlatform platform_;
  std::unique_ptr<quillmark::lsp::ActionProvider> real_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ListingProvider provider;
  quillmark::lsp::LspOptions options;
  options.provider = &provider;
  options.maxMessageBytes = 1 << 16;
  FuzzStream stream(data, size);
  quillmark::lsp::RunLanguageServer(stream, options);
  return 0;
}
