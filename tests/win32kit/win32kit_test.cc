// The Win32 toolkit: an owner frees each value once, wherever it moved, and says when the system
// refused; the boundary answers what each kind of caller can live with; a handed-off job runs
// once on a thread of its own and goes with it; the module's path is its whole path.

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "win32kit/boundary.h"
#include "win32kit/module_path.h"
#include "win32kit/scoped_generic.h"
#include "win32kit/thread_handoff.h"

namespace tunewell {
namespace {

std::vector<int> g_freed;

// Negative values own nothing; 13 is the one the system refuses to free.
struct CountingTraits {
  static int InvalidValue() { return -1; }
  static bool IsValid(int value) { return value >= 0; }
  static bool Free(int value) {
    g_freed.push_back(value);
    return value != 13;
  }
};
using ScopedInt = ScopedGeneric<int, CountingTraits>;

TEST(ScopedGenericTest, FreesEachValueOnceWhereverItMoved) {
  g_freed.clear();
  {
    ScopedInt a(1), none(-7);
    EXPECT_EQ(none.get(), -1);
    none = std::move(a);
    ScopedInt b(std::move(none));
    EXPECT_FALSE(a.valid() || none.valid());
    EXPECT_TRUE(b.reset(2));
    EXPECT_EQ(b.release(), 2);
    b.reset(13);
    EXPECT_FALSE(b.reset(3));
  }
  EXPECT_EQ(g_freed, (std::vector<int>{1, 13, 3}));

  ScopedHandle failed_open(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(failed_open.valid());
  ScopedHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE raw = event.get();
  EXPECT_TRUE(event.reset());
  DWORD flags = 0;
  EXPECT_FALSE(::GetHandleInformation(raw, &flags));
}

TEST(BoundaryTest, AnswersWhatTheCallerCanLiveWith) {
  EXPECT_EQ(ComEntry([] { return S_FALSE; }), S_FALSE);
  EXPECT_EQ(ComEntry([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(ComEntry([]() -> HRESULT { throw std::runtime_error("x"); }), E_UNEXPECTED);
  EXPECT_EQ(ComEntry([]() -> HRESULT { throw 42; }), E_UNEXPECTED);

  const auto original = [] { return LRESULT{7}; };
  EXPECT_EQ(ProcedureEntry([] { return LRESULT{5}; }, original), 5);
  EXPECT_EQ(ProcedureEntry([]() -> LRESULT { throw std::bad_alloc(); }, original), 7);
  EXPECT_EQ(ProcedureEntry([]() -> LRESULT { throw 1; }, []() -> LRESULT { throw 2; }), 0);
  ThreadEntry([] { throw std::runtime_error("ends the thread quietly"); });
}

TEST(ThreadHandOffTest, TheThreadOwnsTheJobAndRunsItOnce) {
  const auto runs = std::make_shared<int>(0);
  DWORD ran_on = 0;
  ScopedHandle worker = HandOffToThread([runs, &ran_on] {
    ++*runs;
    ran_on = ::GetCurrentThreadId();
    throw std::runtime_error("lost with the thread");
  });
  ASSERT_TRUE(worker.valid());
  ASSERT_EQ(::WaitForSingleObject(worker.get(), 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  ::GetExitCodeThread(worker.get(), &code);
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(*runs, 1);
  EXPECT_NE(ran_on, ::GetCurrentThreadId());
  EXPECT_EQ(runs.use_count(), 1);  // the job went with its thread
}

TEST(ModulePathTest, IsTheWholePath) {
  const std::wstring path = ModulePath(nullptr);
  EXPECT_TRUE(path.ends_with(L"\\tunewell_win32kit_tests.exe"));
  EXPECT_NE(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(PathBesideModule(nullptr, L"latchkey.dll"),
            path.substr(0, path.find_last_of(L'\\') + 1) + L"latchkey.dll");
}

}  // namespace
}  // namespace tunewell
