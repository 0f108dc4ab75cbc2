// The COM interfaces the module and its host share, laid out as their type
// libraries describe them: the IDE's add-in and event interfaces, and the
// command object's ICommands (resources/quillmark.idl).
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace quillmark::addin {

// {5D524B60-A75B-4AE2-B620-91CAB9578A5C}: the add-in class, the one class
// the module's class factory makes.
inline constexpr CLSID kClsidDSAddIn = {
    0x5D524B60, 0xA75B, 0x4AE2, {0xB6, 0x20, 0x91, 0xCA, 0xB9, 0x57, 0x8A, 0x5C}};
inline constexpr wchar_t kClsidDSAddInText[] = L"{5D524B60-A75B-4AE2-B620-91CAB9578A5C}";
// {38DABD40-F297-4F2B-8394-FF46E9603726}: described, never made from outside.
inline constexpr CLSID kClsidCommands = {
    0x38DABD40, 0xF297, 0x4F2B, {0x83, 0x94, 0xFF, 0x46, 0xE9, 0x60, 0x37, 0x26}};
inline constexpr GUID kLibidQuillmark = {
    0x4173923B, 0x96E6, 0x40F3, {0xB3, 0xE6, 0xCC, 0xD4, 0xB6, 0x28, 0x4E, 0x01}};
inline constexpr IID kIidDSAddIn = {
    0xC0002F81, 0xAE2E, 0x11CF, {0xAD, 0x07, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0x65}};
inline constexpr IID kIidApplication = {
    0xEC1D73A1, 0x8CC4, 0x11CF, {0x9B, 0xE9, 0x00, 0xA0, 0xC9, 0x0A, 0x63, 0x2C}};
inline constexpr IID kIidCommands = {
    0xA0B057A4, 0xBF42, 0x42D4, {0x88, 0x61, 0xE4, 0xB6, 0x9E, 0xDC, 0x1F, 0x05}};
inline constexpr IID kIidApplicationEvents = {
    0x8EA3F900, 0x4A9F, 0x11CF, {0x8E, 0x4E, 0x00, 0xAA, 0x00, 0x42, 0x54, 0xC4}};
inline constexpr IID kIidDebuggerEvents = {
    0x34C6301A, 0xAE64, 0x11CF, {0xAB, 0x59, 0x00, 0xAA, 0x00, 0xC0, 0x91, 0xA1}};

// The IDE's add-in interface. The IDE hands its application object as the
// first argument; the add-in asks it for the application interface.
struct IDSAddIn : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnConnection(IUnknown* application, VARIANT_BOOL firstTime,
                                                 long cookie, VARIANT_BOOL* connected) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDisconnection(VARIANT_BOOL lastTime) = 0;
};

struct ICommands : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE QuillmarkClassOrFunction() = 0;
  virtual HRESULT STDMETHODCALLTYPE QuillmarkSetting() = 0;
  virtual HRESULT STDMETHODCALLTYPE CommentFileNote() = 0;
  virtual HRESULT STDMETHODCALLTYPE CommentDeleteText() = 0;
  virtual HRESULT STDMETHODCALLTYPE QuillmarkAbout() = 0;
};

struct IApplicationEvents : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE BeforeBuildStart() = 0;
  virtual HRESULT STDMETHODCALLTYPE BuildFinish(long errors, long warnings) = 0;
  virtual HRESULT STDMETHODCALLTYPE BeforeApplicationShutDown() = 0;
  virtual HRESULT STDMETHODCALLTYPE DocumentOpen(IDispatch* document) = 0;
  virtual HRESULT STDMETHODCALLTYPE BeforeDocumentClose(IDispatch* document) = 0;
  virtual HRESULT STDMETHODCALLTYPE DocumentSave(IDispatch* document) = 0;
  virtual HRESULT STDMETHODCALLTYPE NewDocument(IDispatch* document) = 0;
  virtual HRESULT STDMETHODCALLTYPE WindowActivate(IDispatch* window) = 0;
  virtual HRESULT STDMETHODCALLTYPE WindowDeactivate(IDispatch* window) = 0;
  virtual HRESULT STDMETHODCALLTYPE WorkspaceOpen() = 0;
  virtual HRESULT STDMETHODCALLTYPE WorkspaceClose() = 0;
  virtual HRESULT STDMETHODCALLTYPE NewWorkspace() = 0;
};

struct IDebuggerEvents : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE BreakpointHit(IDispatch* breakpoint) = 0;
};

}  // namespace quillmark::addin
