#include "winkit/dispatch.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "winkit/handles.h"

namespace winkit {

struct DispatchType::Loaded {
  DispatchType* type;
  ComPtr<ITypeInfo> info;
  std::vector<Member> members;
};

namespace {

using Param = DispatchType::Param;
using Member = DispatchType::Member;

// The types this DLL loaded, each once, released together when it is unloaded.
SRWLOCK g_lock = SRWLOCK_INIT;
std::vector<std::unique_ptr<DispatchType::Loaded>>* g_loaded = nullptr;  // made at the first load

// The declared type of a parameter; type VT_EMPTY leaves its binding to ITypeInfo
// (interfaces, records, C arrays).
Param Describe(const ELEMDESC& element) {
  Param param;
  const TYPEDESC* desc = &element.tdesc;
  bool by_ref = false;
  if (desc->vt == VT_PTR) {
    by_ref = true;
    desc = desc->lptdesc;
  }
  VARTYPE type = desc->vt;
  if (type == VT_SAFEARRAY) {
    VARTYPE element_type = desc->lptdesc->vt;
    if (element_type == VT_USERDEFINED || element_type == VT_PTR) return param;
    type = VT_ARRAY | element_type;
  } else if (type == VT_USERDEFINED || type == VT_PTR || type == VT_CARRAY) {
    return param;
  }
  param.type = type;
  param.by_ref = by_ref;
  param.out = (element.paramdesc.wParamFlags & PARAMFLAG_FOUT) != 0;
  return param;
}

HRESULT ReadMembers(ITypeInfo* info, std::vector<Member>& members) {
  TYPEATTR* attr = nullptr;
  HRESULT hr = info->GetTypeAttr(&attr);
  if (FAILED(hr)) return hr;
  const WORD count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  for (WORD i = 0; i < count; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(i, &func))) continue;
    Member member{func->memid, func->invkind, {}};
    for (SHORT p = 0; p < func->cParams; ++p) {
      const ELEMDESC& element = func->lprgelemdescParam[p];
      if (element.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) continue;
      member.params.push_back(Describe(element));
    }
    info->ReleaseFuncDesc(func);
    members.push_back(std::move(member));
  }
  return S_OK;
}

// The parameter that rgvarg[index] stands for; null when there is none.
const Param* ParamFor(const Member& member, const DISPPARAMS& params, UINT index) {
  size_t position;
  if (index < params.cNamedArgs) {
    DISPID name = params.rgdispidNamedArgs[index];
    if (name == DISPID_PROPERTYPUT) {
      if (member.params.empty()) return nullptr;
      position = member.params.size() - 1;
    } else {
      if (name < 0) return nullptr;
      position = static_cast<size_t>(name);
    }
  } else {
    position = params.cArgs - 1 - index;
  }
  return position < member.params.size() ? &member.params[position] : nullptr;
}

// Bytes a by-reference argument of this type points to; 0 for types not written back.
size_t ByRefSize(VARTYPE type) {
  if (type & VT_ARRAY) return sizeof(SAFEARRAY*);
  switch (type) {
    case VT_I1: case VT_UI1:
      return 1;
    case VT_I2: case VT_UI2: case VT_BOOL:
      return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR:
      return 4;
    case VT_R8: case VT_CY: case VT_DATE: case VT_I8: case VT_UI8:
      return 8;
    case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN:
      return sizeof(void*);
    default:
      return 0;
  }
}

// An array whose elements are not VARIANT.
bool IsTypedArray(VARTYPE type) { return (type & VT_ARRAY) && (type & VT_TYPEMASK) != VT_VARIANT; }

// Prepares one argument. Leaves `bound` as the caller's argument when ITypeInfo can take
// it as it is; otherwise points it at `temp` and tells whether to store the result back.
HRESULT Bind(const Param& param, const VARIANTARG& given, VARIANTARG& bound, Variant& temp, bool& changed,
             bool& store) {
  if (!param.by_ref) {
    if (!V_ISBYREF(&given)) return S_OK;
    HRESULT hr = VariantCopyInd(temp.put(), const_cast<VARIANTARG*>(&given));
    if (FAILED(hr)) return hr;
    bound = *temp.get();
    changed = true;
    return S_OK;
  }
  const VARTYPE wanted = VT_BYREF | param.type;
  if (V_VT(&given) == wanted) return S_OK;
  changed = true;
  VARIANT* inner = V_VT(&given) == (VT_BYREF | VT_VARIANT) ? V_VARIANTREF(&given) : nullptr;
  if (inner && V_VT(inner) == param.type && !IsTypedArray(param.type)) {
    // The variable already holds the declared type: the call writes into it directly.
    V_VT(&bound) = wanted;
    V_BYREF(&bound) = &V_BYREF(inner);
    return S_OK;
  }
  Variant incoming;
  auto* source = const_cast<VARIANTARG*>(&given);
  HRESULT hr = V_ISBYREF(source) ? VariantCopyInd(incoming.put(), source) : VariantCopy(incoming.put(), source);
  if (FAILED(hr)) return hr;
  if (param.type == VT_VARIANT) {
    temp = std::move(incoming);
    V_VT(&bound) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&bound) = temp.get();
  } else {
    VARIANT* value = temp.put();
    const bool empty = V_VT(incoming.get()) == VT_EMPTY;
    if (empty || FAILED(VariantChangeType(value, incoming.get(), 0, param.type))) {
      // An [in, out] argument whose value cannot take the declared type starts empty.
      if (!empty && !param.out) return DISP_E_TYPEMISMATCH;
      VariantClear(value);
      std::memset(value, 0, sizeof *value);
      V_VT(value) = param.type;
    }
    V_VT(&bound) = wanted;
    V_BYREF(&bound) = &V_BYREF(value);
  }
  store = param.out && V_ISBYREF(&given);
  return S_OK;
}

// The same array with VARIANT elements (same bounds, elements copied).
HRESULT ToVariantArray(const VARIANT& typed, Variant& out) {
  SAFEARRAY* source = V_ARRAY(&typed);
  const VARTYPE element_type = V_VT(&typed) & ~VT_ARRAY;
  const size_t element_size = ByRefSize(element_type);
  if (!source) {
    V_VT(out.put()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(out.get()) = nullptr;
    return S_OK;
  }
  if (element_size == 0 || SafeArrayGetElemsize(source) != element_size) return DISP_E_TYPEMISMATCH;
  const UINT dims = SafeArrayGetDim(source);
  std::vector<SAFEARRAYBOUND> bounds(source->rgsabound, source->rgsabound + dims);
  std::reverse(bounds.begin(), bounds.end());  // rgsabound lists the last dimension first
  SafeArray array(SafeArrayCreate(VT_VARIANT, dims, bounds.data()));
  if (!array) return E_OUTOFMEMORY;
  size_t total = 1;
  for (const SAFEARRAYBOUND& bound : bounds) total *= bound.cElements;
  void* from = nullptr;
  void* to = nullptr;
  HRESULT hr = SafeArrayAccessData(source, &from);
  if (FAILED(hr)) return hr;
  hr = SafeArrayAccessData(array.get(), &to);
  for (size_t i = 0; i < total && SUCCEEDED(hr); ++i) {
    VARIANT element;  // a view of the source's element, which keeps owning it
    VariantInit(&element);
    V_VT(&element) = element_type;
    std::memcpy(&V_BYREF(&element), static_cast<const BYTE*>(from) + i * element_size, element_size);
    hr = VariantCopy(static_cast<VARIANT*>(to) + i, &element);
  }
  if (to) SafeArrayUnaccessData(array.get());
  SafeArrayUnaccessData(source);
  if (FAILED(hr)) return hr;
  V_VT(out.put()) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(out.get()) = array.release();
  return S_OK;
}

// Stores a by-reference result into the caller's argument, converting it to the type
// the caller's reference points to. Scripts index only arrays of VARIANT, so a variant
// variable (or a VARIANT array) receives a typed array as an array of VARIANT.
HRESULT StoreByRef(VARIANTARG& given, Variant& value) {
  const bool to_variant = V_VT(&given) == (VT_BYREF | VT_VARIANT) || V_VT(&given) == (VT_BYREF | VT_ARRAY | VT_VARIANT);
  if (to_variant && IsTypedArray(V_VT(value.get()))) {
    Variant variants;
    HRESULT hr = ToVariantArray(*value.get(), variants);
    if (FAILED(hr)) return hr;
    value = std::move(variants);
  }
  if (V_VT(&given) == (VT_BYREF | VT_VARIANT)) {
    VARIANT* target = V_VARIANTREF(&given);
    VariantClear(target);
    *target = value.release();
    return S_OK;
  }
  const VARTYPE type = V_VT(&given) & ~VT_BYREF;
  const size_t size = ByRefSize(type);
  if (size == 0) return DISP_E_TYPEMISMATCH;
  Variant converted;
  if (V_VT(value.get()) == type) {
    converted = std::move(value);
  } else if (FAILED(VariantChangeType(converted.put(), value.get(), 0, type))) {
    return DISP_E_TYPEMISMATCH;
  }
  VARIANT old;
  VariantInit(&old);
  V_VT(&old) = type;
  std::memcpy(&V_BYREF(&old), V_BYREF(&given), size);
  VariantClear(&old);
  VARIANT fresh = converted.release();
  std::memcpy(V_BYREF(&given), &V_BYREF(&fresh), size);
  return S_OK;
}

HRESULT InvokeBound(ITypeInfo* info, const Member& member, void* object, DISPID id, WORD flags,
                    DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* arg_error) {
  const UINT count = params->cArgs;
  std::vector<VARIANTARG> args(params->rgvarg, params->rgvarg + count);
  std::vector<Variant> temps(count);
  std::vector<bool> store(count, false);
  bool changed = false;
  for (UINT k = 0; k < count; ++k) {
    const Param* param = ParamFor(member, *params, k);
    if (!param || param->type == VT_EMPTY) continue;
    bool store_k = false;
    HRESULT hr = Bind(*param, params->rgvarg[k], args[k], temps[k], changed, store_k);
    if (FAILED(hr)) {
      if (arg_error) *arg_error = k;
      return hr;
    }
    store[k] = store_k;
  }
  if (!changed) return info->Invoke(object, id, flags, params, result, exception, arg_error);

  DISPPARAMS bound = *params;
  bound.rgvarg = args.data();
  HRESULT hr = info->Invoke(object, id, flags, &bound, result, exception, arg_error);
  if (FAILED(hr)) return hr;
  for (UINT k = 0; k < count; ++k) {
    if (!store[k]) continue;
    hr = StoreByRef(params->rgvarg[k], temps[k]);
    if (FAILED(hr)) {
      if (arg_error) *arg_error = k;
      return hr;
    }
  }
  return S_OK;
}

}  // namespace

HRESULT DispatchType::Load() {
  if (loaded_.load(std::memory_order_acquire)) return S_OK;
  AcquireSRWLockExclusive(&g_lock);
  HRESULT hr = S_OK;
  if (!loaded_.load(std::memory_order_relaxed)) {
    try {
      auto loaded = std::make_unique<Loaded>();
      loaded->type = this;
      ComPtr<ITypeLib> library;
      hr = LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.put());
      if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(iid_, loaded->info.put());
      if (SUCCEEDED(hr)) hr = ReadMembers(loaded->info.get(), loaded->members);
      if (SUCCEEDED(hr)) {
        if (!g_loaded) g_loaded = new std::vector<std::unique_ptr<Loaded>>();
        g_loaded->push_back(std::move(loaded));
        loaded_.store(g_loaded->back().get(), std::memory_order_release);
      }
    } catch (const std::bad_alloc&) {
      hr = E_OUTOFMEMORY;
    }
  }
  ReleaseSRWLockExclusive(&g_lock);
  return hr;
}

void DispatchType::ReleaseAll() {
  AcquireSRWLockExclusive(&g_lock);
  if (g_loaded) {
    for (const auto& loaded : *g_loaded) loaded->type->loaded_.store(nullptr, std::memory_order_release);
    delete std::exchange(g_loaded, nullptr);
  }
  ReleaseSRWLockExclusive(&g_lock);
}

const DispatchType::Member* DispatchType::Find(DISPID id, WORD flags) const {
  for (const Member& member : loaded_.load(std::memory_order_acquire)->members)
    if (member.id == id && (member.kind & flags)) return &member;
  return nullptr;
}

HRESULT DispatchType::GetTypeInfo(UINT index, ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  HRESULT hr = Load();
  if (FAILED(hr)) return hr;
  ITypeInfo* info = loaded_.load(std::memory_order_acquire)->info.get();
  info->AddRef();
  *out = info;
  return S_OK;
}

HRESULT DispatchType::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  HRESULT hr = Load();
  if (FAILED(hr)) return hr;
  return DispGetIDsOfNames(loaded_.load(std::memory_order_acquire)->info.get(), names, count, ids);
}

HRESULT DispatchType::Invoke(void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* exception, UINT* arg_error) {
  HRESULT hr = Load();
  if (FAILED(hr)) return hr;
  SetErrorInfo(0, nullptr);
  ITypeInfo* info = loaded_.load(std::memory_order_acquire)->info.get();
  const Member* member = params && params->cArgs ? Find(id, flags) : nullptr;
  if (member)
    hr = InvokeBound(info, *member, object, id, flags, params, result, exception, arg_error);
  else
    hr = info->Invoke(object, id, flags, params, result, exception, arg_error);

  // Callers learn of the member's own failures as exceptions, with the error information
  // the member published.
  if (hr == DISP_E_EXCEPTION && exception) {
    FillExcepInfo(exception->scode ? exception->scode : hr, exception, source_);
  } else if (FAILED(hr) && HRESULT_FACILITY(hr) != FACILITY_DISPATCH && exception) {
    std::memset(exception, 0, sizeof *exception);
    FillExcepInfo(hr, exception, source_);
    hr = DISP_E_EXCEPTION;
  }
  return hr;
}

}  // namespace winkit
