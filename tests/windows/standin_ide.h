// A stand-in for the IDE's object model: application, text document, text
// selection, project and debugger as automation objects reached by name, with
// connection points for the two event interfaces. The document is the same
// in-memory editor component the Linux tests use.
#pragma once

#include <ocidl.h>
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quillmark/memory_editor.h"

namespace quillmark::standin {

// The arguments of a call in their written order.
class Arguments {
 public:
  explicit Arguments(const DISPPARAMS* params) : params_(params) {}
  std::size_t size() const { return params_ == nullptr ? 0 : params_->cArgs; }
  const VARIANT& operator[](std::size_t i) const { return params_->rgvarg[params_->cArgs - 1 - i]; }
  long Long(std::size_t i) const;
  std::wstring String(std::size_t i) const;

 private:
  const DISPPARAMS* params_;
};

using Handler = std::function<HRESULT(WORD flags, const Arguments& args, VARIANT* result)>;

class ConnectionPoint;

// An automation object whose members are handlers by name.
class Object : public IDispatch, public IConnectionPointContainer {
 public:
  Object();
  virtual ~Object();
  void Member(const std::wstring& name, Handler handler);
  // Adds a connection point for `iid`.
  void Events(REFIID iid);
  // Sinks connected now at `iid`'s point.
  std::size_t SinkCount(REFIID iid) const;
  // An extra interface the object answers QueryInterface for with IDispatch.
  void AlsoAnswer(REFIID iid) { extra_.push_back(iid); }
  // GetIDsOfNames answers `failure` for `name`, as a broken object model would.
  void FailLookup(std::wstring name, HRESULT failure) {
    failLookup_ = std::move(name);
    lookupFailure_ = failure;
  }
  long references() const { return references_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override;
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

 private:
  long references_ = 1;
  std::vector<std::wstring> names_;
  std::vector<Handler> handlers_;
  std::vector<ConnectionPoint*> points_;
  std::vector<IID> extra_;
  std::wstring failLookup_;
  HRESULT lookupFailure_ = S_OK;
};

struct AddCommandCall {
  std::wstring command;
  std::wstring method;
  long glyph;
  long cookie;
};

struct ButtonCall {
  long style;
  std::wstring name;
  long cookie;
};

// Calls a test watches, in order, from any thread.
class CallLog {
 public:
  void Add(std::string call) {
    const std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  std::vector<std::string> Take() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(calls_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> calls_;
};

// The IDE: holds at most one open document and an optional project.
class Ide {
 public:
  explicit Ide(bool withDebugger = true, bool answersApplication = true);
  ~Ide();

  IUnknown* application() { return static_cast<IDispatch*>(application_); }
  Object& applicationObject() { return *application_; }
  Object* debugger() { return debugger_; }

  // Opens `document` (UTF-8 text) as the active text document; null closes it.
  void Open(MemoryDocument* document, std::wstring type = L"Text");
  void SetProject(std::optional<std::wstring> name) { projectName_ = std::move(name); }

  std::vector<AddCommandCall> addCommands;
  std::vector<ButtonCall> buttons;
  std::vector<bool> modeless;  // EnableModeless calls
  long addInInfoCookie = -1;
  long addInInfoMedium = 0, addInInfoLarge = 0;
  IDispatch* commands = nullptr;  // from SetAddInInfo, counted
  bool commandNameTaken = false;
  bool failSelectionText = false;  // Selection.Text's get fails
  // Selection.Text's get answers these UTF-16 units instead of the document's.
  std::optional<std::wstring> selectionTextUnits;
  // Properties are methods, as some automation objects implement them: a
  // read made as a property get alone is answered "member not found".
  bool propertiesAsMethods = false;
  HRESULT setAddInInfoResult = S_OK;
  // When set, the selection's calls go here, named as the engine names the
  // editor's calls ("up N", "down N", "start", "end", "top", "replace" for
  // the text put) and "text" for the text read.
  CallLog* selectionCalls = nullptr;

  // Whether a read made with `flags` reaches a property of this object model.
  bool Reads(WORD flags) const {
    return (flags & (propertiesAsMethods ? DISPATCH_METHOD : DISPATCH_PROPERTYGET)) != 0;
  }

 private:
  Object* MakeSelection(MemoryDocument* doc);
  void Record(std::string call) {
    if (selectionCalls != nullptr) selectionCalls->Add(std::move(call));
  }

  Object* application_;
  Object* debugger_ = nullptr;
  MemoryDocument* document_ = nullptr;
  std::wstring documentType_;
  std::optional<std::wstring> projectName_;
};

}  // namespace quillmark::standin
