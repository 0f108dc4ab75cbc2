// The add-in object the IDE creates and connects.
#pragma once

#include "commands_object.h"
#include "interfaces.h"
#include "module.h"

namespace quillmark::addin {

class DSAddIn final : public IDSAddIn, public RefCounted {
 public:
  DSAddIn() = default;
  ~DSAddIn() override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  HRESULT STDMETHODCALLTYPE OnConnection(IUnknown* application, VARIANT_BOOL firstTime, long cookie,
                                         VARIANT_BOOL* connected) override;
  HRESULT STDMETHODCALLTYPE OnDisconnection(VARIANT_BOOL lastTime) override;

 private:
  // Saves the settings and gives up the command object and its event
  // connections; what fails is shown, nothing is raised.
  void ReleaseCommands() noexcept;

  CommandsObject* commands_ = nullptr;
  long cookie_ = 0;
};

}  // namespace quillmark::addin
