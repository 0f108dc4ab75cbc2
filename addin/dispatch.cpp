#include "dispatch.h"

#include <algorithm>
#include <vector>

namespace quillmark::addin {

DispatchRef::DispatchRef(IDispatch* object, bool addRef) : object_(object) {
  if (object_ != nullptr && addRef) object_->AddRef();
}

DispatchRef::~DispatchRef() {
  if (object_ != nullptr) object_->Release();
}

DispatchRef::DispatchRef(const DispatchRef& other) : DispatchRef(other.object_, true) {}

DispatchRef::DispatchRef(DispatchRef&& other) noexcept : object_(other.object_) {
  other.object_ = nullptr;
}

DispatchRef& DispatchRef::operator=(DispatchRef other) noexcept {
  std::swap(object_, other.object_);
  return *this;
}

HRESULT DispatchRef::Invoke(const wchar_t* name, WORD flags,
                            std::initializer_list<VARIANT> arguments, VARIANT* result) const {
  if (object_ == nullptr) return E_POINTER;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  // Automation takes the arguments last first.
  std::vector<VARIANT> reversed(arguments.begin(), arguments.end());
  std::reverse(reversed.begin(), reversed.end());
  DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                       static_cast<UINT>(reversed.size()), 0};
  DISPID named = DISPID_PROPERTYPUT;
  if ((flags & DISPATCH_PROPERTYPUT) != 0) {
    params.rgdispidNamedArgs = &named;
    params.cNamedArgs = 1;
  }
  VARIANT ignored;
  VariantInit(&ignored);
  hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                       result != nullptr ? result : &ignored, nullptr, nullptr);
  VariantClear(&ignored);
  return hr;
}

HRESULT DispatchRef::Call(const wchar_t* name, std::initializer_list<VARIANT> arguments,
                          VARIANT* result) const {
  return Invoke(name, DISPATCH_METHOD, arguments, result);
}

HRESULT DispatchRef::Get(const wchar_t* name, VARIANT* result) const {
  return Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, result);
}

DispatchRef DispatchRef::GetObject(const wchar_t* name, bool* failed) const {
  VARIANT value;
  VariantInit(&value);
  const bool readFailed = FAILED(Get(name, &value));
  if (failed != nullptr) *failed = readFailed;
  if (readFailed) return DispatchRef();
  DispatchRef object;
  if (value.vt == VT_DISPATCH && value.pdispVal != nullptr) object = DispatchRef(value.pdispVal);
  VariantClear(&value);
  return object;
}

std::optional<std::wstring> DispatchRef::GetString(const wchar_t* name) const {
  VARIANT value;
  VariantInit(&value);
  if (FAILED(Get(name, &value)) || FAILED(VariantChangeType(&value, &value, 0, VT_BSTR))) {
    VariantClear(&value);
    return std::nullopt;
  }
  std::wstring text(value.bstrVal, SysStringLen(value.bstrVal));
  VariantClear(&value);
  return text;
}

HRESULT DispatchRef::PutString(const wchar_t* name, const std::wstring& value) const {
  VARIANT argument = StringArg(value);
  if (argument.bstrVal == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = Invoke(name, DISPATCH_PROPERTYPUT, {argument}, nullptr);
  VariantClear(&argument);
  return hr;
}

VARIANT StringArg(const std::wstring& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}

VARIANT LongArg(long value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT BoolArg(bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT DispatchArg(IDispatch* value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = value;
  return v;
}

}  // namespace quillmark::addin
