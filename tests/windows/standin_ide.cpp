#include "standin_ide.h"

#include <olectl.h>

#include "addin/interfaces.h"
#include "quillmark/wide.h"

namespace quillmark::standin {

long Arguments::Long(std::size_t i) const {
  VARIANT copy;
  VariantInit(&copy);
  if (FAILED(VariantChangeType(&copy, const_cast<VARIANT*>(&(*this)[i]), 0, VT_I4))) return -1;
  return copy.lVal;
}

std::wstring Arguments::String(std::size_t i) const {
  const VARIANT& v = (*this)[i];
  if (v.vt != VT_BSTR || v.bstrVal == nullptr) return L"";
  return std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
}

class ConnectionPoint final : public IConnectionPoint {
 public:
  ConnectionPoint(IConnectionPointContainer* owner, REFIID iid) : owner_(owner), iid_(iid) {}
  ~ConnectionPoint() {
    for (auto& [cookie, sink] : sinks_) sink->Release();
  }
  const IID& iid() const { return iid_; }
  std::size_t count() const { return sinks_.size(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint))
      return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  // Lives as long as its object.
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* out) override {
    *out = iid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    owner_->AddRef();
    *out = owner_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    IUnknown* events = nullptr;
    // A sink must implement the event interface itself.
    if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&events))))
      return CONNECT_E_CANNOTCONNECT;
    *cookie = ++next_;
    sinks_[*cookie] = events;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    const auto it = sinks_.find(cookie);
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    it->second->Release();
    sinks_.erase(it);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

 private:
  IConnectionPointContainer* owner_;
  IID iid_;
  std::map<DWORD, IUnknown*> sinks_;
  DWORD next_ = 0x100;
};

Object::Object() = default;

Object::~Object() {
  for (ConnectionPoint* point : points_) delete point;
}

void Object::Member(const std::wstring& name, Handler handler) {
  names_.push_back(name);
  handlers_.push_back(std::move(handler));
}

void Object::Events(REFIID iid) {
  points_.push_back(new ConnectionPoint(this, iid));
}

std::size_t Object::SinkCount(REFIID iid) const {
  for (const ConnectionPoint* point : points_)
    if (IsEqualIID(point->iid(), iid)) return point->count();
  return 0;
}

HRESULT Object::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  bool dispatch = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch);
  for (const IID& extra : extra_) dispatch = dispatch || IsEqualIID(iid, extra);
  if (dispatch) {
    *out = static_cast<IDispatch*>(this);
  } else if (IsEqualIID(iid, IID_IConnectionPointContainer) && !points_.empty()) {
    *out = static_cast<IConnectionPointContainer*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG Object::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG Object::Release() {
  const long left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT Object::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT Object::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
  *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Object::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    if (!failLookup_.empty() && _wcsicmp(failLookup_.c_str(), names[i]) == 0) return lookupFailure_;
    for (std::size_t n = 0; n < names_.size(); ++n)
      if (i == 0 && _wcsicmp(names_[n].c_str(), names[i]) == 0) ids[i] = static_cast<DISPID>(n + 1);
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT Object::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO*, UINT*) {
  if (id < 1 || static_cast<std::size_t>(id) > handlers_.size()) return DISP_E_MEMBERNOTFOUND;
  if (result != nullptr) VariantInit(result);
  return handlers_[static_cast<std::size_t>(id - 1)](flags, Arguments(params), result);
}

HRESULT Object::EnumConnectionPoints(IEnumConnectionPoints** out) {
  *out = nullptr;
  return E_NOTIMPL;
}

HRESULT Object::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  for (ConnectionPoint* point : points_) {
    if (!IsEqualIID(point->iid(), iid)) continue;
    point->AddRef();
    *out = point;
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

namespace {

HRESULT ReturnString(VARIANT* result, const std::wstring& text) {
  if (result == nullptr) return S_OK;
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return S_OK;
}

HRESULT ReturnObject(VARIANT* result, IDispatch* object) {
  if (result == nullptr) {
    if (object != nullptr) object->Release();
    return S_OK;
  }
  result->vt = VT_DISPATCH;
  result->pdispVal = object;  // hands over the reference
  return S_OK;
}

// The IDE's constants the add-in passes: move (0) or extend (1).
constexpr long kMove = 0;
constexpr long kFirstColumn = 0;

}  // namespace

// A text selection over the in-memory document. Moves insist on the
// arguments the add-in must pass: move, not extend; the first column.
// Reading the text fails, or answers other units, as the IDE's flags say.
Object* Ide::MakeSelection(MemoryDocument* doc) {
  auto* selection = new Object();
  selection->Member(L"Text", [this, doc](WORD flags, const Arguments& args, VARIANT* result) {
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
      if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
      const std::optional<std::string> text = win32::Narrow(args.String(0));
      if (!text) return E_INVALIDARG;
      Record("replace");
      doc->ReplaceSelection(*text);
      return S_OK;
    }
    if (!Reads(flags)) return DISP_E_MEMBERNOTFOUND;
    if (failSelectionText) return E_FAIL;
    Record("text");
    if (selectionTextUnits) return ReturnString(result, *selectionTextUnits);
    const std::optional<std::wstring> text = win32::Widen(doc->GetSelectedText());
    return text ? ReturnString(result, *text) : E_FAIL;
  });
  const auto lines = [this, doc](bool up) {
    return [this, doc, up](WORD, const Arguments& args, VARIANT*) {
      if (args.size() != 2 || args.Long(0) != kMove) return DISP_E_BADPARAMCOUNT;
      Record((up ? "up " : "down ") + std::to_string(args.Long(1)));
      if (up) {
        doc->MoveUpLines(static_cast<int>(args.Long(1)));
      } else {
        doc->MoveDownLines(static_cast<int>(args.Long(1)));
      }
      return S_OK;
    };
  };
  selection->Member(L"LineUp", lines(true));
  selection->Member(L"LineDown", lines(false));
  selection->Member(L"StartOfLine", [this, doc](WORD, const Arguments& args, VARIANT*) {
    if (args.size() != 2 || args.Long(0) != kFirstColumn || args.Long(1) != kMove)
      return DISP_E_BADPARAMCOUNT;
    Record("start");
    doc->MoveToLineStart();
    return S_OK;
  });
  selection->Member(L"EndOfLine", [this, doc](WORD, const Arguments& args, VARIANT*) {
    if (args.size() != 1 || args.Long(0) != kMove) return DISP_E_BADPARAMCOUNT;
    Record("end");
    doc->MoveToLineEnd();
    return S_OK;
  });
  selection->Member(L"StartOfDocument", [this, doc](WORD, const Arguments& args, VARIANT*) {
    if (args.size() != 1 || args.Long(0) != kMove) return DISP_E_BADPARAMCOUNT;
    Record("top");
    doc->MoveToDocumentStart();
    return S_OK;
  });
  return selection;
}

Ide::Ide(bool withDebugger, bool answersApplication) : application_(new Object()) {
  Object& app = *application_;
  if (answersApplication) app.AlsoAnswer(addin::kIidApplication);
  app.Events(addin::kIidApplicationEvents);
  if (withDebugger) {
    debugger_ = new Object();
    debugger_->Events(addin::kIidDebuggerEvents);
  }
  app.Member(L"ActiveDocument", [this](WORD flags, const Arguments&, VARIANT* result) {
    if (!Reads(flags)) return DISP_E_MEMBERNOTFOUND;
    if (document_ == nullptr) return ReturnObject(result, nullptr);
    MemoryDocument* doc = document_;
    auto* document = new Object();
    const std::wstring type = documentType_;
    document->Member(L"Type", [this, type](WORD f, const Arguments&, VARIANT* r) {
      return Reads(f) ? ReturnString(r, type) : DISP_E_MEMBERNOTFOUND;
    });
    document->Member(L"Name", [this, doc](WORD f, const Arguments&, VARIANT* r) {
      if (!Reads(f)) return DISP_E_MEMBERNOTFOUND;
      const std::optional<std::wstring> name = win32::Widen(doc->Name());
      return name ? ReturnString(r, *name) : E_FAIL;
    });
    document->Member(L"Selection", [this, doc](WORD f, const Arguments&, VARIANT* r) {
      return Reads(f) ? ReturnObject(r, MakeSelection(doc)) : DISP_E_MEMBERNOTFOUND;
    });
    return ReturnObject(result, document);
  });
  app.Member(L"ActiveProject", [this](WORD flags, const Arguments&, VARIANT* result) {
    if (!Reads(flags)) return DISP_E_MEMBERNOTFOUND;
    if (!projectName_) return ReturnObject(result, nullptr);
    auto* project = new Object();
    const std::wstring name = *projectName_;
    project->Member(L"Name", [this, name](WORD f, const Arguments&, VARIANT* r) {
      return Reads(f) ? ReturnString(r, name) : DISP_E_MEMBERNOTFOUND;
    });
    return ReturnObject(result, project);
  });
  app.Member(L"Debugger", [this](WORD flags, const Arguments&, VARIANT* result) {
    if (!Reads(flags)) return DISP_E_MEMBERNOTFOUND;
    if (debugger_ != nullptr) debugger_->AddRef();
    return ReturnObject(result, debugger_);
  });
  app.Member(L"EnableModeless", [this](WORD, const Arguments& args, VARIANT*) {
    if (args.size() != 1 || args[0].vt != VT_BOOL) return DISP_E_TYPEMISMATCH;
    modeless.push_back(args[0].boolVal != VARIANT_FALSE);
    return S_OK;
  });
  app.Member(L"SetAddInInfo", [this](WORD, const Arguments& args, VARIANT*) {
    if (args.size() != 5 || args[1].vt != VT_DISPATCH) return DISP_E_BADPARAMCOUNT;
    if (FAILED(setAddInInfoResult)) return setAddInInfoResult;
    if (commands != nullptr) commands->Release();
    commands = args[1].pdispVal;
    if (commands != nullptr) commands->AddRef();
    addInInfoMedium = args.Long(2);
    addInInfoLarge = args.Long(3);
    addInInfoCookie = args.Long(4);
    return S_OK;
  });
  app.Member(L"AddCommand", [this](WORD, const Arguments& args, VARIANT* result) {
    if (args.size() != 4) return DISP_E_BADPARAMCOUNT;
    addCommands.push_back({args.String(0), args.String(1), args.Long(2), args.Long(3)});
    const bool ok = !(commandNameTaken && addCommands.size() == 1);
    if (result != nullptr) {
      result->vt = VT_BOOL;
      result->boolVal = ok ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return S_OK;
  });
  app.Member(L"AddCommandBarButton", [this](WORD, const Arguments& args, VARIANT*) {
    if (args.size() != 3) return DISP_E_BADPARAMCOUNT;
    buttons.push_back({args.Long(0), args.String(1), args.Long(2)});
    return S_OK;
  });
}

Ide::~Ide() {
  if (commands != nullptr) commands->Release();
  if (debugger_ != nullptr) debugger_->Release();
  application_->Release();
}

void Ide::Open(MemoryDocument* document, std::wstring type) {
  document_ = document;
  documentType_ = std::move(type);
}

}  // namespace quillmark::standin
