#include "outside/win32/variant_value.h"

#include <windows.h>
#include <oleauto.h>

#include "outside/win32/dispatch_client.h"
#include "winkit/handles.h"

namespace outside {

namespace {

using winkit::Bstr;

Value ArrayValue(const VARIANT& in) {
  SAFEARRAY* array = V_ARRAY(&in);
  if (!array || SafeArrayGetDim(array) != 1) throw common::AutomationError(13, u"Type mismatch");
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  Value::TextArray out;
  out.lower_bound = lower;
  VARTYPE type = V_VT(&in) & VT_TYPEMASK;
  for (LONG i = lower; i <= upper; ++i) {
    if (type == VT_BSTR) {
      Bstr item;
      if (FAILED(SafeArrayGetElement(array, &i, item.put()))) throw common::AutomationError(13, u"Type mismatch");
      out.items.push_back(item.text());
    } else if (type == VT_VARIANT) {
      winkit::Variant item, text;
      if (FAILED(SafeArrayGetElement(array, &i, item.get()))) throw common::AutomationError(13, u"Type mismatch");
      if (HRESULT hr = VariantChangeType(text.get(), item.get(), 0, VT_BSTR); FAILED(hr)) throw ErrorFromResult(hr);
      out.items.push_back(Bstr::ToText(V_BSTR(text.get())));
    } else {
      throw common::AutomationError(13, u"Type mismatch");
    }
  }
  return Value(std::move(out));
}

}  // namespace

void ToVariant(const Value& value, VARIANT& out) {
  VariantInit(&out);
  struct Visitor {
    VARIANT& out;
    void operator()(const Value::Empty&) { V_VT(&out) = VT_EMPTY; }
    void operator()(const Value::Null&) { V_VT(&out) = VT_NULL; }
    void operator()(const Value::Missing&) {
      V_VT(&out) = VT_ERROR;
      V_ERROR(&out) = DISP_E_PARAMNOTFOUND;
    }
    void operator()(bool flag) {
      V_VT(&out) = VT_BOOL;
      V_BOOL(&out) = flag ? VARIANT_TRUE : VARIANT_FALSE;
    }
    void operator()(const Value::Integer& n) {
      using W = Value::IntegerWidth;
      switch (n.width) {
        case W::I1: V_VT(&out) = VT_I1; V_I1(&out) = static_cast<CHAR>(n.value); break;
        case W::I2: V_VT(&out) = VT_I2; V_I2(&out) = static_cast<SHORT>(n.value); break;
        case W::I4: V_VT(&out) = VT_I4; V_I4(&out) = static_cast<LONG>(n.value); break;
        case W::I8: V_VT(&out) = VT_I8; V_I8(&out) = n.value; break;
        case W::UI1: V_VT(&out) = VT_UI1; V_UI1(&out) = static_cast<BYTE>(n.value); break;
        case W::UI2: V_VT(&out) = VT_UI2; V_UI2(&out) = static_cast<USHORT>(n.value); break;
        case W::UI4: V_VT(&out) = VT_UI4; V_UI4(&out) = static_cast<ULONG>(n.value); break;
        case W::UI8: V_VT(&out) = VT_UI8; V_UI8(&out) = static_cast<ULONGLONG>(n.value); break;
      }
    }
    void operator()(double number) {
      V_VT(&out) = VT_R8;
      V_R8(&out) = number;
    }
    void operator()(const Value::Currency& money) {
      V_VT(&out) = VT_CY;
      V_CY(&out).int64 = money.scaled;
    }
    void operator()(const Value::Date& date) {
      V_VT(&out) = VT_DATE;
      V_DATE(&out) = date.serial;
    }
    void operator()(const Text& text) {
      V_BSTR(&out) = Bstr(TextView(text)).release();
      V_VT(&out) = VT_BSTR;
    }
    void operator()(const ObjectRef& object) {
      winkit::ComPtr<IDispatch> dispatch;
      if (object) {
        auto* backed = dynamic_cast<const DispatchClient*>(object.get());
        if (!backed) throw common::AutomationError(13, u"Type mismatch: the object cannot cross to the platform");
        dispatch = backed->dispatch();
      }
      V_VT(&out) = VT_DISPATCH;
      V_DISPATCH(&out) = dispatch.detach();
    }
    void operator()(const Value::TextArray& array) {
      SAFEARRAYBOUND bound{static_cast<ULONG>(array.items.size()), array.lower_bound};
      winkit::SafeArray sa(SafeArrayCreate(VT_BSTR, 1, &bound));
      if (!sa) throw common::AutomationError(7, u"Out of memory");
      for (size_t i = 0; i < array.items.size(); ++i) {
        LONG index = array.lower_bound + static_cast<LONG>(i);
        Bstr item{TextView(array.items[i])};
        if (HRESULT hr = SafeArrayPutElement(sa.get(), &index, item.get()); FAILED(hr))  // copies the text
          throw ErrorFromResult(hr);
      }
      V_VT(&out) = VT_ARRAY | VT_BSTR;
      V_ARRAY(&out) = sa.release();
    }
  };
  std::visit(Visitor{out}, value.data());
}

Value FromVariant(const VARIANT& source) {
  winkit::Variant copy;
  if (HRESULT hr = VariantCopyInd(copy.get(), const_cast<VARIANT*>(&source)); FAILED(hr)) throw ErrorFromResult(hr);
  VARIANT& in = *copy.get();

  if (V_VT(&in) & VT_ARRAY) return ArrayValue(in);
  using W = Value::IntegerWidth;
  switch (V_VT(&in)) {
    case VT_EMPTY: return Value();
    case VT_NULL: return Value(Value::Null{});
    case VT_BOOL: return Value(V_BOOL(&in) != VARIANT_FALSE);
    case VT_I1: return Value(Value::Integer{V_I1(&in), W::I1});
    case VT_I2: return Value(Value::Integer{V_I2(&in), W::I2});
    case VT_I4: case VT_INT: return Value(Value::Integer{V_I4(&in), W::I4});
    case VT_I8: return Value(Value::Integer{V_I8(&in), W::I8});
    case VT_UI1: return Value(Value::Integer{V_UI1(&in), W::UI1});
    case VT_UI2: return Value(Value::Integer{V_UI2(&in), W::UI2});
    case VT_UI4: case VT_UINT: return Value(Value::Integer{V_UI4(&in), W::UI4});
    case VT_UI8: return Value(Value::Integer{static_cast<int64_t>(V_UI8(&in)), W::UI8});
    case VT_R4: return Value(static_cast<double>(V_R4(&in)));
    case VT_R8: return Value(V_R8(&in));
    case VT_CY: return Value(Value::Currency{V_CY(&in).int64});
    case VT_DATE: return Value(Value::Date{V_DATE(&in)});
    case VT_BSTR: return Value(Bstr::ToText(V_BSTR(&in)));
    case VT_DECIMAL: {
      double number = 0;
      VarR8FromDec(&V_DECIMAL(&in), &number);
      return Value(number);
    }
    case VT_ERROR:
      if (V_ERROR(&in) == DISP_E_PARAMNOTFOUND) return Value(Value::Missing{});
      return Value(Value::Integer{V_ERROR(&in), W::I4});
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      IUnknown* unknown = V_UNKNOWN(&in);
      if (!unknown) return Value(ObjectRef());
      winkit::ComPtr<IDispatch> dispatch;
      if (FAILED(unknown->QueryInterface(IID_IDispatch, dispatch.put_void())))
        throw common::AutomationError(13, u"Type mismatch: the object has no automation interface");
      return Value(ObjectRef(std::make_shared<DispatchClient>(dispatch.get())));
    }
    default:
      throw common::AutomationError(13, u"Type mismatch");
  }
}

}  // namespace outside
