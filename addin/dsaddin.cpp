#include "dsaddin.h"

#include <iterator>

#include "resource_ids.h"

namespace quillmark::addin {
namespace {

// The IDE's button style for a picture button.
constexpr long kGlyphButton = 1;

struct CommandEntry {
  const wchar_t* name;  // command and method name
  UINT stringId;        // "\nbutton\nstatus bar\ntooltip"
};

// Registration order; the index is the command's picture in bitmap 128.
constexpr CommandEntry kCommands[] = {
    {L"QuillmarkClassOrFunction", IDS_CMD_CLASS_OR_FUNCTION},
    {L"QuillmarkSetting", IDS_CMD_SETTING},
    {L"CommentFileNote", IDS_CMD_FILE_NOTE},
    {L"CommentDeleteText", IDS_CMD_DELETE_TEXT},
    {L"QuillmarkAbout", IDS_CMD_ABOUT},
};

// The IDE's AddCommand: true when the command name was free.
bool AddCommand(const DispatchRef& application, const std::wstring& commandString,
                const wchar_t* method, long glyph, long cookie) {
  VARIANT command = StringArg(commandString);
  VARIANT methodName = StringArg(method);
  VARIANT ok;
  VariantInit(&ok);
  const HRESULT hr =
      application.Call(L"AddCommand", {command, methodName, LongArg(glyph), LongArg(cookie)}, &ok);
  VariantClear(&command);
  VariantClear(&methodName);
  const bool added = SUCCEEDED(hr) && SUCCEEDED(VariantChangeType(&ok, &ok, 0, VT_BOOL)) &&
                     ok.boolVal != VARIANT_FALSE;
  VariantClear(&ok);
  return added;
}

}  // namespace

DSAddIn::~DSAddIn() {
  ReleaseCommands();
}

HRESULT DSAddIn::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, kIidDSAddIn)) return E_NOINTERFACE;
  *out = static_cast<IDSAddIn*>(this);
  AddRef();
  return S_OK;
}

void DSAddIn::ReleaseCommands() {
  if (commands_ == nullptr) return;
  // The settings go back while the IDE's windows still stand, so a failure
  // can be shown; the command object may outlive this in the IDE's hands.
  commands_->SaveSettings();
  commands_->UnadviseFromEvents();
  commands_->Release();
  commands_ = nullptr;
}

HRESULT DSAddIn::OnConnection(IUnknown* host, VARIANT_BOOL firstTime, long cookie,
                              VARIANT_BOOL* connected) {
  const auto answer = [connected](bool yes) {
    if (connected != nullptr) *connected = yes ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  };
  try {
    IDispatch* application = nullptr;
    if (host == nullptr ||
        FAILED(host->QueryInterface(kIidApplication, reinterpret_cast<void**>(&application))) ||
        application == nullptr)
      return answer(false);
    cookie_ = cookie;

    // A second connection without a disconnection starts over.
    ReleaseCommands();
    commands_ = CommandsObject::Create();
    if (commands_ == nullptr) {
      application->Release();
      return answer(false);
    }
    commands_->SetApplicationObject(application);  // takes over the reference
    const DispatchRef& app = commands_->application();

    app.Call(L"SetAddInInfo",
             {LongArg(static_cast<long>(reinterpret_cast<LONG_PTR>(ModuleInstance()))),
              DispatchArg(static_cast<ICommands*>(commands_)), LongArg(IDB_TOOLBAR_MEDIUM),
              LongArg(IDB_TOOLBAR_LARGE), LongArg(cookie_)});

    for (std::size_t i = 0; i < std::size(kCommands); ++i) {
      const CommandEntry& entry = kCommands[i];
      const std::wstring commandString = entry.name + LoadResourceString(entry.stringId);
      const bool added = AddCommand(app, commandString, entry.name, static_cast<long>(i), cookie_);
      // The first name taken means another copy of the add-in is connected.
      if (i == 0 && !added) {
        ReleaseCommands();
        return answer(false);
      }
      if (firstTime == VARIANT_TRUE) {
        VARIANT name = StringArg(entry.name);
        app.Call(L"AddCommandBarButton", {LongArg(kGlyphButton), name, LongArg(cookie_)});
        VariantClear(&name);
      }
    }
    return answer(true);
  } catch (...) {
    ReleaseCommands();
    return answer(false);
  }
}

HRESULT DSAddIn::OnDisconnection(VARIANT_BOOL) {
  try {
    ReleaseCommands();
  } catch (...) {
  }
  return S_OK;
}

}  // namespace quillmark::addin
