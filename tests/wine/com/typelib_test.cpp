// The type library VELK10 as a client reads it through ITypeLib and ITypeInfo: identities,
// the four type infos, both views of the dual interfaces, every member and parameter,
// and the agreement of the v-table offsets with the generated header.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <set>
#include <string>
#include <vector>

#include "com_test_util.h"
#include "velk10.h"
#include "velk10_expected.h"
#include "vtable_slots.h"

namespace velk_com_test {
namespace {

constexpr WORD kIDispatchVtblSize = 7 * sizeof(void*);
// Each build's library describes its own platform (SYS_WIN64: v-table slots of 8 bytes).
constexpr SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

class Velk10TypeLib : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(S_OK, LoadTypeLibEx(TestFile().c_str(), REGKIND_NONE, lib_.Put())) << "cannot load " << Narrow(TestFile());
  }

  static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

  Ref<ITypeInfo> Info(UINT index) {
    Ref<ITypeInfo> info;
    EXPECT_EQ(S_OK, lib_->GetTypeInfo(index, info.Put()));
    return info;
  }

  // The type info that implemented type `index` of `info` refers to; -1 on a dual
  // dispinterface gives its v-table view.
  static Ref<ITypeInfo> Referenced(ITypeInfo* info, UINT index) {
    Ref<ITypeInfo> target;
    HREFTYPE href = 0;
    EXPECT_EQ(S_OK, info->GetRefTypeOfImplType(index, &href));
    EXPECT_EQ(S_OK, info->GetRefTypeInfo(href, target.Put()));
    return target;
  }

  static std::wstring Name(ITypeInfo* info) {
    Bstr name;
    EXPECT_EQ(S_OK, info->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr));
    return name.Text();
  }

  static std::vector<std::wstring> Names(ITypeInfo* info, MEMBERID id) {
    BSTR names[16] = {};
    UINT count = 0;
    EXPECT_EQ(S_OK, info->GetNames(id, names, 16, &count));
    std::vector<std::wstring> out;
    for (UINT i = 0; i < count; ++i) {
      out.emplace_back(names[i], SysStringLen(names[i]));
      SysFreeString(names[i]);
    }
    return out;
  }

  // The v-table view of the dual interface `_clsVELKDebuggerA`.
  Ref<ITypeInfo> DebuggerVtable() { return Referenced(Info(2).get(), static_cast<UINT>(-1)); }

  Ref<ITypeLib> lib_;
};

TEST_F(Velk10TypeLib, LibraryIdentity) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(S_OK, lib_->GetLibAttr(&attr));
  EXPECT_EQ(kLibId, attr->guid);
  EXPECT_EQ(LIBID_VELK10, attr->guid) << "identifiers file";
  EXPECT_EQ(0u, attr->lcid);
  EXPECT_EQ(kSysKind, attr->syskind);
  EXPECT_EQ(1, attr->wMajorVerNum);
  EXPECT_EQ(0, attr->wMinorVerNum);
  lib_->ReleaseTLibAttr(attr);

  Bstr name, help, file;
  DWORD context = 99;
  ASSERT_EQ(S_OK, lib_->GetDocumentation(-1, name.Put(), help.Put(), &context, file.Put()));
  EXPECT_EQ(kLibName, name.Text());
  EXPECT_EQ(kLibHelp, help.Text()) << "the help text ends in exactly one blank";
  EXPECT_EQ(0u, context);
  EXPECT_TRUE(file.null() || file.Text().empty()) << Narrow(file.Text());

  EXPECT_EQ(4u, lib_->GetTypeInfoCount());

  // No custom data: nothing of the compiler that built the file is left in it.
  Ref<ITypeLib2> lib2;
  ASSERT_EQ(S_OK, lib_->QueryInterface(IID_ITypeLib2, reinterpret_cast<void**>(lib2.Put())));
  CUSTDATA data = {};
  ASSERT_EQ(S_OK, lib2->GetAllCustData(&data));
  EXPECT_EQ(0u, data.cCustData);
  ClearCustData(&data);
}

TEST_F(Velk10TypeLib, IDispatchComesFromStdole2) {
  Ref<ITypeInfo> dispatch = Referenced(Info(0).get(), 0);
  EXPECT_EQ(L"IDispatch", Name(dispatch.get()));
  Ref<ITypeLib> stdole;
  UINT index = 0;
  ASSERT_EQ(S_OK, dispatch->GetContainingTypeLib(stdole.Put(), &index));
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(S_OK, stdole->GetLibAttr(&attr));
  EXPECT_EQ(kStdOleLibId, attr->guid);
  EXPECT_EQ(2, attr->wMajorVerNum);
  EXPECT_EQ(0, attr->wMinorVerNum);
  stdole->ReleaseTLibAttr(attr);
}

TEST_F(Velk10TypeLib, FourTypeInfosInOrder) {
  const GUID* generated[] = {&IID__clsVELK10A, &CLSID_clsVELK10A, &IID__clsVELKDebuggerA, &CLSID_clsVELKDebuggerA};
  for (UINT i = 0; i < 4; ++i) {
    const ExpectedType& want = kTypes[i];
    SCOPED_TRACE(Narrow(want.name));
    TYPEKIND kind;
    ASSERT_EQ(S_OK, lib_->GetTypeInfoType(i, &kind));
    EXPECT_EQ(want.kind, kind);

    Bstr name, help, file;
    DWORD context = 99;
    ASSERT_EQ(S_OK, lib_->GetDocumentation(i, name.Put(), help.Put(), &context, file.Put()));
    EXPECT_EQ(want.name, name.Text());
    EXPECT_TRUE(help.null() || help.Text().empty()) << "no help text";
    EXPECT_EQ(0u, context);

    Ref<ITypeInfo> info = Info(i);
    TypeAttr attr(info.get());
    ASSERT_EQ(S_OK, attr.hr());
    EXPECT_EQ(*want.guid, attr->guid);
    EXPECT_EQ(*generated[i], attr->guid) << "identifiers file";
    EXPECT_EQ(want.kind, attr->typekind);
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(0u, attr->lcid);
    EXPECT_EQ(0, attr->cVars);
    if (want.kind == TKIND_COCLASS) {
      EXPECT_EQ(want.flags, attr->wTypeFlags);
    } else {
      // The dispatch view never reports TYPEFLAG_FOLEAUTOMATION; the v-table view
      // carries the interface's full flags (see DualInterfaces).
      EXPECT_EQ(want.flags & ~TYPEFLAG_FOLEAUTOMATION, attr->wTypeFlags);
    }

    Ref<ITypeInfo> by_guid;
    ASSERT_EQ(S_OK, lib_->GetTypeInfoOfGuid(*want.guid, by_guid.Put()));
    Ref<ITypeLib> container;
    UINT index = 99;
    ASSERT_EQ(S_OK, by_guid->GetContainingTypeLib(container.Put(), &index));
    EXPECT_EQ(i, index);
  }
}

TEST_F(Velk10TypeLib, EachClassHasOnlyItsDefaultInterface) {
  for (UINT i : {1u, 3u}) {
    SCOPED_TRACE(Narrow(kTypes[i].name));
    Ref<ITypeInfo> info = Info(i);
    TypeAttr attr(info.get());
    ASSERT_EQ(S_OK, attr.hr());
    EXPECT_EQ(1, attr->cImplTypes) << "one interface, no event source";
    EXPECT_EQ(0, attr->cFuncs);
    INT flags = -1;
    ASSERT_EQ(S_OK, info->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
    Ref<ITypeInfo> itf = Referenced(info.get(), 0);
    EXPECT_EQ(kTypes[i - 1].name, Name(itf.get()));
    TypeAttr itf_attr(itf.get());
    ASSERT_EQ(S_OK, itf_attr.hr());
    EXPECT_EQ(*kTypes[i - 1].guid, itf_attr->guid);
  }
}

TEST_F(Velk10TypeLib, DualInterfaces) {
  struct {
    UINT index;
    WORD own_funcs;
  } interfaces[] = {{0, 0}, {2, 8}};
  for (const auto& itf : interfaces) {
    const ExpectedType& want = kTypes[itf.index];
    SCOPED_TRACE(Narrow(want.name));
    Ref<ITypeInfo> dispatch = Info(itf.index);
    TypeAttr dattr(dispatch.get());
    ASSERT_EQ(S_OK, dattr.hr());
    EXPECT_EQ(1, dattr->cImplTypes);
    EXPECT_EQ(kIDispatchVtblSize, dattr->cbSizeVft);
    // The dispatch view lists the seven members of IUnknown and IDispatch first.
    EXPECT_EQ(7 + itf.own_funcs, dattr->cFuncs);
    EXPECT_EQ(L"IDispatch", Name(Referenced(dispatch.get(), 0).get()));

    Ref<ITypeInfo> vtable = Referenced(dispatch.get(), static_cast<UINT>(-1));
    TypeAttr vattr(vtable.get());
    ASSERT_EQ(S_OK, vattr.hr());
    EXPECT_EQ(TKIND_INTERFACE, vattr->typekind);
    EXPECT_EQ(*want.guid, vattr->guid);
    EXPECT_EQ(want.name, Name(vtable.get()));
    EXPECT_EQ(kInterfaceFlags, vattr->wTypeFlags);
    EXPECT_EQ(1, vattr->wMajorVerNum);
    EXPECT_EQ(0, vattr->wMinorVerNum);
    EXPECT_EQ(1, vattr->cImplTypes);
    EXPECT_EQ(itf.own_funcs, vattr->cFuncs);
    EXPECT_EQ(kIDispatchVtblSize + itf.own_funcs * sizeof(void*), vattr->cbSizeVft);
    Ref<ITypeInfo> base = Referenced(vtable.get(), 0);
    EXPECT_EQ(L"IDispatch", Name(base.get()));
    TypeAttr battr(base.get());
    ASSERT_EQ(S_OK, battr.hr());
    EXPECT_EQ(IID_IDispatch, battr->guid);
  }
}

// Compares one parameter (or the result) with what the contract declares.
void ExpectParam(const ELEMDESC& elem, const ExpectedParam& want) {
  if (want.by_ref) {
    ASSERT_EQ(VT_PTR, elem.tdesc.vt);
    ASSERT_NE(nullptr, elem.tdesc.lptdesc);
    EXPECT_EQ(want.vt, elem.tdesc.lptdesc->vt);
  } else {
    EXPECT_EQ(want.vt, elem.tdesc.vt);
  }
  EXPECT_EQ(want.flags, elem.paramdesc.wParamFlags);
  EXPECT_EQ(0, elem.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT);
  EXPECT_EQ(nullptr, elem.paramdesc.pparamdescex) << "no default value";
}

TEST_F(Velk10TypeLib, VtableViewMembers) {
  Ref<ITypeInfo> vtable = DebuggerVtable();
  for (UINT i = 0; i < std::size(kDebuggerFuncs); ++i) {
    const ExpectedFunc& want = kDebuggerFuncs[i];
    SCOPED_TRACE(want.header_name);
    FuncDesc f(vtable.get(), i);
    ASSERT_EQ(S_OK, f.hr());
    EXPECT_EQ(want.id, f->memid);
    EXPECT_EQ(want.kind, f->invkind);
    EXPECT_EQ(FUNC_PUREVIRTUAL, f->funckind);
    EXPECT_EQ(CC_STDCALL, f->callconv);
    EXPECT_EQ(static_cast<SHORT>(kIDispatchVtblSize + sizeof(void*) * i), f->oVft);
    EXPECT_EQ(0, f->wFuncFlags);
    EXPECT_EQ(VT_HRESULT, f->elemdescFunc.tdesc.vt);
    ASSERT_EQ(static_cast<SHORT>(want.params.size()), f->cParams);
    EXPECT_EQ(want.optional, f->cParamsOpt);
    for (SHORT k = 0; k < f->cParams; ++k) {
      SCOPED_TRACE(k);
      ExpectParam(f->lprgelemdescParam[k], want.params[k]);
    }

    Bstr name, help;
    ASSERT_EQ(S_OK, vtable->GetDocumentation(want.id, name.Put(), help.Put(), nullptr, nullptr));
    EXPECT_EQ(want.name, name.Text());
    EXPECT_TRUE(help.null() || help.Text().empty());
  }
  FuncDesc past(vtable.get(), static_cast<UINT>(std::size(kDebuggerFuncs)));
  EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, past.hr());
}

TEST_F(Velk10TypeLib, ParameterNames) {
  // GetNames gives the function's name, then the names of its named parameters; the
  // [retval] parameters have none.
  Ref<ITypeInfo> vtable = DebuggerVtable();
  for (const ExpectedFunc& want : kDebuggerFuncs) {
    if (want.kind == INVOKE_PROPERTYPUTREF) continue;  // shares its member id with the getter
    SCOPED_TRACE(want.header_name);
    std::vector<std::wstring> expected{want.name};
    for (const ExpectedParam& p : want.params)
      if (p.name) expected.push_back(p.name);
    EXPECT_EQ(expected, Names(vtable.get(), want.id));
  }

  // The setter's parameter, reached through the binding of the property assignment.
  Ref<ITypeComp> comp;
  ASSERT_EQ(S_OK, vtable->GetTypeComp(comp.Put()));
  Ref<ITypeInfo> bound;
  DESCKIND kind = DESCKIND_NONE;
  BINDPTR bind = {};
  ASSERT_EQ(S_OK, comp->Bind(const_cast<LPOLESTR>(L"AppObj"), LHashValOfNameSys(kSysKind, 0, L"AppObj"),
                             INVOKE_PROPERTYPUTREF, bound.Put(), &kind, &bind));
  ASSERT_EQ(DESCKIND_FUNCDESC, kind);
  EXPECT_EQ(INVOKE_PROPERTYPUTREF, bind.lpfuncdesc->invkind);
  EXPECT_EQ(1, bind.lpfuncdesc->cParams);
  bound->ReleaseFuncDesc(bind.lpfuncdesc);

  // Named arguments bind to the positions of the parameter list.
  const wchar_t* names[] = {L"AddDebugMessage", L"sMessage", L"sType", L"sName", L"iLevel", L"vExtra", L"vCoExtra"};
  Ref<ITypeInfo> dispatch = Info(2);
  for (ITypeInfo* info : {vtable.get(), dispatch.get()}) {
    MEMBERID ids[7] = {};
    ASSERT_EQ(S_OK, info->GetIDsOfNames(const_cast<LPOLESTR*>(names), 7, ids));
    EXPECT_EQ(kAddDebugMessage, ids[0]);
    for (int k = 1; k < 7; ++k) EXPECT_EQ(k - 1, ids[k]) << Narrow(names[k]);
  }
}

TEST_F(Velk10TypeLib, DispatchViewMembers) {
  // Late-bound callers see the [retval] parameter as the result and the same count of
  // optional arguments.
  Ref<ITypeInfo> dispatch = Info(2);
  const wchar_t* inherited[] = {L"QueryInterface", L"AddRef", L"Release", L"GetTypeInfoCount",
                                L"GetTypeInfo", L"GetIDsOfNames", L"Invoke"};
  for (UINT i = 0; i < 7; ++i) {
    FuncDesc f(dispatch.get(), i);
    ASSERT_EQ(S_OK, f.hr());
    EXPECT_EQ(inherited[i], Names(dispatch.get(), f->memid).at(0));
  }
  for (UINT i = 0; i < std::size(kDebuggerFuncs); ++i) {
    const ExpectedFunc& want = kDebuggerFuncs[i];
    SCOPED_TRACE(want.header_name);
    FuncDesc f(dispatch.get(), 7 + i);
    ASSERT_EQ(S_OK, f.hr());
    EXPECT_EQ(want.id, f->memid);
    EXPECT_EQ(want.kind, f->invkind);
    EXPECT_EQ(FUNC_DISPATCH, f->funckind);
    EXPECT_EQ(0, f->wFuncFlags);
    EXPECT_EQ(want.optional, f->cParamsOpt);
    std::vector<ExpectedParam> params = want.params;
    if (!params.empty() && (params.back().flags & PARAMFLAG_FRETVAL)) {
      SCOPED_TRACE("result");
      ExpectedParam result = params.back();
      params.pop_back();
      EXPECT_EQ(result.vt, f->elemdescFunc.tdesc.vt);
    } else {
      EXPECT_EQ(VT_VOID, f->elemdescFunc.tdesc.vt);
    }
    ASSERT_EQ(static_cast<SHORT>(params.size()), f->cParams);
    for (SHORT k = 0; k < f->cParams; ++k) {
      SCOPED_TRACE(k);
      ExpectParam(f->lprgelemdescParam[k], params[k]);
    }
  }
}

TEST_F(Velk10TypeLib, MemberIdsAreTheDeclaredOnesOnly) {
  std::set<MEMBERID> expected;
  for (const ExpectedFunc& want : kDebuggerFuncs) expected.insert(want.id);
  ASSERT_EQ(0u, expected.count(kNotAMember));

  Ref<ITypeInfo> vtable = DebuggerVtable();
  Ref<ITypeInfo> dispatch = Info(2);
  for (ITypeInfo* info : {vtable.get(), dispatch.get()}) {
    TypeAttr attr(info);
    ASSERT_EQ(S_OK, attr.hr());
    std::set<MEMBERID> seen;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
      FuncDesc f(info, i);
      ASSERT_EQ(S_OK, f.hr());
      if (f->memid != kAppObj) {
        EXPECT_EQ(0u, seen.count(f->memid)) << std::hex << f->memid << " twice";
      }
      if (attr->typekind == TKIND_INTERFACE || i >= 7) seen.insert(f->memid);
    }
    EXPECT_EQ(expected, seen);

    Bstr name;
    EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, info->GetDocumentation(kNotAMember, name.Put(), nullptr, nullptr, nullptr));
    BSTR names[2] = {};
    UINT count = 0;
    EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, info->GetNames(kNotAMember, names, 2, &count));
    EXPECT_EQ(0u, count);
  }
}

TEST_F(Velk10TypeLib, HeaderVtableMatchesLibrary) {
  Ref<ITypeInfo> vtable = DebuggerVtable();
  TypeAttr attr(vtable.get());
  ASSERT_EQ(S_OK, attr.hr());
  EXPECT_EQ(attr->cbSizeVft / sizeof(void*), velk10_debugger_vtbl_slots) << "header has other members";
  ASSERT_EQ(static_cast<size_t>(attr->cFuncs), velk10_debugger_slot_count);

  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FuncDesc f(vtable.get(), i);
    ASSERT_EQ(S_OK, f.hr());
    std::wstring name = Names(vtable.get(), f->memid).at(0);
    std::string member(name.begin(), name.end());
    if (f->invkind == INVOKE_PROPERTYGET) member = "get_" + member;
    if (f->invkind == INVOKE_PROPERTYPUT) member = "put_" + member;
    if (f->invkind == INVOKE_PROPERTYPUTREF) member = "putref_" + member;
    const VtableSlot* slot = nullptr;
    for (size_t k = 0; k < velk10_debugger_slot_count; ++k)
      if (member == velk10_debugger_slots[k].member) slot = &velk10_debugger_slots[k];
    ASSERT_NE(nullptr, slot) << member << " missing from the header";
    EXPECT_EQ(static_cast<size_t>(f->oVft) / sizeof(void*), slot->slot) << member;
  }

  Ref<ITypeInfo> app = Referenced(Info(0).get(), static_cast<UINT>(-1));
  TypeAttr app_attr(app.get());
  ASSERT_EQ(S_OK, app_attr.hr());
  EXPECT_EQ(app_attr->cbSizeVft / sizeof(void*), velk10_app_vtbl_slots);
}

}  // namespace
}  // namespace velk_com_test
