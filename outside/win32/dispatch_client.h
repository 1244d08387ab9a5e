#pragma once
// The client side of automation: another component's object, reached through its
// IDispatch by member name. Objects that only answer IDispatchEx (script class
// objects) are reached through GetDispID.
#include <oaidl.h>

#include <map>

#include "outside/automation.h"
#include "winkit/handles.h"

namespace outside {

class DispatchClient : public AutomationObject {
 public:
  // Takes a reference of its own on `dispatch`.
  explicit DispatchClient(IDispatch* dispatch) : dispatch_(dispatch) {}

  Value Invoke(TextView name, CallKind kind, std::span<Value> args) override;
  // Through the INI file handler's private IIniFileHold, when the object has it.
  std::unique_ptr<FileHold> HoldFile(TextView path) override;

  IDispatch* dispatch() const { return dispatch_.get(); }

 private:
  DISPID Resolve(TextView name);
  winkit::ComPtr<IDispatch> dispatch_;
  std::map<Text, DISPID, std::less<>> ids_;
};

// Creates objects by ProgID through the platform's object creation.
class ComObjectFactory : public ObjectFactory {
 public:
  ObjectRef Create(TextView prog_id) override;
};

// The automation error for a failed platform call, in the automation convention.
// With DISP_E_EXCEPTION, `exception` holds what the callee filled in (its deferred part is
// filled in there too, for its owner to free).
common::AutomationError ErrorFromResult(HRESULT result, winkit::ExcepInfo* exception = nullptr);

}  // namespace outside
