// The module under a stand-in IDE: created through COM from its registration,
// connected, its commands run by name, its message boxes read and closed, its
// settings file checked next to the DLL. Runs under Wine with the null
// graphics driver, where message boxes block as on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "addin/interfaces.h"
#include "quillmark/settings.h"
#include "quillmark/wide.h"
#include "quillmark/win32_platform.h"
#include "standin_ide.h"
#include "tests/editor_calls_table.h"

namespace quillmark {
namespace {

using addin::IDSAddIn;
using standin::Ide;

// The tests' own texts are valid: a failed conversion is a fault of the test,
// raised (and reported by the test's runner) rather than taken for "".
std::wstring Wide(std::string_view utf8) {
  return win32::Widen(utf8).value();
}

std::string Utf8(std::wstring_view utf16) {
  return win32::Narrow(utf16).value();
}

std::wstring Env(const wchar_t* name) {
  wchar_t value[4096];
  const DWORD got = GetEnvironmentVariableW(name, value, 4096);
  return got > 0 && got < 4096 ? std::wstring(value, got) : std::wstring();
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ToGbk(const std::string& utf8) {
  const std::wstring wide = Wide(utf8);
  if (wide.empty()) return "";
  const int n = WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

std::string FromGbk(const std::string& gbk) {
  if (gbk.empty()) return "";
  const int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(), n);
  return Utf8(wide);
}

// Finds the process's message boxes, records text and caption, presses OK.
class MessageWatcher {
 public:
  MessageWatcher() : thread_([this] { Run(); }) {}
  ~MessageWatcher() {
    stop_ = true;
    thread_.join();
  }
  struct Box {
    std::wstring text;
    std::wstring caption;
  };
  // Runs on the watcher's thread on each box or dialog before it is closed.
  void OnDialog(std::function<void(HWND)> act) {
    std::lock_guard<std::mutex> lock(mutex_);
    act_ = std::move(act);
  }
  std::vector<Box> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(boxes_, {});
  }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (process != GetCurrentProcessId() || wcscmp(className, L"#32770") != 0 ||
        !IsWindowVisible(window))
      return TRUE;
    auto* watcher = reinterpret_cast<MessageWatcher*>(self);
    wchar_t text[1024] = {}, caption[256] = {};
    GetDlgItemTextW(window, 0xFFFF, text, 1024);
    GetWindowTextW(window, caption, 256);
    std::function<void(HWND)> act;
    {
      std::lock_guard<std::mutex> lock(watcher->mutex_);
      watcher->boxes_.push_back({text, caption});
      act = watcher->act_;
    }
    if (act) act(window);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    ShowWindow(window, SW_HIDE);
    return TRUE;
  }
  void Run() {
    while (!stop_) {
      EnumWindows(&Visit, reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
  }
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Box> boxes_;
  std::function<void(HWND)> act_;
  std::thread thread_;
};

using EntryPoint = HRESULT(STDAPICALLTYPE*)();
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::string WithBom(const std::string& text) {
  std::string out = "\xEF\xBB\xBF";
  out.append(text);
  return out;
}

// A copy of the module in a folder of its own, registered from there.
class ModuleCopy {
 public:
  ModuleCopy(const std::wstring& folderName, const std::wstring& fileName,
             const wchar_t* source = L"QM_DLL") {
    folder_ = Env(L"QM_SCRATCH") + L"\\" + folderName;
    CreateDirectoryW(folder_.c_str(), nullptr);
    path_ = folder_ + L"\\" + fileName;
    if (!CopyFileW(Env(source).c_str(), path_.c_str(), FALSE)) return;
    module_ = LoadLibraryW(path_.c_str());
    if (module_ == nullptr) return;
    canUnload = Export<EntryPoint>(module_, "DllCanUnloadNow");
    getClassObject = Export<GetClassObject>(module_, "DllGetClassObject");
    const auto registerServer = Export<EntryPoint>(module_, "DllRegisterServer");
    registered = registerServer != nullptr && registerServer() == S_OK;
  }
  ~ModuleCopy() {
    if (module_ == nullptr) return;
    if (auto unregister = Export<EntryPoint>(module_, "DllUnregisterServer")) unregister();
  }
  const std::wstring& folder() const { return folder_; }
  const std::wstring& path() const { return path_; }

  EntryPoint canUnload = nullptr;
  GetClassObject getClassObject = nullptr;
  bool registered = false;

 private:
  std::wstring folder_;
  std::wstring path_;
  HMODULE module_ = nullptr;
};

IDSAddIn* CreateAddIn() {
  IDSAddIn* addIn = nullptr;
  const HRESULT hr = CoCreateInstance(addin::kClsidDSAddIn, nullptr, CLSCTX_INPROC_SERVER,
                                      addin::kIidDSAddIn, reinterpret_cast<void**>(&addIn));
  EXPECT_EQ(S_OK, hr);
  return addIn;
}

HRESULT RunCommand(IDispatch* commands, const wchar_t* name) {
  if (commands == nullptr) return E_POINTER;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = commands->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  hr = commands->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr,
                        nullptr);
  VariantClear(&result);
  return hr;
}

const std::wstring kCommandStrings[] = {
    L"QuillmarkClassOrFunction\nQuillmark Comment\n把选中的声明自动加上注释\nQuillmark Comment",
    L"QuillmarkSetting\nQuillmark Setting\n设置选项\nQuillmark Setting",
    L"CommentFileNote\nQuillmark Add File Head Note\n文件头加入注释\nQuillmark Add File Head Note",
    L"CommentDeleteText\nQuillmark Delete\n删除/反删除选定的文本\nQuillmark Delete",
    L"QuillmarkAbout\nQuillmark About\n关于Quillmark...\nQuillmark About",
};
const wchar_t* const kMethods[] = {L"QuillmarkClassOrFunction", L"QuillmarkSetting",
                                   L"CommentFileNote", L"CommentDeleteText", L"QuillmarkAbout"};

class AddInTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironmentVariableW(L"WINEUSERNAME", L"standin"); }
  MessageWatcher watcher_;
};

// What a type library says, as text: its identity and every type's name,
// identity, kind, flags, bases (with the library each comes from) and members.
std::wstring Describe(ITypeLib* library) {
  std::wstringstream out;
  TLIBATTR* lib = nullptr;
  if (FAILED(library->GetLibAttr(&lib))) return L"<no attributes>";
  wchar_t guid[64];
  StringFromGUID2(lib->guid, guid, 64);
  out << guid << L" " << lib->wMajorVerNum << L"." << lib->wMinorVerNum << L" lcid " << lib->lcid
      << L" flags " << lib->wLibFlags << L"\n";
  library->ReleaseTLibAttr(lib);
  BSTR name = nullptr, doc = nullptr;
  if (SUCCEEDED(library->GetDocumentation(-1, &name, &doc, nullptr, nullptr)))
    out << L"library " << (name ? name : L"") << L" \"" << (doc ? doc : L"") << L"\"\n";
  SysFreeString(name);
  SysFreeString(doc);
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    ITypeInfo* info = nullptr;
    if (FAILED(library->GetTypeInfo(i, &info))) continue;
    TYPEATTR* type = nullptr;
    info->GetTypeAttr(&type);
    BSTR typeName = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &typeName, nullptr, nullptr, nullptr);
    StringFromGUID2(type->guid, guid, 64);
    out << L"type " << (typeName ? typeName : L"") << L" " << guid << L" kind " << type->typekind
        << L" flags " << type->wTypeFlags << L" funcs " << type->cFuncs << L"\n";
    SysFreeString(typeName);
    for (UINT b = 0; b < type->cImplTypes; ++b) {
      HREFTYPE ref = 0;
      ITypeInfo* base = nullptr;
      if (FAILED(info->GetRefTypeOfImplType(b, &ref)) || FAILED(info->GetRefTypeInfo(ref, &base)))
        continue;
      BSTR baseName = nullptr;
      base->GetDocumentation(MEMBERID_NIL, &baseName, nullptr, nullptr, nullptr);
      ITypeLib* home = nullptr;
      UINT index = 0;
      base->GetContainingTypeLib(&home, &index);
      TLIBATTR* homeAttr = nullptr;
      if (home != nullptr && SUCCEEDED(home->GetLibAttr(&homeAttr))) {
        StringFromGUID2(homeAttr->guid, guid, 64);
        home->ReleaseTLibAttr(homeAttr);
      }
      out << L"  base " << (baseName ? baseName : L"") << L" from " << guid << L"\n";
      SysFreeString(baseName);
      if (home != nullptr) home->Release();
      base->Release();
    }
    for (UINT f = 0; f < type->cFuncs; ++f) {
      FUNCDESC* func = nullptr;
      if (FAILED(info->GetFuncDesc(f, &func))) continue;
      BSTR funcName = nullptr;
      info->GetDocumentation(func->memid, &funcName, nullptr, nullptr, nullptr);
      out << L"  " << (funcName ? funcName : L"") << L" id " << func->memid << L" invoke "
          << func->invkind << L" kind " << func->funckind << L" params " << func->cParams
          << L" returns " << func->elemdescFunc.tdesc.vt;
      for (SHORT p = 0; p < func->cParams; ++p) out << L" " << func->lprgelemdescParam[p].tdesc.vt;
      out << L"\n";
      SysFreeString(funcName);
      info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(type);
    info->Release();
  }
  return out.str();
}

// The i686 type library, built on any machine, says what the x86_64 one says
// but for the system it is for; the IDE's event interfaces are in neither as
// dual or automation interfaces (registration would claim them).
TEST(TypeLibraryTest, BothArchitecturesDescribeTheSameInterfaces) {
  const std::wstring paths[] = {Env(L"QM_TLB_I686"), Env(L"QM_TLB_X86_64")};
  if (paths[0].empty() || paths[1].empty()) GTEST_SKIP() << "type library paths not given";
  std::wstring descriptions[2];
  const SYSKIND systems[] = {SYS_WIN32, SYS_WIN64};
  for (int i = 0; i < 2; ++i) {
    ITypeLib* library = nullptr;
    ASSERT_EQ(S_OK, LoadTypeLibEx(paths[i].c_str(), REGKIND_NONE, &library)) << i;
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_EQ(systems[i], attributes->syskind) << i;
    library->ReleaseTLibAttr(attributes);
    for (const IID& iid : {addin::kIidApplicationEvents, addin::kIidDebuggerEvents}) {
      ITypeInfo* info = nullptr;
      ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(iid, &info));
      TYPEATTR* type = nullptr;
      ASSERT_EQ(S_OK, info->GetTypeAttr(&type));
      EXPECT_EQ(TKIND_INTERFACE, type->typekind);
      EXPECT_EQ(0, type->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION));
      info->ReleaseTypeAttr(type);
      info->Release();
    }
    descriptions[i] = Describe(library);
    library->Release();
  }
  EXPECT_NE(std::wstring::npos, descriptions[0].find(L"QuillmarkAbout id 5"));
  EXPECT_NE(std::wstring::npos, descriptions[0].find(L"base IDispatch from {00020430-"))
      << "IDispatch comes from the standard OLE library";
  EXPECT_EQ(descriptions[1], descriptions[0]);
}

TEST_F(AddInTest, ClassObjectStatuses) {
  ModuleCopy module(L"statuses", L"QUILLMARK.dll");
  ASSERT_TRUE(module.registered);
  IClassFactory* factory = nullptr;
  EXPECT_EQ(E_POINTER, module.getClassObject(addin::kClsidDSAddIn, IID_IClassFactory, nullptr));
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
            module.getClassObject(addin::kClsidCommands, IID_IClassFactory, &other))
      << "the command object is not creatable from outside";
  EXPECT_EQ(nullptr, other) << "the out pointer is cleared first";
  EXPECT_EQ(S_OK, module.canUnload()) << "nothing alive yet";
  ASSERT_EQ(S_OK, module.getClassObject(addin::kClsidDSAddIn, IID_IClassFactory,
                                        reinterpret_cast<void**>(&factory)));
  EXPECT_EQ(S_FALSE, module.canUnload()) << "the factory is held";
  IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
  void* object = nullptr;
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer, IID_IUnknown, &object));
  EXPECT_EQ(nullptr, object);

  IDSAddIn* addIn = nullptr;
  ASSERT_EQ(S_OK,
            factory->CreateInstance(nullptr, addin::kIidDSAddIn, reinterpret_cast<void**>(&addIn)));
  factory->Release();
  {
    Ide ide;
    VARIANT_BOOL connected = VARIANT_FALSE;
    ASSERT_EQ(S_OK, addIn->OnConnection(ide.application(), VARIANT_TRUE, 7, &connected));
    EXPECT_EQ(VARIANT_TRUE, connected);
    EXPECT_EQ(S_FALSE, module.canUnload()) << "connected";
    EXPECT_EQ(S_OK, addIn->OnDisconnection(VARIANT_TRUE));
    EXPECT_EQ(S_FALSE, module.canUnload()) << "the IDE still holds the add-in and commands";
  }
  EXPECT_EQ(S_FALSE, module.canUnload()) << "the add-in object is still held";
  addIn->Release();
  EXPECT_EQ(S_OK, module.canUnload()) << "everything released";
}

TEST_F(AddInTest, ConnectionRegistersCommandsAndButtons) {
  ModuleCopy module(L"connection", L"QUILLMARK.dll");
  ASSERT_TRUE(module.registered);
  const struct {
    VARIANT_BOOL firstTime;
    bool debugger;
    std::size_t buttons;
    const char* why;
  } kCases[] = {
      {VARIANT_TRUE, true, 5, "first load: five commands and five buttons"},
      {VARIANT_FALSE, true, 0, "later loads: commands only"},
      {1, true, 0, "a true that is not all bits set counts as false"},
      {VARIANT_TRUE, false, 5, "an IDE without a debugger object"},
  };
  for (const auto& c : kCases) {
    Ide ide(c.debugger);
    IDSAddIn* addIn = CreateAddIn();
    ASSERT_NE(nullptr, addIn);
    VARIANT_BOOL connected = VARIANT_FALSE;
    EXPECT_EQ(S_OK, addIn->OnConnection(ide.application(), c.firstTime, 42, &connected));
    EXPECT_EQ(VARIANT_TRUE, connected);
    EXPECT_EQ(128, ide.addInInfoMedium);
    EXPECT_EQ(129, ide.addInInfoLarge);
    EXPECT_EQ(42, ide.addInInfoCookie);
    ASSERT_EQ(5u, ide.addCommands.size());
    for (std::size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(kCommandStrings[i], ide.addCommands[i].command) << i;
      EXPECT_EQ(kMethods[i], ide.addCommands[i].method) << i;
      EXPECT_EQ(static_cast<long>(i), ide.addCommands[i].glyph);
      EXPECT_EQ(42, ide.addCommands[i].cookie);
    }
    ASSERT_EQ(c.buttons, ide.buttons.size());
    for (std::size_t i = 0; i < ide.buttons.size(); ++i) {
      EXPECT_EQ(1, ide.buttons[i].style);
      EXPECT_EQ(kMethods[i], ide.buttons[i].name);
      EXPECT_EQ(42, ide.buttons[i].cookie);
    }
    EXPECT_EQ(1u, ide.applicationObject().SinkCount(addin::kIidApplicationEvents));
    if (c.debugger) {
      EXPECT_EQ(1u, ide.debugger()->SinkCount(addin::kIidDebuggerEvents));
    }
    EXPECT_EQ(S_OK, addIn->OnDisconnection(VARIANT_FALSE));
    EXPECT_EQ(0u, ide.applicationObject().SinkCount(addin::kIidApplicationEvents));
    if (c.debugger) {
      EXPECT_EQ(0u, ide.debugger()->SinkCount(addin::kIidDebuggerEvents));
    }
    addIn->Release();
  }
  EXPECT_TRUE(watcher_.Take().empty());
}

TEST_F(AddInTest, RefusedConnectionsLeaveNothingBehind) {
  ModuleCopy module(L"refused", L"QUILLMARK.dll");
  ASSERT_TRUE(module.registered);
  const struct {
    bool answersApplication;
    bool nameTaken;
    HRESULT setAddInInfo;
    HRESULT addCommandLookup;
    std::size_t addCommands;
    const wchar_t* message;  // null: refused without a word
    const char* why;
  } kCases[] = {
      {false, false, S_OK, S_OK, 0, nullptr, "no application interface"},
      {true, true, S_OK, S_OK, 1, nullptr, "another copy holds the first command name"},
      {true, false, E_FAIL, S_OK, 0,
       L"internal error: connecting to the IDE: the IDE refused SetAddInInfo (0x80004005)",
       "the IDE refuses the add-in's information"},
      {true, false, S_OK, E_NOTIMPL, 0,
       L"internal error: connecting to the IDE: the IDE refused AddCommand (0x80004001)",
       "no name lookup: not a taken name"},
      {true, false, S_OK, DISP_E_UNKNOWNNAME, 0,
       L"internal error: connecting to the IDE: the IDE refused AddCommand (0x80020006)",
       "an unknown name: not a taken name"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    Ide ide(true, c.answersApplication);
    ide.commandNameTaken = c.nameTaken;
    ide.setAddInInfoResult = c.setAddInInfo;
    if (FAILED(c.addCommandLookup))
      ide.applicationObject().FailLookup(L"AddCommand", c.addCommandLookup);
    IDSAddIn* addIn = CreateAddIn();
    VARIANT_BOOL connected = VARIANT_TRUE;
    EXPECT_EQ(S_OK, addIn->OnConnection(ide.application(), VARIANT_TRUE, 1, &connected));
    EXPECT_EQ(VARIANT_FALSE, connected);
    EXPECT_EQ(c.addCommands, ide.addCommands.size());
    EXPECT_TRUE(ide.buttons.empty());
    EXPECT_EQ(0u, ide.applicationObject().SinkCount(addin::kIidApplicationEvents))
        << "the command object's event connections are released at once";
    EXPECT_EQ(0u, ide.debugger()->SinkCount(addin::kIidDebuggerEvents));
    const std::vector<MessageWatcher::Box> boxes = watcher_.Take();
    ASSERT_EQ(c.message != nullptr ? 1u : 0u, boxes.size());
    if (c.message != nullptr) {
      EXPECT_EQ(c.message, boxes[0].text);
    }
    addIn->Release();
    if (ide.commands != nullptr) ide.commands->Release();
    ide.commands = nullptr;
  }
  EXPECT_EQ(S_OK, module.canUnload()) << "nothing leaked";
}

struct GoldenCase {
  std::string name, input, encoding, status, caret, args;
};

std::vector<GoldenCase> ReadCases(const std::string& dir) {
  std::ifstream in(dir + "/cases.txt");
  std::vector<GoldenCase> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string field; std::getline(split, field, '|');) fields.push_back(field);
    if (fields.size() == 6)
      cases.push_back({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]});
  }
  return cases;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int ByteColumn(std::string_view line, int charColumn) {
  std::size_t offset = 0;
  for (int c = 1; c < charColumn && offset < line.size(); ++c) {
    ++offset;
    while (offset < line.size() && (static_cast<unsigned char>(line[offset]) & 0xC0) == 0x80)
      ++offset;
  }
  return static_cast<int>(offset) + 1;
}

int CharColumn(std::string_view line, int byteColumn) {
  int column = 1;
  for (std::size_t i = 0; i + 1 < static_cast<std::size_t>(byteColumn) && i < line.size(); ++i)
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++column;
  return column;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// The same cases, data and expected files as the command line's golden
// tests, run through the IDE's object model instead.
TEST_F(AddInTest, CommandsGiveTheSameBlocksAsOnLinux) {
  ModuleCopy module(L"golden", L"QUILLMARK.dll");
  ASSERT_TRUE(module.registered);
  const std::wstring profile = module.folder() + L"\\Comment_standin.ini";
  {
    // The first connection creates the settings file; a fixed author follows.
    Ide ide;
    IDSAddIn* addIn = CreateAddIn();
    VARIANT_BOOL connected = VARIANT_FALSE;
    addIn->OnConnection(ide.application(), VARIANT_FALSE, 1, &connected);
    addIn->OnDisconnection(VARIANT_FALSE);
    addIn->Release();
  }
  std::string settings = ReadBytes(profile);
  ASSERT_NE(std::string::npos, settings.find("AuthorName=standin\r\n"));
  WriteBytes(profile, Replace(settings, "AuthorName=standin\r\n", "AuthorName=Author Name\r\n"));

  // Once as the object model's documentation describes it, once with its
  // properties implemented as methods, as other automation objects do.
  for (const bool propertiesAsMethods : {false, true}) {
    SCOPED_TRACE(propertiesAsMethods ? "properties as methods" : "properties");
    Ide ide;
    ide.propertiesAsMethods = propertiesAsMethods;
    // The command line's golden files are written in a project folder "golden"
    // on 17 September 2002; the add-in takes today's date from the system.
    ide.SetProject(L"golden");
    IDSAddIn* addIn = CreateAddIn();
    VARIANT_BOOL connected = VARIANT_FALSE;
    ASSERT_EQ(S_OK, addIn->OnConnection(ide.application(), VARIANT_FALSE, 1, &connected));
    ASSERT_EQ(VARIANT_TRUE, connected);

    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string date = std::to_string(now.wYear) + "年" + std::to_string(now.wMonth) + "月" +
                             std::to_string(now.wDay) + "日";
    const std::string dir = Utf8(Env(L"QM_CASES"));
    const std::vector<GoldenCase> cases = ReadCases(dir);
    ASSERT_GE(cases.size(), 15u);
    std::string previous;
    for (const GoldenCase& c : cases) {
      const bool gbk = c.encoding == "gbk";
      std::string bytes = c.input == "@PREV@" ? previous : ReadFile(dir + "/data/" + c.input);
      const std::string inputName = c.input == "@PREV@" ? "lines.c" : c.input;
      const bool bom = bytes.rfind("\xEF\xBB\xBF", 0) == 0;
      if (bom) bytes.erase(0, 3);
      const std::string text = gbk ? FromGbk(bytes) : bytes;
      MemoryDocument doc(text, inputName, CodePage::kUtf8);

      std::stringstream words(c.args);
      std::string command, file, option, value;
      words >> command >> file >> option >> value;
      // The add-in has the three document commands; the command line's others
      // (refresh) have cases of their own there.
      if (command != "comment" && command != "header" && command != "delete") continue;
      const auto lineEnd = [&doc](int line) {
        return TextPosition{line, static_cast<int>(doc.LineText(line).size()) + 1};
      };
      if (option == "--line") {
        const int n = std::stoi(value);
        doc.Select(lineEnd(n), {n, 1});
      } else if (option == "--lines") {
        const int first = std::stoi(value), last = std::stoi(value.substr(value.find('-') + 1));
        doc.Select(lineEnd(last), {first, 1});
      } else if (option == "--select") {
        int l1, c1, l2, c2;
        ASSERT_EQ(4, std::sscanf(value.c_str(), "%d:%d-%d:%d", &l1, &c1, &l2, &c2));
        doc.Select({l1, ByteColumn(doc.LineText(l1), c1)}, {l2, ByteColumn(doc.LineText(l2), c2)});
      }
      ide.Open(&doc);
      ide.modeless.clear();
      const wchar_t* method = command == "comment"  ? L"QuillmarkClassOrFunction"
                              : command == "header" ? L"CommentFileNote"
                                                    : L"CommentDeleteText";
      EXPECT_EQ(S_OK, RunCommand(ide.commands, method));
      EXPECT_EQ((std::vector<bool>{false, true}), ide.modeless);
      const std::vector<MessageWatcher::Box> boxes = watcher_.Take();

      if (c.status == "0") {
        EXPECT_TRUE(boxes.empty());
        std::string expected = ReadFile(dir + "/expected/" + c.name);
        const std::string fixedDate = "2002年9月17日";
        expected = Replace(expected, gbk ? ToGbk(fixedDate) : fixedDate, gbk ? ToGbk(date) : date);
        std::string result = gbk ? ToGbk(doc.Text()) : doc.Text();
        if (bom) result = WithBom(result);
        EXPECT_EQ(expected, result);
        const TextPosition caret = doc.Caret();
        const std::string where =
            std::to_string(caret.line) + ":" +
            std::to_string(CharColumn(doc.LineText(caret.line), caret.column));
        EXPECT_EQ(c.caret.substr(c.caret.find(':') + 1), where) << "caret";
        previous = bom ? WithBom(doc.Text()) : doc.Text();
      } else {
        EXPECT_EQ(text, doc.Text()) << "the document changed although the command failed";
        EXPECT_EQ(c.status == "1" ? 1u : 0u, boxes.size()) << "message boxes";
        for (const auto& box : boxes) EXPECT_EQ(L"QUILLMARK", box.caption);
      }
    }
    ide.Open(nullptr);
    addIn->OnDisconnection(VARIANT_FALSE);
    addIn->Release();
  }
}

TEST_F(AddInTest, MessagesWithoutADocument) {
  ModuleCopy module(L"renamed", L"墨翎插件.dll");
  ASSERT_TRUE(module.registered);
  Ide ide;
  IDSAddIn* addIn = CreateAddIn();
  VARIANT_BOOL connected = VARIANT_FALSE;
  ASSERT_EQ(S_OK, addIn->OnConnection(ide.application(), VARIANT_FALSE, 1, &connected));
  MemoryDocument binary("x", "x.bin");
  const struct {
    const wchar_t* method;
    bool binaryOpen;
    const wchar_t* message;  // null: no message
    const char* why;
  } kCases[] = {
      {L"QuillmarkClassOrFunction", false, L"请选中要加注释的类，或函数声明!", "no document"},
      {L"CommentFileNote", false, L"请打开要加注释的文件!", "no document"},
      {L"CommentDeleteText", false, L"请选中要删除/反删除的文本!", "no document"},
      {L"CommentDeleteText", true, L"请选中要删除/反删除的文本!", "not a text document"},
  };
  for (const auto& c : kCases) {
    ide.Open(c.binaryOpen ? &binary : nullptr, L"Binary");
    ide.modeless.clear();
    EXPECT_EQ(S_OK, RunCommand(ide.commands, c.method));
    EXPECT_EQ((std::vector<bool>{false, true}), ide.modeless);
    const std::vector<MessageWatcher::Box> boxes = watcher_.Take();
    ASSERT_EQ(c.message != nullptr ? 1u : 0u, boxes.size());
    if (c.message == nullptr) continue;
    EXPECT_EQ(c.message, boxes[0].text);
    EXPECT_EQ(L"墨翎插件", boxes[0].caption) << "the module's own base name";
  }
  // The two dialogs need no document: each opens from the module's own
  // resources, and closes.
  const struct {
    const wchar_t* method;
    std::wstring caption;
  } kDialogs[] = {
      {L"QuillmarkSetting", L"参数设置 -- " + module.folder() + L"\\Comment_standin.ini"},
      {L"QuillmarkAbout", L"关于墨翎"},
  };
  for (const auto& d : kDialogs) {
    ide.Open(nullptr);
    EXPECT_EQ(S_OK, RunCommand(ide.commands, d.method));
    const std::vector<MessageWatcher::Box> boxes = watcher_.Take();
    ASSERT_EQ(1u, boxes.size()) << "one dialog";
    EXPECT_EQ(d.caption, boxes[0].caption);
  }

  // A selection that cannot be read is an internal error in a message box,
  // never an empty selection (which the toggle would write back as nothing).
  const struct {
    const wchar_t* method;
    bool failRead;
    const wchar_t* units;  // what the read answers instead of the text
    const wchar_t* message;
  } kUnreadable[] = {
      {L"QuillmarkClassOrFunction", true, nullptr,
       L"internal error: the IDE did not give the selected text"},
      {L"CommentDeleteText", true, nullptr,
       L"internal error: the IDE did not give the selected text"},
      {L"CommentDeleteText", false,
       L"int \xD800"
       L"f();",
       L"internal error: the selected text from the IDE is not valid UTF-16"},
      {L"QuillmarkClassOrFunction", false,
       L"int f\xDC00"
       L"();",
       L"internal error: the selected text from the IDE is not valid UTF-16"},
  };
  for (const auto& c : kUnreadable) {
    MemoryDocument text("int f();\n", "f.h");
    text.Select({1, 9}, {1, 1});
    ide.Open(&text);
    ide.failSelectionText = c.failRead;
    if (c.units != nullptr) ide.selectionTextUnits = std::wstring(c.units);
    EXPECT_EQ(S_OK, RunCommand(ide.commands, c.method));
    ide.failSelectionText = false;
    ide.selectionTextUnits.reset();
    const std::vector<MessageWatcher::Box> boxes = watcher_.Take();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(c.message, boxes[0].text);
    EXPECT_EQ(L"墨翎插件", boxes[0].caption);
    EXPECT_EQ("int f();\n", text.Text()) << "the document is left alone";
  }
  ide.Open(nullptr);
  addIn->OnDisconnection(VARIANT_FALSE);
  addIn->Release();
}

// Types a company name into the settings dialog's list and presses OK.
void EditCompanyName(HWND dialog, const std::wstring& name) {
  wchar_t caption[256] = {};
  GetWindowTextW(dialog, caption, 256);
  if (std::wstring_view(caption).rfind(L"参数设置", 0) != 0) return;
  HWND list = GetDlgItem(dialog, 1009);
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(1009, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  SetWindowTextW(GetDlgItem(list, 1588), name.c_str());
}

// The settings file appears next to the DLL, named after the logon name, and
// goes back there on disconnection, also with Chinese in either name.
TEST_F(AddInTest, SettingsFileNextToTheModule) {
  const struct {
    const wchar_t* folder;
    const wchar_t* logon;
    const char* why;
  } kCases[] = {
      {L"plain", L"standin", "ASCII folder and logon name"},
      {L"墨翎 模块", L"standin", "folder with Chinese characters and a blank"},
      {L"plain-user", L"墨翎用户", "Chinese logon name"},
  };
  for (const auto& c : kCases) {
    SetEnvironmentVariableW(L"WINEUSERNAME", c.logon);
    ModuleCopy module(c.folder, L"QUILLMARK.dll");
    ASSERT_TRUE(module.registered);
    const std::wstring profile = module.folder() + L"\\Comment_" + c.logon + L".ini";
    const std::string author = ToGbk(Utf8(c.logon));

    Ide ide;
    IDSAddIn* addIn = CreateAddIn();
    VARIANT_BOOL connected = VARIANT_FALSE;
    ASSERT_EQ(S_OK, addIn->OnConnection(ide.application(), VARIANT_TRUE, 1, &connected));
    const std::string created = ReadBytes(profile);
    const std::string head = ToGbk("[类声明注释]\r\nCommentLineCount=11\r\n");
    EXPECT_EQ(0u, created.rfind(head, 0)) << created.substr(0, 40);
    const std::string user = ToGbk("[用户信息]\r\nAuthorName=" + Utf8(c.logon) + "\r\n");
    EXPECT_NE(std::string::npos, created.find(user));

    // Someone edits the file meanwhile; the settings dialog changes the
    // company name; disconnecting writes the settings back and keeps what
    // the module does not use.
    const std::string edited =
        Replace(created, "AuthorName=" + author + "\r\n", "AuthorName=X\r\n") +
        "[Extra]\r\nKey=1\r\n";
    WriteBytes(profile, edited);
    watcher_.OnDialog([](HWND dialog) { EditCompanyName(dialog, L"墨翎工作室"); });
    EXPECT_EQ(S_OK, RunCommand(ide.commands, L"QuillmarkSetting"));
    watcher_.OnDialog(nullptr);
    EXPECT_EQ(1u, watcher_.Take().size());
    EXPECT_EQ(edited, ReadBytes(profile)) << "the dialog's OK changes the tree, not the file";
    addIn->OnDisconnection(VARIANT_TRUE);
    addIn->Release();
    // The IDE lets go of the command object it was handed in SetAddInInfo.
    ide.commands->Release();
    ide.commands = nullptr;
    const std::string saved = ReadBytes(profile);
    EXPECT_NE(std::string::npos, saved.find("AuthorName=" + author + "\r\n"));
    EXPECT_NE(std::string::npos, saved.find(ToGbk("CompanyName=墨翎工作室\r\n")));
    EXPECT_NE(std::string::npos, saved.find("[Extra]\r\nKey=1\r\n"));
    EXPECT_TRUE(watcher_.Take().empty());
  }
  SetEnvironmentVariableW(L"WINEUSERNAME", L"standin");
}

// Unchanged settings are not written, and never complained about; changed
// ones that cannot be written are shown once, at the disconnection.
TEST_F(AddInTest, SettingsWrittenOnlyWhenChangedAndFailuresShown) {
  ModuleCopy module(L"saving", L"QUILLMARK.dll");
  ASSERT_TRUE(module.registered);
  const std::wstring profile = module.folder() + L"\\Comment_standin.ini";
  // Code page 936 bytes that have no character: the file cannot be loaded.
  const std::string unreadable = "[Extra]\r\nKey=\x81\x20\xFF\r\n";
  const struct {
    bool unreadableAtConnection;
    bool change;
    const wchar_t* message;  // at the disconnection; null: none
    const char* why;
  } kCases[] = {
      {false, false, nullptr, "unchanged: nothing written, nothing said"},
      {false, true, L": no such file", "changed, then the file removed: said once"},
      {true, false, nullptr, "not loaded and unchanged: no complaint at every disconnection"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    DeleteFileW(profile.c_str());
    if (c.unreadableAtConnection) WriteBytes(profile, unreadable);
    Ide ide;
    IDSAddIn* addIn = CreateAddIn();
    VARIANT_BOOL connected = VARIANT_FALSE;
    ASSERT_EQ(S_OK, addIn->OnConnection(ide.application(), VARIANT_TRUE, 1, &connected));
    watcher_.Take();
    if (!c.unreadableAtConnection) WriteBytes(profile, ReadBytes(profile) + "[Extra]\r\nKey=1\r\n");
    const std::string before = ReadBytes(profile);
    if (c.change) {
      watcher_.OnDialog([](HWND dialog) { EditCompanyName(dialog, L"C"); });
      EXPECT_EQ(S_OK, RunCommand(ide.commands, L"QuillmarkSetting"));
      watcher_.OnDialog(nullptr);
      EXPECT_EQ(1u, watcher_.Take().size());
      DeleteFileW(profile.c_str());
    }
    addIn->OnDisconnection(VARIANT_FALSE);
    addIn->Release();
    ide.commands->Release();
    ide.commands = nullptr;
    const std::vector<MessageWatcher::Box> boxes = watcher_.Take();
    if (c.message == nullptr) {
      EXPECT_TRUE(boxes.empty()) << Utf8(boxes.empty() ? L"" : boxes[0].text);
      EXPECT_EQ(before, ReadBytes(profile)) << "nothing written";
      continue;
    }
    ASSERT_EQ(1u, boxes.size()) << "shown once, not again at the release";
    EXPECT_EQ(L"settings not saved: " + profile + c.message, boxes[0].text);
    EXPECT_EQ(L"QUILLMARK", boxes[0].caption);
  }
}

// Nothing raised while the add-in lets go of its command object escapes:
// not from the disconnection, not from a release without one (which would
// end the IDE's process). The module built for the tests raises on purpose.
TEST_F(AddInTest, TeardownFailuresAreShownNotRaised) {
  if (Env(L"QM_FAULT_DLL").empty()) GTEST_SKIP() << "no module with test faults";
  ModuleCopy module(L"faults", L"QUILLMARK.dll", L"QM_FAULT_DLL");
  ASSERT_TRUE(module.registered);
  for (const bool disconnect : {true, false}) {
    SCOPED_TRACE(disconnect ? "disconnected" : "released without a disconnection");
    Ide ide;
    IDSAddIn* addIn = CreateAddIn();
    VARIANT_BOOL connected = VARIANT_FALSE;
    ASSERT_EQ(S_OK, addIn->OnConnection(ide.application(), VARIANT_TRUE, 1, &connected));
    ASSERT_EQ(VARIANT_TRUE, connected);
    SetEnvironmentVariableW(L"QM_FAULT", L"save");
    if (disconnect) {
      EXPECT_EQ(S_OK, addIn->OnDisconnection(VARIANT_FALSE));
    }
    addIn->Release();
    SetEnvironmentVariableW(L"QM_FAULT", nullptr);
    EXPECT_EQ(0u, ide.applicationObject().SinkCount(addin::kIidApplicationEvents))
        << "the events are disconnected after the failed save";
    ide.commands->Release();
    ide.commands = nullptr;
    const std::vector<MessageWatcher::Box> boxes = watcher_.Take();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"internal error: saving the settings: test fault at save", boxes[0].text);
  }
  EXPECT_EQ(S_OK, module.canUnload()) << "nothing leaked";
}

// What the command object's making or a command raises past the core's own
// guard is shown and the IDE gets a failure: no connection, a failed call.
TEST_F(AddInTest, CreationAndCommandFailuresAreShownAndReturned) {
  if (Env(L"QM_FAULT_DLL").empty()) GTEST_SKIP() << "no module with test faults";
  // A folder of its own: the copy an earlier test loaded stays loaded.
  ModuleCopy module(L"faults-create", L"QUILLMARK.dll", L"QM_FAULT_DLL");
  ASSERT_TRUE(module.registered);
  {
    Ide ide;
    IDSAddIn* addIn = CreateAddIn();
    VARIANT_BOOL connected = VARIANT_TRUE;
    SetEnvironmentVariableW(L"QM_FAULT", L"create");
    EXPECT_EQ(S_OK, addIn->OnConnection(ide.application(), VARIANT_TRUE, 1, &connected));
    SetEnvironmentVariableW(L"QM_FAULT", nullptr);
    EXPECT_EQ(VARIANT_FALSE, connected);
    EXPECT_EQ(nullptr, ide.commands) << "nothing handed to the IDE";
    const std::vector<MessageWatcher::Box> boxes = watcher_.Take();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"internal error: creating the command object: test fault at create", boxes[0].text);
    addIn->Release();
  }
  {
    Ide ide;
    IDSAddIn* addIn = CreateAddIn();
    VARIANT_BOOL connected = VARIANT_FALSE;
    ASSERT_EQ(S_OK, addIn->OnConnection(ide.application(), VARIANT_TRUE, 1, &connected));
    ASSERT_EQ(VARIANT_TRUE, connected);
    MemoryDocument doc("class CFoo\r\n", "a.h", CodePage::kUtf8);
    ide.Open(&doc);
    SetEnvironmentVariableW(L"QM_FAULT", L"command");
    EXPECT_TRUE(FAILED(RunCommand(ide.commands, L"QuillmarkClassOrFunction")));
    SetEnvironmentVariableW(L"QM_FAULT", nullptr);
    std::vector<MessageWatcher::Box> boxes = watcher_.Take();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"internal error: running the command: test fault at command", boxes[0].text);
    EXPECT_EQ("class CFoo\r\n", doc.Text()) << "nothing changed";
    ide.Open(nullptr);
    addIn->OnDisconnection(VARIANT_FALSE);
    addIn->Release();
    ide.commands->Release();
    ide.commands = nullptr;
    boxes = watcher_.Take();
    EXPECT_TRUE(boxes.empty()) << Utf8(boxes.empty() ? L"" : boxes[0].text);
  }
  EXPECT_EQ(S_OK, module.canUnload()) << "nothing leaked";
}

// The object-model calls each command makes through the add-in: the text
// read, then the same moves, text puts and messages, in the same order, as
// the engine's own table of editor calls holds.
TEST_F(AddInTest, ObjectModelCallsPerCommand) {
  ModuleCopy module(L"recording", L"QUILLMARK.dll");
  ASSERT_TRUE(module.registered);
  // The rows' templates, in the settings file the add-in loads when it connects.
  {
    const win32::Cp936Converter converter;
    TemplateTree tree(std::string("standin"));
    tree.FindKindNode(DeclKind::Class)->lines = testing::kCallsClassLines;
    tree.FindKindNode(DeclKind::FileHeader)->lines = testing::kCallsHeaderLines;
    std::string error;
    ASSERT_TRUE(
        SaveSettingsAs(tree, Utf8(module.folder() + L"\\Comment_standin.ini"), converter, &error))
        << error;
  }
  Ide ide;
  standin::CallLog calls;
  ide.selectionCalls = &calls;
  watcher_.OnDialog([&calls](HWND) { calls.Add("message"); });
  IDSAddIn* addIn = CreateAddIn();
  VARIANT_BOOL connected = VARIANT_FALSE;
  ASSERT_EQ(S_OK, addIn->OnConnection(ide.application(), VARIANT_FALSE, 1, &connected));
  ASSERT_EQ(VARIANT_TRUE, connected);
  for (const testing::EditorCallsRow& row : testing::EditorCallsPerCommand()) {
    SCOPED_TRACE(row.why);
    // The row's text selected from the start of a document that goes on after it.
    const std::string selected = row.selected;
    MemoryDocument doc(selected + "\r\nint y;\r\n", "a.h", CodePage::kUtf8);
    const std::size_t lastBreak = selected.rfind("\r\n");
    const int lines = static_cast<int>(std::count(selected.begin(), selected.end(), '\n'));
    const int column = static_cast<int>(selected.size() -
                                        (lastBreak == std::string::npos ? 0 : lastBreak + 2) + 1);
    doc.Select({1, 1}, {lines + 1, column});
    ASSERT_EQ(selected, doc.GetSelectedText());
    ide.Open(&doc);
    const wchar_t* method = row.command == EngineCommand::kComment  ? L"QuillmarkClassOrFunction"
                            : row.command == EngineCommand::kHeader ? L"CommentFileNote"
                                                                    : L"CommentDeleteText";
    EXPECT_EQ(S_OK, RunCommand(ide.commands, method));
    // The header never reads the selection: it goes to the top wherever the caret is.
    std::vector<std::string> expected;
    if (row.command != EngineCommand::kHeader) expected.push_back("text");
    expected.insert(expected.end(), row.calls.begin(), row.calls.end());
    EXPECT_EQ(expected, calls.Take());
    watcher_.Take();
    ide.Open(nullptr);
  }
  watcher_.OnDialog(nullptr);
  addIn->OnDisconnection(VARIANT_FALSE);
  addIn->Release();
  ide.commands->Release();
  ide.commands = nullptr;
}

}  // namespace
}  // namespace quillmark

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  CoUninitialize();
  return status;
}
