// Apartment threading: each thread that uses the library has its own module state
// (message counter, application object, switches), shared by all objects created on
// that thread; and the sink switches are read when an object is created.
#include <gtest/gtest.h>

#include "velk10_client.h"

namespace velk10_test {
namespace {

// Two client threads, each in its own single-threaded apartment, taking turns: the
// main thread hands the turn to one of them and waits until it has done its step.
class TwoApartments {
 public:
  using Step = std::function<void(std::vector<LateDebugger>& objects)>;

  TwoApartments() {
    for (Worker& w : workers_) {
      w.go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
      w.done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
      w.thread = CreateThread(nullptr, 0, &TwoApartments::Run, &w, 0, nullptr);
    }
  }
  ~TwoApartments() {
    for (Worker& w : workers_) {
      w.step = nullptr;  // ends the thread
      SetEvent(w.go);
      WaitForSingleObject(w.thread, 60000);
      CloseHandle(w.thread);
      CloseHandle(w.go);
      CloseHandle(w.done);
    }
  }
  void Do(int worker, Step step) {
    Worker& w = workers_[worker];
    w.step = std::move(step);
    SetEvent(w.go);
    ASSERT_EQ(WaitForSingleObject(w.done, 60000), WAIT_OBJECT_0);
  }

 private:
  struct Worker {
    HANDLE go = nullptr, done = nullptr, thread = nullptr;
    Step step;
  };
  static DWORD WINAPI Run(void* p) {
    auto* w = static_cast<Worker*>(p);
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::vector<LateDebugger> objects;
    for (;;) {
      WaitForSingleObject(w->go, INFINITE);
      if (!w->step) break;
      w->step(objects);
      SetEvent(w->done);
    }
    objects.clear();
    if (SUCCEEDED(hr)) CoUninitialize();
    return 0;
  }
  Worker workers_[2];
};

class Apartments : public testing::Test {
 protected:
  void SetUp() override {
    box_.Accept();
    box_.Switches(false, false, true);  // the registry log tells the lines apart by key
  }
  // Adds a message named `name` through `object`.
  static void Add(const LateDebugger& object, const wchar_t* name) {
    winkit::Bstr message(L"step"), dll(L"dll"), who(name);
    EXPECT_EQ(object.Add({{Str(message)}, {Str(dll)}, {Str(who)}, {I2(1)}}).hr, S_OK);
  }
  // The registry log: sName -> message number, in the order logged.
  std::vector<std::pair<std::wstring, long>> Logged() const {
    std::vector<std::pair<std::wstring, long>> out;
    for (std::wstring key = L"AAAB";; key[3]++) {
      std::wstring line = box_.Logged(L"DebuggerAReport", key.c_str());
      if (line == L"<none>") break;
      const Line parsed = Parse(line);
      // body: ". (dll)  > <identity> > <name> > step > -"
      const size_t end = parsed.body.rfind(L" > step > ");
      const size_t start = parsed.body.rfind(L" > ", end - 1);
      out.emplace_back(parsed.body.substr(start + 3, end - start - 3), parsed.number);
    }
    return out;
  }
  Sandbox box_;
};

TEST_F(Apartments, EachThreadHasItsOwnCounterAndApplicationObject) {
  auto* app = new AppObject(L"Ledger", L"Ledger Desk", 3, 2);
  {
    TwoApartments threads;
    threads.Do(0, [](std::vector<LateDebugger>& objects) {
      objects.emplace_back();
      ASSERT_TRUE(objects.back());
      Add(objects[0], L"A");
    });
    threads.Do(1, [&](std::vector<LateDebugger>& objects) {
      objects.emplace_back();
      objects.emplace_back();
      ASSERT_TRUE(objects[0] && objects[1]);
      Add(objects[0], L"B");
      Add(objects[1], L"B");  // a second object on the same thread shares the counter
      Add(objects[0], L"B");
      ASSERT_EQ(objects[1].SetAppObj(app), S_OK);
    });
    threads.Do(0, [](std::vector<LateDebugger>& objects) {
      // Thread B's application object is not this thread's.
      Outcome got = objects[0].Invoke(kAppObjId, DISPATCH_PROPERTYGET);
      EXPECT_EQ(got.hr, S_OK);
      EXPECT_EQ(V_VT(got.result.get()), VT_DISPATCH);
      EXPECT_EQ(V_DISPATCH(got.result.get()), nullptr);
      objects.emplace_back();  // a new object here does not restart the count
      Add(objects[1], L"A");
      Add(objects[0], L"A");
    });
    threads.Do(1, [&](std::vector<LateDebugger>& objects) {
      winkit::ComPtr<IDispatch> seen = objects[0].AppObj();
      winkit::ComPtr<IUnknown> a, b;
      ASSERT_TRUE(seen);
      seen->QueryInterface(IID_IUnknown, a.put_void());
      app->QueryInterface(IID_IUnknown, b.put_void());
      EXPECT_EQ(a.get(), b.get());
      ASSERT_EQ(objects[0].SetAppObj(nullptr), S_OK);
    });
  }
  EXPECT_EQ(app->refs(), 1);
  app->Release();

  const std::vector<std::pair<std::wstring, long>> expected = {
      {L"A", 1}, {L"B", 1}, {L"B", 2}, {L"B", 3}, {L"A", 2}, {L"A", 3}};
  EXPECT_EQ(Logged(), expected);
  // Thread A's messages after B set its application object still have none.
  for (std::wstring key : {L"AAAB", L"AAAF", L"AAAG"})
    EXPECT_NE(box_.Logged(L"DebuggerAReport", key.c_str()).find(L"> APPOBJNOTHING >"), std::wstring::npos) << key;
}

TEST_F(Apartments, SinkSwitchesLoadWhenAnObjectIsCreated) {
  box_.Switches(false, false, false);
  LateDebugger first;
  ASSERT_TRUE(first);
  Add(first, L"off");
  EXPECT_EQ(box_.Profile(L"DebuggerA", L"Counter"), L"<none>");

  // Switched on in the settings: the existing object still has it off.
  box_.Store(L"DebuggerShell", L"1");
  Add(first, L"still off");
  EXPECT_EQ(box_.Profile(L"DebuggerA", L"Counter"), L"<none>");

  // Creating another object reloads the configuration that every object shares.
  LateDebugger second;
  ASSERT_TRUE(second);
  Add(first, L"on");
  std::vector<std::wstring> entries = box_.Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_NE(entries[0].find(L" > on > step > "), std::wstring::npos) << entries[0];

  // And back off.
  box_.Store(L"DebuggerShell", L"0");
  Add(second, L"on still");
  LateDebugger third;
  Add(second, L"off again");
  EXPECT_EQ(box_.Entries().size(), 2u);
  EXPECT_EQ(Parse(box_.Entries()[1]).number, Parse(entries[0]).number + 1);
}

}  // namespace
}  // namespace velk10_test
