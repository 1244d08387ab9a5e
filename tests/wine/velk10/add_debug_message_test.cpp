// AddDebugMessage through the registered DLL, late bound as scripts and VB callers
// pass their arguments (by position, by name, by reference, left out) and early bound
// through the v-table; what each call leaves in the report file, the registry message
// log and the caller's variables; and the dispatch errors that stop a call before it
// runs.
#include <gtest/gtest.h>

#include "velk10_client.h"

namespace velk10_test {
namespace {

// Every kind accepted at level 1; report file and registry log on.
class AddDebugMessageLate : public testing::Test {
 protected:
  void SetUp() override {
    box_.Accept();
    box_.Switches(true, false, true);
    debugger_ = LateDebugger();
    ASSERT_TRUE(debugger_);
    ASSERT_EQ(debugger_.SetAppObj(nullptr), S_OK);
  }

  // The body of report entry `index` (number and date cut off).
  std::wstring Body(size_t index) const {
    std::vector<std::wstring> entries = box_.Entries();
    if (index >= entries.size()) return L"<no entry " + std::to_wstring(index) + L">";
    return Parse(entries[index]).body;
  }

  Sandbox box_;
  LateDebugger debugger_;
  winkit::Bstr message_{L"OpenStore"}, dll_{L"DLL"}, name_{L"modStore"};
};

TEST_F(AddDebugMessageLate, WorkedExampleLandsInReportFileAndRegistryLogExactly) {
  VARIANT extra, co_extra;
  VariantInit(&extra);
  VariantInit(&co_extra);
  winkit::Bstr co(L"co text");
  V_VT(&co_extra) = VT_BSTR;
  V_BSTR(&co_extra) = co.get();

  const std::wstring before = NowText();
  Outcome out = debugger_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(1)}, {Ref(&extra)}, {Ref(&co_extra)}});
  const std::wstring after = NowText();
  EXPECT_EQ(out.hr, S_OK);
  EXPECT_TRUE(out.empty_result());
  EXPECT_EQ(TextOf(extra), L"-");
  EXPECT_EQ(TextOf(co_extra), L"co text");
  VariantClear(&extra);

  ASSERT_EQ(box_.Profile(L"DebuggerA", L"Counter"), L"1");
  const std::wstring line = box_.Profile(L"DebuggerAReport", L"0");
  const Line parsed = Parse(line);
  ASSERT_GT(parsed.number, 0) << line;
  const std::wstring head = std::to_wstring(parsed.number) + L". (dll)  > APPOBJNOTHING > modStore > OpenStore > - > ";
  EXPECT_TRUE(line == head + before || line == head + after) << line;

  EXPECT_EQ(box_.Logged(L"DebuggerAReport", L"AAAB"), line);
  EXPECT_EQ(box_.Logged(L"DebuggerAReportCo", L"AAAB"), L"co text");
  EXPECT_EQ(box_.Logged(L"DebuggerAReport", L"DebuggerAKS"), L"AAAB");

  // The next message takes the next number, entry and report key.
  ASSERT_TRUE(debugger_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(1)}}).ok());
  const std::wstring next = box_.Profile(L"DebuggerAReport", L"1");
  EXPECT_EQ(Parse(next).number, parsed.number + 1) << next;
  EXPECT_EQ(box_.Logged(L"DebuggerAReport", L"AAAC"), next);
  EXPECT_EQ(box_.Logged(L"DebuggerAReportCo", L"AAAC"), L"<none>");
  EXPECT_EQ(box_.Profile(L"DebuggerA", L"Counter"), L"2");
}

// Runs a command line in a process of its own (cmd.exe), as another program would act
// on the report file; its exit code.
DWORD RunOtherProgram(std::wstring command) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return ~0u;
  DWORD code = ~0u;
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

std::string FileBytes(const std::wstring& path) {
  winkit::Handle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes(file ? GetFileSize(file.get(), nullptr) : 0, '\0');
  DWORD got = 0;
  if (file) ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  bytes.resize(got);
  return bytes;
}

// Another program deletes or renames the report file between two messages of a client
// that keeps its object: the messages after it go into a new file at the path, numbered
// from 0, and a renamed file keeps exactly what it had.
TEST_F(AddDebugMessageLate, MessagesAfterTheReportFileIsDeletedOrRenamedGoIntoANewFile) {
  auto add = [&](const wchar_t* text) {
    winkit::Bstr message(text);
    return debugger_.Add({{Str(message)}, {Str(dll_)}, {Str(name_)}, {I2(1)}}).ok();
  };
  auto bodies = [&] {
    std::vector<std::wstring> out;
    for (const std::wstring& entry : box_.Entries()) out.push_back(Parse(entry).body);
    return out;
  };
  auto body = [](const wchar_t* text) {
    return L". (dll)  > APPOBJNOTHING > modStore > " + std::wstring(text) + L" > -";
  };
  const std::wstring report = box_.ReportPath(), renamed = box_.folder() + L"\\kept.ini";

  ASSERT_TRUE(add(L"one"));
  ASSERT_TRUE(add(L"two"));
  ASSERT_EQ(RunOtherProgram(L"cmd.exe /c del /f \"" + report + L"\""), 0u);
  EXPECT_EQ(GetFileAttributesW(report.c_str()), INVALID_FILE_ATTRIBUTES) << "deleted at once";
  ASSERT_TRUE(add(L"three"));
  ASSERT_TRUE(add(L"four"));
  EXPECT_EQ(bodies(), (std::vector<std::wstring>{body(L"three"), body(L"four")}));

  const std::string before = FileBytes(report);
  ASSERT_EQ(RunOtherProgram(L"cmd.exe /c move \"" + report + L"\" \"" + renamed + L"\""), 0u);
  ASSERT_TRUE(add(L"five"));
  EXPECT_EQ(bodies(), (std::vector<std::wstring>{body(L"five")}));
  EXPECT_EQ(FileBytes(renamed), before);
}

TEST_F(AddDebugMessageLate, PositionalCallsWithAndWithoutTheTrailingVariants) {
  // The first four only: both variants reach the method as missing.
  Outcome four = debugger_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(1)}});
  EXPECT_EQ(four.hr, S_OK);
  EXPECT_TRUE(four.empty_result());
  // All six by value.
  winkit::Bstr extra(L"xtra"), co(L"co by value");
  Outcome six = debugger_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(1)}, {Str(extra)}, {Str(co)}});
  EXPECT_EQ(six.hr, S_OK);
  EXPECT_TRUE(six.empty_result());
  // Five: vCoExtra alone left out.
  Outcome five = debugger_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(1)}, {I4(0)}});
  EXPECT_EQ(five.hr, S_OK);

  EXPECT_EQ(Body(0), L". (dll)  > APPOBJNOTHING > modStore > OpenStore > -");
  EXPECT_EQ(Body(1), L". (dll)  > APPOBJNOTHING > modStore > OpenStore > xtra");
  EXPECT_EQ(Body(2), L". (dll)  > APPOBJNOTHING > modStore > OpenStore > 0");
  EXPECT_EQ(box_.Logged(L"DebuggerAReportCo", L"AAAB"), L"<none>");
  EXPECT_EQ(box_.Logged(L"DebuggerAReportCo", L"AAAC"), L"co by value");
  EXPECT_EQ(box_.Logged(L"DebuggerAReportCo", L"AAAD"), L"<none>");
}

TEST_F(AddDebugMessageLate, NamedArgumentsBindToTheirParametersInAnyOrder) {
  winkit::Bstr ocx(L"ocx"), extra(L"named extra"), co(L"named co");
  Outcome all = debugger_.Add({{Str(co), L"vCoExtra"},
                               {I2(1), L"iLevel"},
                               {Str(name_), L"sName"},
                               {Str(extra), L"vExtra"},
                               {Str(ocx), L"sType"},
                               {Str(message_), L"sMessage"}});
  EXPECT_EQ(all.hr, S_OK);
  EXPECT_TRUE(all.empty_result());
  // sMessage by position, the rest by name; the variants left out.
  Outcome mixed = debugger_.Add({{Str(message_)}, {Str(name_), L"sName"}, {I2(1), L"iLevel"}, {Str(dll_), L"sType"}});
  EXPECT_EQ(mixed.hr, S_OK);
  // Names are matched without regard to case.
  Outcome cased = debugger_.Add({{Str(message_), L"SMESSAGE"}, {Str(dll_), L"stype"}, {I2(1), L"ILevel"}});
  EXPECT_EQ(cased.hr, S_OK);

  EXPECT_EQ(Body(0), L". (ocx)  > APPOBJNOTHING > modStore > OpenStore > named extra");
  EXPECT_EQ(box_.Logged(L"DebuggerAReportCo", L"AAAB"), L"named co");
  EXPECT_EQ(Body(1), L". (dll)  > APPOBJNOTHING > modStore > OpenStore > -");
  EXPECT_EQ(Body(2), L". (dll)  > APPOBJNOTHING >  > OpenStore > -");
}

TEST_F(AddDebugMessageLate, ScriptVariablesByReferenceForEveryArgument) {
  VARIANT vars[6];
  for (VARIANT& v : vars) VariantInit(&v);
  winkit::Bstr type(L"Exe"), co(L"co ref");
  V_VT(&vars[0]) = VT_BSTR;
  V_BSTR(&vars[0]) = message_.get();
  V_VT(&vars[1]) = VT_BSTR;
  V_BSTR(&vars[1]) = type.get();
  V_VT(&vars[2]) = VT_BSTR;
  V_BSTR(&vars[2]) = name_.get();
  V_VT(&vars[3]) = VT_I4;  // a script's computed number is a Long
  V_I4(&vars[3]) = 1;
  // vars[4] stays empty: the call stores "-" into it
  V_VT(&vars[5]) = VT_BSTR;
  V_BSTR(&vars[5]) = co.get();

  Outcome out = debugger_.Add({{Ref(&vars[0])}, {Ref(&vars[1])}, {Ref(&vars[2])}, {Ref(&vars[3])}, {Ref(&vars[4])},
                               {Ref(&vars[5])}});
  EXPECT_EQ(out.hr, S_OK);
  EXPECT_TRUE(out.empty_result());
  EXPECT_EQ(Body(0), L". (exe)  > APPOBJNOTHING > modStore > OpenStore > -");
  EXPECT_EQ(box_.Logged(L"DebuggerAReportCo", L"AAAB"), L"co ref");

  // Only vExtra changed; the others keep their values and their types.
  EXPECT_EQ(V_BSTR(&vars[0]), message_.get());
  EXPECT_EQ(TextOf(vars[1]), L"Exe");
  EXPECT_EQ(V_BSTR(&vars[2]), name_.get());
  EXPECT_EQ(V_VT(&vars[3]), VT_I4);
  EXPECT_EQ(V_I4(&vars[3]), 1);
  EXPECT_EQ(TextOf(vars[4]), L"-");
  EXPECT_EQ(TextOf(vars[5]), L"co ref");
  VariantClear(&vars[4]);

  // The same by name, and a level held as text.
  winkit::Bstr one(L"1");
  V_VT(&vars[3]) = VT_BSTR;
  V_BSTR(&vars[3]) = one.get();
  Outcome named = debugger_.Add({{Ref(&vars[3]), L"iLevel"}, {Ref(&vars[4]), L"vExtra"}, {Ref(&vars[0]), L"sMessage"},
                                 {Ref(&vars[1]), L"sType"}});
  EXPECT_EQ(named.hr, S_OK);
  EXPECT_EQ(Body(1), L". (exe)  > APPOBJNOTHING >  > OpenStore > -");
  EXPECT_EQ(TextOf(vars[4]), L"-");
  EXPECT_EQ(TextOf(vars[3]), L"1");
  VariantClear(&vars[4]);

  // A compiled VB client passes its typed variables: String and Integer by reference.
  BSTR text = message_.get(), kind = dll_.get();
  short level = 1;
  VARIANT by_text, by_kind, by_level;
  V_VT(&by_text) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&by_text) = &text;
  V_VT(&by_kind) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&by_kind) = &kind;
  V_VT(&by_level) = VT_BYREF | VT_I2;
  V_I2REF(&by_level) = &level;
  Outcome typed = debugger_.Add({{by_text}, {by_kind}, {by_text}, {by_level}, {Ref(&vars[4])}});
  EXPECT_EQ(typed.hr, S_OK);
  EXPECT_EQ(Body(2), L". (dll)  > APPOBJNOTHING > OpenStore > OpenStore > -");
  EXPECT_EQ(text, message_.get());
  EXPECT_EQ(level, 1);
  VariantClear(&vars[4]);
}

// When vExtra's text is empty the call stores "-" into the caller's variable, in
// whatever form the variable was passed; a text or a number 0 stays as it was.
TEST_F(AddDebugMessageLate, DashIsWrittenBackIntoAnEmptyExtraOnly) {
  struct Case {
    const char* what;
    VARIANT initial;  // the caller's variable
    const wchar_t* after;
    const wchar_t* shown;
  };
  winkit::Bstr empty_text(L""), keep(L"keep");
  VARIANT empty, empty_bstr, text, zero, null;
  VariantInit(&empty);
  V_VT(&empty_bstr) = VT_BSTR;
  V_BSTR(&empty_bstr) = empty_text.get();
  V_VT(&text) = VT_BSTR;
  V_BSTR(&text) = keep.get();
  zero = I4(0);
  V_VT(&null) = VT_NULL;
  const Case cases[] = {
      {"empty variant", empty, L"-", L"-"},
      {"empty text", empty_bstr, L"-", L"-"},
      {"text", text, L"keep", L"keep"},
      {"number 0", zero, nullptr, L"0"},
      {"null", null, nullptr, L""},
  };
  size_t entry = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VARIANT variable;
    VariantInit(&variable);
    ASSERT_EQ(VariantCopy(&variable, const_cast<VARIANT*>(&c.initial)), S_OK);
    Outcome out = debugger_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(1)}, {Ref(&variable)}});
    EXPECT_EQ(out.hr, S_OK);
    if (c.after) {
      EXPECT_EQ(TextOf(variable), c.after);
    } else {
      EXPECT_EQ(V_VT(&variable), V_VT(&c.initial));
      if (V_VT(&variable) == VT_I4) {
        EXPECT_EQ(V_I4(&variable), 0);
      }
    }
    EXPECT_EQ(Body(entry++), std::wstring(L". (dll)  > APPOBJNOTHING > modStore > OpenStore > ") + c.shown);
    VariantClear(&variable);
  }

  // A text variable passed as VT_BYREF|VT_BSTR (a VB String variable): null and empty
  // texts receive "-", a text stays.
  BSTR typed[] = {nullptr, SysAllocString(L""), SysAllocString(L"typed")};
  const wchar_t* const typed_after[] = {L"-", L"-", L"typed"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    VARIANT ref;
    V_VT(&ref) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&ref) = &typed[i];
    EXPECT_EQ(debugger_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(1)}, {ref}}).hr, S_OK);
    ASSERT_NE(typed[i], nullptr);
    EXPECT_STREQ(typed[i], typed_after[i]);
    EXPECT_EQ(Body(entry++), std::wstring(L". (dll)  > APPOBJNOTHING > modStore > OpenStore > ") + typed_after[i]);
    SysFreeString(typed[i]);
  }

  // Also a rejected message (level 2 against 1) gets its "-", and no number.
  VARIANT variable;
  VariantInit(&variable);
  EXPECT_EQ(debugger_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(2)}, {Ref(&variable)}}).hr, S_OK);
  EXPECT_EQ(TextOf(variable), L"-");
  VariantClear(&variable);
  std::vector<std::wstring> entries = box_.Entries();
  ASSERT_EQ(entries.size(), entry + 1);
  EXPECT_EQ(entries.back(), L"");
  // Numbering ran without gaps over the accepted ones.
  for (size_t i = 1; i < entry; ++i) EXPECT_EQ(Parse(entries[i]).number, Parse(entries[i - 1]).number + 1);
}

// Optional texts and the level left out in the form that dispatch marks as missing:
// empty texts and level 0.
TEST_F(AddDebugMessageLate, MissingTextsAndLevelStandForEmptyTextAndZero) {
  box_.Store(L"DebuggerAEnabledLevel", L"0");
  VARIANT extra;
  VariantInit(&extra);
  Outcome out = debugger_.Add({{Str(message_)}, {Str(dll_)}, {Missing()}, {Missing()}, {Ref(&extra)}, {Missing()}});
  EXPECT_EQ(out.hr, S_OK);
  EXPECT_TRUE(out.empty_result());
  EXPECT_EQ(TextOf(extra), L"-");
  VariantClear(&extra);
  EXPECT_EQ(Body(0), L". (dll)  > APPOBJNOTHING >  > OpenStore > -");

  // A missing kind is the empty text, which no kind row accepts: an empty entry, and
  // nothing in the registry log.
  out = debugger_.Add({{Str(message_)}, {Missing()}, {Str(name_)}, {Missing()}, {Missing()}, {Missing()}});
  EXPECT_EQ(out.hr, S_OK);
  EXPECT_TRUE(out.empty_result());
  std::vector<std::wstring> entries = box_.Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1], L"");
  EXPECT_EQ(box_.Logged(L"DebuggerAReport", L"DebuggerAKS"), L"AAAB");
  EXPECT_EQ(box_.Logged(L"DebuggerAReport", L"AAAC"), L"<none>");
}

// Faults of the call itself come from the dispatch machinery, before the method runs:
// nothing reaches a sink.
TEST_F(AddDebugMessageLate, DispatchErrorsStopTheCallBeforeItRuns) {
  DISPID id = 0;
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"AddDebugMessages")};
  EXPECT_EQ(debugger_.get()->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
  DISPID ids[2];
  LPOLESTR bad_param[] = {const_cast<LPOLESTR>(L"AddDebugMessage"), const_cast<LPOLESTR>(L"sText")};
  EXPECT_EQ(debugger_.get()->GetIDsOfNames(IID_NULL, bad_param, 2, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], kAddDebugMessageId);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  LPOLESTR good[] = {const_cast<LPOLESTR>(L"AddDebugMessage"), const_cast<LPOLESTR>(L"vCoExtra")};
  EXPECT_EQ(debugger_.get()->GetIDsOfNames(IID_NULL, good, 2, LOCALE_USER_DEFAULT, ids), S_OK);
  EXPECT_EQ(ids[1], 5);

  EXPECT_EQ(debugger_.Invoke(kNotAMemberId, DISPATCH_METHOD, {{Str(message_)}}).hr, DISP_E_MEMBERNOTFOUND);
  VARIANT only = Str(message_);
  DISPPARAMS one{&only, nullptr, 1, 0};
  EXPECT_EQ(debugger_.get()->Invoke(kAddDebugMessageId, IID__clsVELKDebuggerA, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                    &one, nullptr, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);

  winkit::Bstr x(L"x");
  EXPECT_EQ(debugger_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(1)}, {Str(x)}, {Str(x)}, {Str(x)}}).hr,
            DISP_E_BADPARAMCOUNT);

  EXPECT_EQ(debugger_.Add({}).hr, DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(debugger_.Add({{Missing()}, {Str(dll_)}}).hr, DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(debugger_.Add({{Str(dll_), L"sType"}, {I2(1), L"iLevel"}}).hr, DISP_E_PARAMNOTOPTIONAL);

  // A level that is no 16-bit integer: the failing argument's index in rgvarg.
  winkit::Bstr word(L"abc");
  Outcome text = debugger_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {Str(word)}});
  EXPECT_TRUE(text.hr == DISP_E_TYPEMISMATCH || text.hr == DISP_E_OVERFLOW) << std::hex << text.hr;
  EXPECT_EQ(text.arg_error, 0u);  // the last of four
  Outcome big = debugger_.Add({{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I4(70000)}, {Str(x)}, {Str(x)}});
  EXPECT_TRUE(big.hr == DISP_E_TYPEMISMATCH || big.hr == DISP_E_OVERFLOW) << std::hex << big.hr;
  EXPECT_EQ(big.arg_error, 2u);  // fourth of six
  VARIANT held;
  V_VT(&held) = VT_BSTR;
  V_BSTR(&held) = word.get();
  Outcome named = debugger_.Add({{Str(message_)}, {Ref(&held), L"iLevel"}, {Str(dll_), L"sType"}});
  EXPECT_TRUE(named.hr == DISP_E_TYPEMISMATCH || named.hr == DISP_E_OVERFLOW) << std::hex << named.hr;
  EXPECT_EQ(named.arg_error, 0u);  // the first named argument

  EXPECT_EQ(box_.Profile(L"DebuggerA", L"Counter"), L"<none>");
  EXPECT_EQ(box_.Logged(L"DebuggerAReport", L"DebuggerAKS"), L"<none>");
}

TEST_F(AddDebugMessageLate, EveryMethodReturnsAnEmptyVariant) {
  for (DISPID id : {0x60030001, 0x60030002, 0x60030004}) {
    SCOPED_TRACE(id);
    Outcome out = debugger_.Invoke(id, DISPATCH_METHOD);
    EXPECT_EQ(out.hr, S_OK);
    EXPECT_TRUE(out.empty_result());
  }
  // A script that uses the call's value asks for method or property get.
  Outcome used = debugger_.Invoke(kAddDebugMessageId, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                  {{Str(message_)}, {Str(dll_)}, {Str(name_)}, {I2(1)}});
  EXPECT_EQ(used.hr, S_OK);
  EXPECT_TRUE(used.empty_result());
  // A caller that wants no result passes none.
  VARIANT args[] = {I2(1), Str(name_), Str(dll_), Str(message_)};
  DISPPARAMS params{args, nullptr, 4, 0};
  EXPECT_EQ(debugger_.get()->Invoke(kAddDebugMessageId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                    nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(box_.Entries().size(), 2u);
}

// --- Early bound ------------------------------------------------------------------

class AddDebugMessageEarly : public AddDebugMessageLate {
 protected:
  void SetUp() override {
    AddDebugMessageLate::SetUp();
    ASSERT_EQ(CoCreateInstance(CLSID_clsVELKDebuggerA, nullptr, CLSCTX_INPROC_SERVER, IID__clsVELKDebuggerA,
                               early_.put_void()),
              S_OK);
  }
  static VARIANT Garbage() {  // a result slot that the call must empty
    return I4(12345);
  }
  winkit::ComPtr<_clsVELKDebuggerA> early_;
};

TEST_F(AddDebugMessageEarly, VtableCallWritesDashIntoTheCallersVariant) {
  BSTR message = message_.get(), type = dll_.get(), name = name_.get();
  short level = 1;
  VARIANT extra, co_extra, result = Garbage();
  VariantInit(&extra);
  winkit::Bstr co(L"early co");
  co_extra = Str(co);
  EXPECT_EQ(early_->AddDebugMessage(&message, &type, &name, &level, &extra, &co_extra, &result), S_OK);
  EXPECT_EQ(V_VT(&result), VT_EMPTY);
  EXPECT_EQ(TextOf(extra), L"-");
  VariantClear(&extra);
  EXPECT_EQ(message, message_.get());
  EXPECT_EQ(level, 1);
  EXPECT_EQ(Body(0), L". (dll)  > APPOBJNOTHING > modStore > OpenStore > -");
  EXPECT_EQ(box_.Logged(L"DebuggerAReportCo", L"AAAB"), L"early co");

  // A text stays; a number 0 stays a number.
  extra = I4(0);
  result = Garbage();
  EXPECT_EQ(early_->AddDebugMessage(&message, &type, &name, &level, &extra, &co_extra, &result), S_OK);
  EXPECT_EQ(V_VT(&result), VT_EMPTY);
  EXPECT_EQ(V_VT(&extra), VT_I4);
  EXPECT_EQ(Body(1), L". (dll)  > APPOBJNOTHING > modStore > OpenStore > 0");
}

TEST_F(AddDebugMessageEarly, NullPointersStandForLeftOutParameters) {
  BSTR message = message_.get(), type = dll_.get();
  VARIANT result = Garbage();
  box_.Store(L"DebuggerAEnabledLevel", L"0");
  EXPECT_EQ(early_->AddDebugMessage(&message, &type, nullptr, nullptr, nullptr, nullptr, &result), S_OK);
  EXPECT_EQ(V_VT(&result), VT_EMPTY);
  EXPECT_EQ(Body(0), L". (dll)  > APPOBJNOTHING >  > OpenStore > -");
  EXPECT_EQ(box_.Logged(L"DebuggerAReportCo", L"AAAB"), L"<none>");
}

TEST_F(AddDebugMessageEarly, OtherMethodsReturnAnEmptyVariant) {
  HRESULT (STDMETHODCALLTYPE _clsVELKDebuggerA::*methods[])(VARIANT*) = {
      &_clsVELKDebuggerA::CreateDebugInfoWindow, &_clsVELKDebuggerA::DestroyDebugInfoWindow,
      &_clsVELKDebuggerA::AddClearMessages};
  for (auto method : methods) {
    VARIANT result = Garbage();
    EXPECT_EQ((early_.get()->*method)(&result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_EMPTY);
  }
}

}  // namespace
}  // namespace velk10_test
