#include "dsaddin.h"

#include <cstdio>
#include <iterator>
#include <utility>

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

// What the IDE answered AddCommand: the name was free, the name was taken,
// or the call itself failed (no such method, a refused call).
enum class Added { kYes, kNameTaken, kCallFailed };

Added AddCommand(const DispatchRef& application, const std::wstring& commandString,
                 const wchar_t* method, long glyph, long cookie, HRESULT* failure) {
  VARIANT command = StringArg(commandString);
  VARIANT methodName = StringArg(method);
  VARIANT ok;
  VariantInit(&ok);
  HRESULT hr =
      application.Call(L"AddCommand", {command, methodName, LongArg(glyph), LongArg(cookie)}, &ok);
  VariantClear(&command);
  VariantClear(&methodName);
  if (SUCCEEDED(hr)) hr = VariantChangeType(&ok, &ok, 0, VT_BOOL);
  const bool free = SUCCEEDED(hr) && ok.boolVal != VARIANT_FALSE;
  VariantClear(&ok);
  *failure = hr;
  if (FAILED(hr)) return Added::kCallFailed;
  return free ? Added::kYes : Added::kNameTaken;
}

// A connection the IDE's object model refused: said once, since the user
// would otherwise find the commands missing with no reason given.
void ShowConnectionFailure(const char* call, HRESULT hr) {
  char detail[96];
  std::snprintf(detail, sizeof detail, "the IDE refused %s (0x%08lX)", call,
                static_cast<unsigned long>(hr));
  ShowFailure("connecting to the IDE", detail);
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

void DSAddIn::ReleaseCommands() noexcept {
  CommandsObject* commands = std::exchange(commands_, nullptr);
  if (commands == nullptr) return;
  // The settings go back while the IDE's windows still stand, so a failure
  // can be shown; the command object may outlive this in the IDE's hands.
  // Each step runs whatever the one before it raised.
  ShowingFailures("saving the settings", [commands] { commands->SaveSettings(); });
  ShowingFailures("disconnecting the events", [commands] { commands->UnadviseFromEvents(); });
  commands->Release();
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

    // Without its information the IDE cannot run a command of ours.
    const HRESULT info =
        app.Call(L"SetAddInInfo",
                 {LongArg(static_cast<long>(reinterpret_cast<LONG_PTR>(ModuleInstance()))),
                  DispatchArg(static_cast<ICommands*>(commands_)), LongArg(IDB_TOOLBAR_MEDIUM),
                  LongArg(IDB_TOOLBAR_LARGE), LongArg(cookie_)});
    if (FAILED(info)) {
      ShowConnectionFailure("SetAddInInfo", info);
      ReleaseCommands();
      return answer(false);
    }

    for (std::size_t i = 0; i < std::size(kCommands); ++i) {
      const CommandEntry& entry = kCommands[i];
      const std::wstring commandString = entry.name + LoadResourceString(entry.stringId);
      HRESULT failure = S_OK;
      const Added added =
          AddCommand(app, commandString, entry.name, static_cast<long>(i), cookie_, &failure);
      // A failed call is not a taken name: it is said, and nothing is connected.
      if (added == Added::kCallFailed) {
        ShowConnectionFailure("AddCommand", failure);
        ReleaseCommands();
        return answer(false);
      }
      // The first name taken means another copy of the add-in is connected.
      if (i == 0 && added == Added::kNameTaken) {
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
  } catch (const std::exception& e) {
    ShowFailure("connecting to the IDE", e.what());
  } catch (...) {
    ShowFailure("connecting to the IDE", "unknown exception");
  }
  ReleaseCommands();
  return answer(false);
}

HRESULT DSAddIn::OnDisconnection(VARIANT_BOOL) {
  ReleaseCommands();
  return S_OK;
}

}  // namespace quillmark::addin
