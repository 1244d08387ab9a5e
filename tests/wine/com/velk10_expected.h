#pragma once
// What clients of velk10.dll bind to: the identities of the library VELK10 and the
// members of _clsVELKDebuggerA. Written out here, independently of the IDL, so that the
// tests compare the built library with the contract and not with itself.
#include <windows.h>
#include <oleauto.h>

#include <vector>

namespace velk_com_test {

inline constexpr GUID kLibId = {0xB7367C8F, 0xC5E8, 0x4A04, {0xAA, 0x57, 0x24, 0xF4, 0x5F, 0x94, 0x1D, 0x77}};
inline constexpr GUID kAppIid = {0xD279A6E0, 0xC14E, 0x4608, {0xB2, 0x94, 0x12, 0x6A, 0x82, 0x9D, 0xC7, 0x73}};
inline constexpr GUID kAppClsid = {0x5B1F8859, 0x52F3, 0x4154, {0x9D, 0x5C, 0xA7, 0xC1, 0xF4, 0xB4, 0x8E, 0x0D}};
inline constexpr GUID kDebuggerIid = {0x5C6BB6EE, 0x5414, 0x4486, {0xB9, 0x7E, 0x8A, 0x51, 0x53, 0xDA, 0x43, 0xCC}};
inline constexpr GUID kDebuggerClsid = {0xDC43A7FC, 0x465F, 0x4C6E, {0x91, 0x53, 0xC3, 0x23, 0xA7, 0x5E, 0x4A, 0x6F}};
inline constexpr GUID kStdOleLibId = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

inline constexpr wchar_t kLibName[] = L"VELK10";
inline constexpr wchar_t kLibHelp[] = L"Kestrelon VELK Library 1.0 ";

inline constexpr WORD kInterfaceFlags = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE |
                                        TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;

struct ExpectedType {
  const wchar_t* name;
  TYPEKIND kind;
  const GUID* guid;
  WORD flags;
};

// The type infos in library order.
inline const ExpectedType kTypes[] = {
    {L"_clsVELK10A", TKIND_DISPATCH, &kAppIid, kInterfaceFlags},
    {L"clsVELK10A", TKIND_COCLASS, &kAppClsid, TYPEFLAG_FCANCREATE | TYPEFLAG_FAPPOBJECT | TYPEFLAG_FPREDECLID},
    {L"_clsVELKDebuggerA", TKIND_DISPATCH, &kDebuggerIid, kInterfaceFlags},
    {L"clsVELKDebuggerA", TKIND_COCLASS, &kDebuggerClsid, TYPEFLAG_FCANCREATE},
};

inline constexpr MEMBERID kAppObj = 0x68030000;
inline constexpr MEMBERID kCreateDebugInfoWindow = 0x60030001;
inline constexpr MEMBERID kDestroyDebugInfoWindow = 0x60030002;
inline constexpr MEMBERID kAddDebugMessage = 0x60030003;
inline constexpr MEMBERID kAddClearMessages = 0x60030004;
inline constexpr MEMBERID kNotAMember = 0x60030005;
inline constexpr MEMBERID kShowDebuggerOptions = 0x60030006;
inline constexpr MEMBERID kShowDebuggerWindow = 0x60030007;

struct ExpectedParam {
  const wchar_t* name;  // nullptr: the parameter has no name
  VARTYPE vt;           // type, or pointed-to type when by_ref
  bool by_ref;
  USHORT flags;
};

struct ExpectedFunc {
  const wchar_t* name;
  const char* header_name;  // the member of the C/C++ header
  MEMBERID id;
  INVOKEKIND kind;
  std::vector<ExpectedParam> params;
  SHORT optional;
};

inline constexpr USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
inline constexpr USHORT kInOutOptional = kInOut | PARAMFLAG_FOPT;
inline constexpr USHORT kResult = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
inline const ExpectedParam kVariantResult = {nullptr, VT_VARIANT, true, kResult};

// The members of _clsVELKDebuggerA in v-table order.
inline const ExpectedFunc kDebuggerFuncs[] = {
    {L"AppObj", "get_AppObj", kAppObj, INVOKE_PROPERTYGET, {{nullptr, VT_DISPATCH, true, kResult}}, 0},
    {L"AppObj", "putref_AppObj", kAppObj, INVOKE_PROPERTYPUTREF, {{L"oNewValue", VT_DISPATCH, false, PARAMFLAG_FIN}}, 0},
    {L"CreateDebugInfoWindow", "CreateDebugInfoWindow", kCreateDebugInfoWindow, INVOKE_FUNC, {kVariantResult}, 0},
    {L"DestroyDebugInfoWindow", "DestroyDebugInfoWindow", kDestroyDebugInfoWindow, INVOKE_FUNC, {kVariantResult}, 0},
    {L"AddDebugMessage",
     "AddDebugMessage",
     kAddDebugMessage,
     INVOKE_FUNC,
     {{L"sMessage", VT_BSTR, true, kInOut},
      {L"sType", VT_BSTR, true, kInOutOptional},
      {L"sName", VT_BSTR, true, kInOutOptional},
      {L"iLevel", VT_I2, true, kInOutOptional},
      {L"vExtra", VT_VARIANT, true, kInOutOptional},
      {L"vCoExtra", VT_VARIANT, true, kInOutOptional},
      kVariantResult},
     2},
    {L"AddClearMessages", "AddClearMessages", kAddClearMessages, INVOKE_FUNC, {kVariantResult}, 0},
    {L"ShowDebuggerOptions", "ShowDebuggerOptions", kShowDebuggerOptions, INVOKE_FUNC, {kVariantResult}, 0},
    {L"ShowDebuggerWindow", "ShowDebuggerWindow", kShowDebuggerWindow, INVOKE_FUNC, {kVariantResult}, 0},
};

}  // namespace velk_com_test
