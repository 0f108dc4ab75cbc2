// The editor port over the IDE's object model, reached by late binding
// through the automation names the IDE documents. Text crosses as BSTR and is
// converted to and from UTF-8 here, so every character survives a round trip.
#pragma once

#include <memory>
#include <vector>

#include "dispatch.h"
#include "quillmark/editor_port.h"

namespace quillmark::addin {

class IdeSelection final : public TextSelection {
 public:
  explicit IdeSelection(DispatchRef selection) : selection_(std::move(selection)) {}
  std::string GetSelectedText() override;
  void ReplaceSelection(std::string_view text) override;
  void MoveUpLines(int count) override;
  void MoveDownLines(int count) override;
  void MoveToLineStart() override;
  void MoveToLineEnd() override;
  void MoveToDocumentStart() override;

 private:
  DispatchRef selection_;
};

class IdeDocument final : public TextDocument {
 public:
  explicit IdeDocument(DispatchRef document) : document_(std::move(document)) {}
  const DispatchRef& object() const { return document_; }
  IdeSelection* Selection();

 private:
  DispatchRef document_;
  std::unique_ptr<IdeSelection> selection_;
};

// The application object of the IDE as the core's editor host. Documents and
// selections it hands out stay valid until the next command starts (the
// placeholder sources ask for the document again while a generator still
// works on the first one's selection).
class IdeEditorHost final : public EditorHost {
 public:
  explicit IdeEditorHost(DispatchRef application) : application_(std::move(application)) {}
  const DispatchRef& application() const { return application_; }

  void SetModelessEnabled(bool enabled) override;
  TextDocument* GetActiveTextDocument() override;
  TextSelection* GetSelection(TextDocument& document) override;
  std::string GetDocumentName(TextDocument& document) override;
  CodePage GetDocumentCodePage(TextDocument& document) override;
  std::optional<std::string> GetActiveProjectName() override;

 private:
  DispatchRef application_;
  std::vector<std::unique_ptr<IdeDocument>> documents_;
};

}  // namespace quillmark::addin
