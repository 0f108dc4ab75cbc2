#include "commands_object.h"

#include <ocidl.h>

#include <new>

namespace quillmark::addin {
namespace {

template <typename T>
void ReleaseAndClear(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

// The vtable side of a dual interface, which DispInvoke calls through.
ITypeInfo* TypeInfoOf(ITypeLib* library, REFIID iid) {
  ITypeInfo* info = nullptr;
  if (library == nullptr || FAILED(library->GetTypeInfoOfGuid(iid, &info))) return nullptr;
  TYPEATTR* attributes = nullptr;
  if (FAILED(info->GetTypeAttr(&attributes))) return info;
  const bool dispatchView =
      attributes->typekind == TKIND_DISPATCH && (attributes->wTypeFlags & TYPEFLAG_FDUAL) != 0;
  info->ReleaseTypeAttr(attributes);
  HREFTYPE vtableSide = 0;
  ITypeInfo* vtableInfo = nullptr;
  if (dispatchView && SUCCEEDED(info->GetRefTypeOfImplType(-1, &vtableSide)) &&
      SUCCEEDED(info->GetRefTypeInfo(vtableSide, &vtableInfo))) {
    info->Release();
    return vtableInfo;
  }
  return info;
}

// `source`'s connection point for `iid`; the caller releases it.
HRESULT FindConnectionPoint(IDispatch* source, REFIID iid, IConnectionPoint** point) {
  *point = nullptr;
  IConnectionPointContainer* container = nullptr;
  HRESULT hr =
      source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
  if (FAILED(hr) || container == nullptr) return FAILED(hr) ? hr : E_NOINTERFACE;
  hr = container->FindConnectionPoint(iid, point);
  container->Release();
  if (FAILED(hr) || *point == nullptr) return FAILED(hr) ? hr : E_NOINTERFACE;
  return S_OK;
}

// Connects `sink` to `source`'s connection point for `iid`.
HRESULT Advise(IDispatch* source, REFIID iid, IUnknown* sink, DWORD* cookie) {
  IConnectionPoint* point = nullptr;
  HRESULT hr = FindConnectionPoint(source, iid, &point);
  if (FAILED(hr)) return hr;
  hr = point->Advise(sink, cookie);
  point->Release();
  return hr;
}

HRESULT Unadvise(IDispatch* source, REFIID iid, DWORD cookie) {
  IConnectionPoint* point = nullptr;
  HRESULT hr = FindConnectionPoint(source, iid, &point);
  if (FAILED(hr)) return hr;
  hr = point->Unadvise(cookie);
  point->Release();
  return hr;
}

// Runs one command method; nothing raised inside reaches the IDE: what the
// core's own guard could not report is shown here, and the IDE is told the
// command failed.
template <typename Body>
HRESULT Guarded(Body body) {
  return ShowingFailures("running the command", body) ? S_OK : E_FAIL;
}

}  // namespace

template <typename Interface>
TypeInfoDispatch<Interface>::~TypeInfoDispatch() {
  ReleaseAndClear(typeInfo_);
}

template <typename Interface>
HRESULT TypeInfoDispatch<Interface>::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, iid_))
    return E_NOINTERFACE;
  *out = static_cast<Interface*>(this);
  AddRef();
  return S_OK;
}

template <typename Interface>
HRESULT TypeInfoDispatch<Interface>::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = typeInfo_ != nullptr ? 1 : 0;
  return S_OK;
}

template <typename Interface>
HRESULT TypeInfoDispatch<Interface>::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  if (typeInfo_ == nullptr) return TYPE_E_ELEMENTNOTFOUND;
  typeInfo_->AddRef();
  *out = typeInfo_;
  return S_OK;
}

template <typename Interface>
HRESULT TypeInfoDispatch<Interface>::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                                   DISPID* ids) {
  if (typeInfo_ == nullptr) return TYPE_E_ELEMENTNOTFOUND;
  return DispGetIDsOfNames(typeInfo_, names, count, ids);
}

template <typename Interface>
HRESULT TypeInfoDispatch<Interface>::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                            VARIANT* result, EXCEPINFO* exception,
                                            UINT* argumentError) {
  if (typeInfo_ == nullptr) return DISP_E_MEMBERNOTFOUND;
  return DispInvoke(static_cast<Interface*>(this), typeInfo_, id, flags, params, result, exception,
                    argumentError);
}

template class TypeInfoDispatch<ICommands>;
template class TypeInfoDispatch<IApplicationEvents>;
template class TypeInfoDispatch<IDebuggerEvents>;

template <typename Events>
EventSink<Events>::EventSink(ITypeInfo* typeInfo, REFIID iid)
    : TypeInfoDispatch<Events>(typeInfo, iid) {
  if (typeInfo != nullptr) typeInfo->AddRef();
}

template class EventSink<IApplicationEvents>;
template class EventSink<IDebuggerEvents>;

CommandsObject* CommandsObject::Create() {
  // Calls by name need the registered type library; without it the object
  // still works through its vtable.
  ITypeLib* library = nullptr;
  if (FAILED(LoadRegTypeLib(kLibidQuillmark, 1, 0, 0x0409, &library))) library = nullptr;
  // A failure (no memory, settings that cannot be set up) is shown; the
  // add-in then answers the IDE that it is not connected.
  CommandsObject* object = nullptr;
  ShowingFailures("creating the command object",
                  [&object, library] { object = new CommandsObject(library); });
  ReleaseAndClear(library);
  return object;
}

CommandsObject::CommandsObject(ITypeLib* library)
    : TypeInfoDispatch(TypeInfoOf(library, kIidCommands), kIidCommands),
      platform_(ModuleInstance()),
      library_(library) {
  RaiseTestFault("create");
  if (library_ != nullptr) library_->AddRef();
  applicationEventsInfo_ = TypeInfoOf(library_, kIidApplicationEvents);
  debuggerEventsInfo_ = TypeInfoOf(library_, kIidDebuggerEvents);
  core_ = std::make_unique<CoreSession>(ui_, platform_);
}

CommandsObject::~CommandsObject() {
  ShowingFailures("disconnecting the events", [this] { UnadviseFromEvents(); });
  // The core forgets the application first, then the application goes, then
  // the settings go back (when changed since the disconnection saved them)
  // and the template tree goes.
  if (core_) core_->SetApplicationObject(nullptr);
  editor_.reset();
  application_ = DispatchRef();
  if (core_ && !settingsSaved_)
    ShowingFailures("saving the settings", [this] { core_->SaveSettings(); });
  core_.reset();
  ReleaseAndClear(applicationEventsInfo_);
  ReleaseAndClear(debuggerEventsInfo_);
  ReleaseAndClear(library_);
}

void CommandsObject::SaveSettings() {
  // Once: a failure is shown at the disconnection, not again at the release.
  settingsSaved_ = true;
  if (core_) core_->SaveSettings();
}

void CommandsObject::SetApplicationObject(IDispatch* application) {
  application_ = DispatchRef(application, false);
  if (!application_) return;

  applicationEventsSink_ =
      new (std::nothrow) ApplicationEvents(applicationEventsInfo_, kIidApplicationEvents);
  if (applicationEventsSink_ != nullptr)
    Advise(application_.get(), kIidApplicationEvents, applicationEventsSink_,
           &applicationEventsSink_->adviseCookie);

  if (DispatchRef debugger = application_.GetObject(L"Debugger")) {
    debuggerEventsSink_ =
        new (std::nothrow) DebuggerEvents(debuggerEventsInfo_, kIidDebuggerEvents);
    if (debuggerEventsSink_ != nullptr)
      Advise(debugger.get(), kIidDebuggerEvents, debuggerEventsSink_,
             &debuggerEventsSink_->adviseCookie);
  }

  editor_ = std::make_unique<IdeEditorHost>(application_);
  core_->SetApplicationObject(editor_.get());
}

void CommandsObject::UnadviseFromEvents() {
  if (applicationEventsSink_ != nullptr) {
    if (application_)
      Unadvise(application_.get(), kIidApplicationEvents, applicationEventsSink_->adviseCookie);
    ReleaseAndClear(applicationEventsSink_);
  }
  if (debuggerEventsSink_ != nullptr) {
    if (application_) {
      if (DispatchRef debugger = application_.GetObject(L"Debugger"))
        Unadvise(debugger.get(), kIidDebuggerEvents, debuggerEventsSink_->adviseCookie);
    }
    ReleaseAndClear(debuggerEventsSink_);
  }
}

HRESULT CommandsObject::QuillmarkClassOrFunction() {
  return Guarded([this] {
    RaiseTestFault("command");
    core_->QuillmarkClassOrFunction();
  });
}

HRESULT CommandsObject::QuillmarkSetting() {
  return Guarded([this] { core_->QuillmarkSetting(); });
}

HRESULT CommandsObject::CommentFileNote() {
  return Guarded([this] { core_->CommentFileNote(); });
}

HRESULT CommandsObject::CommentDeleteText() {
  return Guarded([this] { core_->CommentDeleteText(); });
}

HRESULT CommandsObject::QuillmarkAbout() {
  return Guarded([this] { core_->QuillmarkAbout(); });
}

}  // namespace quillmark::addin
