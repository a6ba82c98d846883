// The plug-in as the host loads it: LoadLibrary, both exports by name and by
// ordinal, the stdcall stack discipline and the answers of an empty catalogue.

#include "plugin-library.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

#if defined(__i386__)
// Calls a stdcall function of two 32-bit arguments and answers how far the
// stack pointer moved across the call; 0 means the callee popped exactly
// its own arguments.
__attribute__((noinline)) int32_t StackDrift(void* AFunction, uint32_t AFirst, uint32_t ASecond) {
  int32_t drift;
  asm volatile("movl %%esp, %%esi\n\t"
               "pushl %3\n\t"
               "pushl %2\n\t"
               "call *%1\n\t"
               "movl %%esi, %%eax\n\t"
               "subl %%esp, %%eax\n\t"
               "movl %%esi, %%esp\n\t"
               : "=a"(drift)
               : "r"(AFunction), "r"(AFirst), "r"(ASecond)
               : "ecx", "edx", "esi", "memory", "cc");
  return drift;
}

__attribute__((noinline)) int32_t StackDrift(void* AFunction, uint32_t AOnly) {
  int32_t drift;
  asm volatile("movl %%esp, %%esi\n\t"
               "pushl %2\n\t"
               "call *%1\n\t"
               "movl %%esi, %%eax\n\t"
               "subl %%esp, %%eax\n\t"
               "movl %%esi, %%esp\n\t"
               : "=a"(drift)
               : "r"(AFunction), "r"(AOnly)
               : "ecx", "edx", "esi", "memory", "cc");
  return drift;
}
#endif

class PluginEntry : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(Plugin.Load(DefaultPluginPath())) << "the plug-in must load"; }
  TPluginLibrary Plugin;
};

TEST_F(PluginEntry, ExportsAreFoundByNameAndByOrdinal) {
  const HMODULE m = Plugin.Module();
  auto byOrdinal = [m](int AOrdinal) {
    return reinterpret_cast<void*>(GetProcAddress(m, MAKEINTRESOURCEA(AOrdinal)));
  };
  EXPECT_EQ(byOrdinal(1), reinterpret_cast<void*>(Plugin.GetTarvoDriver_Plugin));
  EXPECT_EQ(byOrdinal(2), reinterpret_cast<void*>(Plugin.GetTarvoDriverCount));
  // Undecorated names only.
  EXPECT_EQ(GetProcAddress(m, "GetTarvoDriverCount@4"), nullptr);
  EXPECT_EQ(GetProcAddress(m, "_GetTarvoDriverCount@4"), nullptr);
}

TEST_F(PluginEntry, CallsKeepTheStackBalanced) {
#if !defined(__i386__)
  GTEST_SKIP() << "x86_64 has one calling convention, in which the caller owns the stack; "
                  "the stdcall balance is checked by the i686 build";
#else
  int32_t count = -1;
  IDispatch* driver = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(StackDrift(reinterpret_cast<void*>(Plugin.GetTarvoDriverCount),
                       uint32_t(reinterpret_cast<uintptr_t>(&count))),
            0);
  EXPECT_EQ(StackDrift(reinterpret_cast<void*>(Plugin.GetTarvoDriver_Plugin), uint32_t(-1),
                       uint32_t(reinterpret_cast<uintptr_t>(&driver))),
            0);
  EXPECT_EQ(driver, nullptr);
#endif
}

TEST_F(PluginEntry, OutOfRangeKindsGiveAnEmptyDriverAndSuccess) {
  int32_t count = -1;
  ASSERT_EQ(Plugin.GetTarvoDriverCount(&count), S_OK);
  for (const int32_t kind : {-1, count, INT32_MIN, INT32_MAX}) {
    IDispatch* driver = reinterpret_cast<IDispatch*>(0x1234);
    EXPECT_EQ(Plugin.GetTarvoDriver_Plugin(kind, &driver), S_OK) << kind;
    EXPECT_EQ(driver, nullptr) << kind;
  }
}

TEST_F(PluginEntry, NullOutPointersAreRefused) {
  EXPECT_EQ(Plugin.GetTarvoDriverCount(nullptr), E_POINTER);
  EXPECT_EQ(Plugin.GetTarvoDriver_Plugin(0, nullptr), E_POINTER);
}

TEST_F(PluginEntry, MissingPluginIsReportedNotFatal) {
  TPluginLibrary missing;
  EXPECT_FALSE(missing.Load(ProgramFolder() + L"NoSuchPlugin.TRV"));
  EXPECT_NE(missing.ErrorText().find(L"cannot load"), std::wstring::npos);
}

} // namespace
