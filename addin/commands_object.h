// The command object the IDE calls by name (ICommands, a dual interface whose
// dispatch side is answered from the registered type library), and the two
// event sinks it connects to the IDE.
#pragma once

#include <memory>

#include "core_session.h"
#include "dispatch.h"
#include "ide_editor.h"
#include "interfaces.h"
#include "module.h"
#include "quillmark/win32_platform.h"

namespace quillmark::addin {

// An object answering IUnknown for `Interface` and IDispatch from a type
// library's description of it (its vtable side, which DispInvoke calls
// through). Without the description, calls by name fail and the vtable still
// works.
template <typename Interface>
class TypeInfoDispatch : public Interface, public RefCounted {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override;

 protected:
  // Takes over the caller's reference to `typeInfo`, which may be null.
  TypeInfoDispatch(ITypeInfo* typeInfo, REFIID iid) : typeInfo_(typeInfo), iid_(iid) {}
  ~TypeInfoDispatch() override;

 private:
  ITypeInfo* typeInfo_;
  IID iid_;
};

// A sink for one of the IDE's event interfaces; every notification is
// accepted and ignored.
template <typename Events>
class EventSink : public TypeInfoDispatch<Events> {
 public:
  // Shares `typeInfo` (may be null) with the caller.
  EventSink(ITypeInfo* typeInfo, REFIID iid);

  DWORD adviseCookie = 0;
};

class ApplicationEvents final : public EventSink<IApplicationEvents> {
 public:
  using EventSink::EventSink;
  HRESULT STDMETHODCALLTYPE BeforeBuildStart() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE BuildFinish(long, long) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE BeforeApplicationShutDown() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DocumentOpen(IDispatch*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE BeforeDocumentClose(IDispatch*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DocumentSave(IDispatch*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE NewDocument(IDispatch*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE WindowActivate(IDispatch*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE WindowDeactivate(IDispatch*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE WorkspaceOpen() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE WorkspaceClose() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE NewWorkspace() override { return S_OK; }
};

class DebuggerEvents final : public EventSink<IDebuggerEvents> {
 public:
  using EventSink::EventSink;
  HRESULT STDMETHODCALLTYPE BreakpointHit(IDispatch*) override { return S_OK; }
};

class CommandsObject final : public TypeInfoDispatch<ICommands> {
 public:
  // One reference for the caller; null, after showing why, when the object
  // cannot be made.
  static CommandsObject* Create();
  ~CommandsObject() override;

  // Takes over the caller's reference to the application and connects the
  // event sinks (the debugger's only when the IDE has a debugger object).
  void SetApplicationObject(IDispatch* application);
  void UnadviseFromEvents();
  // Writes changed settings back; a failure is shown in a message box.
  void SaveSettings();
  const DispatchRef& application() const { return application_; }

  HRESULT STDMETHODCALLTYPE QuillmarkClassOrFunction() override;
  HRESULT STDMETHODCALLTYPE QuillmarkSetting() override;
  HRESULT STDMETHODCALLTYPE CommentFileNote() override;
  HRESULT STDMETHODCALLTYPE CommentDeleteText() override;
  HRESULT STDMETHODCALLTYPE QuillmarkAbout() override;

 private:
  explicit CommandsObject(ITypeLib* library);

  DispatchRef application_;
  win32::Win32Platform platform_;
  IdeUserInterface ui_{platform_.Converter()};
  std::unique_ptr<CoreSession> core_;  // the template tree lives in here
  std::unique_ptr<IdeEditorHost> editor_;
  bool settingsSaved_ = false;  // SaveSettings ran (at the disconnection)
  ApplicationEvents* applicationEventsSink_ = nullptr;
  DebuggerEvents* debuggerEventsSink_ = nullptr;
  ITypeLib* library_ = nullptr;
  ITypeInfo* applicationEventsInfo_ = nullptr;
  ITypeInfo* debuggerEventsInfo_ = nullptr;
};

}  // namespace quillmark::addin
