// Late binding to automation objects: a method or property by name
// (GetIDsOfNames + Invoke), as the IDE's object model is reached.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>

namespace quillmark::addin {

// A counted reference to an IDispatch, or none.
class DispatchRef {
 public:
  DispatchRef() = default;
  // Takes over `object`'s reference when `addRef` is false.
  explicit DispatchRef(IDispatch* object, bool addRef = true);
  ~DispatchRef();
  DispatchRef(const DispatchRef& other);
  DispatchRef(DispatchRef&& other) noexcept;
  DispatchRef& operator=(DispatchRef other) noexcept;

  IDispatch* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // Calls `name` with `arguments` in their written order. `result` may be null.
  HRESULT Invoke(const wchar_t* name, WORD flags, std::initializer_list<VARIANT> arguments,
                 VARIANT* result) const;
  HRESULT Call(const wchar_t* name, std::initializer_list<VARIANT> arguments = {},
               VARIANT* result = nullptr) const;
  // Reads a property. Automation objects may implement a property as a method,
  // so it is read as either, as automation clients conventionally do.
  HRESULT Get(const wchar_t* name, VARIANT* result) const;
  // A property holding an object: none when it holds nothing or the read
  // fails; `failed` (when given) tells the two apart.
  DispatchRef GetObject(const wchar_t* name, bool* failed = nullptr) const;
  std::optional<std::wstring> GetString(const wchar_t* name) const;
  HRESULT PutString(const wchar_t* name, const std::wstring& value) const;

 private:
  IDispatch* object_ = nullptr;
};

// Argument helpers; the BSTR one allocates (a null string when out of
// memory), and Invoke does not free it: VariantClear does.
VARIANT StringArg(const std::wstring& text);
VARIANT LongArg(long value);
VARIANT BoolArg(bool value);
VARIANT DispatchArg(IDispatch* value);

}  // namespace quillmark::addin
