// The table-driven host object refuses what a real host would not accept,
// so that a wrong wrapper call fails its test instead of passing quietly.

#include "fake-host-object.h"
#include "host-records.h"
#include "outgoing-call.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

HRESULT FailureOf(IDispatch* ATarget, const THostCallDescriptor& ADescriptor,
                  const std::function<void(IDispatch*, const THostCallDescriptor&)>& ACall) {
  try {
    ACall(ATarget, ADescriptor);
  } catch (const EOleSysError& e) {
    return e.ErrorCode();
  }
  return S_OK;
}

TEST(FakeHostObject, StrictObjectFailsADispIdItDoesNotServe) {
  auto host = TFakeHostObject::Create({L"IJTagChannel"});
  constexpr THostCallDescriptor foreign{503380, VT_BSTR, kCallMethod, 0, 0, {}};
  EXPECT_EQ(FailureOf(host->Dispatch(), foreign,
                      [](IDispatch* d, const THostCallDescriptor& k) { HostCallString(d, k); }),
            DISP_E_MEMBERNOTFOUND);
  ASSERT_EQ(host->Errors().size(), 1u);
  EXPECT_NE(host->Errors()[0].find(L"503380"), std::wstring::npos);
  ASSERT_EQ(host->Calls().size(), 1u) << "a refused call is logged too";
  EXPECT_EQ(host->Calls()[0].Answer, DISP_E_MEMBERNOTFOUND);
}

TEST(FakeHostObject, LenientObjectAnswersAnUnservedDispIdEmpty) {
  auto host = TFakeHostObject::Create({L"IJTagChannel"});
  host->SetStrict(false);
  const ITarvoDevice device = ITarvoDevice::FromDispatch(host->Dispatch());
  EXPECT_EQ(device.GetDeviceName(), L"");
  EXPECT_EQ(device.GetJTagIndex(), 0);
  EXPECT_TRUE(host->Errors().empty());
  EXPECT_EQ(host->Calls().size(), 2u);
}

TEST(FakeHostObject, ArgumentMismatchesAreRefusedAndLogged) {
  struct TMismatchCase {
    const char* Name;
    THostCallDescriptor Descriptor;
    std::function<void(IDispatch*, const THostCallDescriptor&)> Call;
    HRESULT Expected;
  } cases[] = {
      {"string where an integer is declared",
       {503593, 0, kCallMethod, 2, 0, {VT_BSTR, VT_I4}},
       [](IDispatch* d, const THostCallDescriptor& k) {
         HostCallVoid(d, k, std::wstring(L"x"), 0);
       },
       DISP_E_TYPEMISMATCH},
      {"arguments swapped",
       {503591, VT_BSTR, kCallMethod, 2, 0, {VT_I4, VT_BSTR}},
       [](IDispatch* d, const THostCallDescriptor& k) {
         HostCallString(d, k, 0, std::wstring(L"1"));
       },
       DISP_E_TYPEMISMATCH},
      {"one argument short",
       {503588, 0, kCallMethod, 2, 0, {VT_I4, VT_I4}},
       [](IDispatch* d, const THostCallDescriptor& k) { HostCallVoid(d, k, 1, 2); },
       DISP_E_BADPARAMCOUNT},
      {"value where a reference is declared",
       {503605, 0, kCallMethod, 2, 0, {VT_I4, 0x80 | VT_I4}},
       [](IDispatch* d, const THostCallDescriptor& k) {
         int32_t state = 2;
         HostCallVoid(d, k, 1, &state);
       },
       DISP_E_TYPEMISMATCH},
      {"property get instead of a method",
       {503426, 0, kCallPropertyGet, 0, 0, {}},
       [](IDispatch* d, const THostCallDescriptor& k) { HostCallVoid(d, k); },
       DISP_E_MEMBERNOTFOUND},
  };
  for (const TMismatchCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto host = TFakeHostObject::Create({L"IJTagChannel"});
    EXPECT_EQ(FailureOf(host->Dispatch(), c.Descriptor, c.Call), c.Expected);
    EXPECT_EQ(host->Errors().size(), 1u);
  }
}

TEST(FakeHostObject, ScriptedDispIdOutsideTheRecordsIsServedUnchecked) {
  auto host = TFakeHostObject::Create({L"IJTagChannel"});
  host->OnCall(1023, [](TFakeInvocation& AInvocation) {
    EXPECT_EQ(AInvocation.Call(), nullptr);
    AInvocation.ReturnText(L"Orvandel");
    return S_OK;
  });
  constexpr THostCallDescriptor named{1023, VT_BSTR, kCallMethod, 0, 0, {}};
  EXPECT_EQ(HostCallString(host->Dispatch(), named), L"Orvandel");
  EXPECT_TRUE(host->Errors().empty());
  EXPECT_EQ(host->Calls()[0].Record, L"");
}

TEST(FakeHostObject, HandlerFailureBecomesAnUnexpectedResultAndAnError) {
  auto host = TFakeHostObject::Create({L"IJTagChannel"});
  host->OnCall(503425, [](TFakeInvocation&) -> HRESULT { throw std::runtime_error("broken"); });
  constexpr THostCallDescriptor open{503425, VT_BOOL, kCallMethod, 0, 0, {}};
  EXPECT_EQ(FailureOf(host->Dispatch(), open,
                      [](IDispatch* d, const THostCallDescriptor& k) { HostCallBool(d, k); }),
            E_UNEXPECTED);
  EXPECT_EQ(host->Errors().size(), 1u);
}

TEST(FakeHostObject, ServingAnUnknownRecordIsRefused) {
  auto host = TFakeHostObject::Create();
  EXPECT_THROW(host->Serve(L"INoSuchRecord"), std::invalid_argument);
}

TEST(FakeHostObject, LogKeepsArgumentsAsTheyArrivedAndReleasesThemWhenCleared) {
  auto host = TFakeHostObject::Create({L"ITimerManager"});
  auto handler = TFakeHostObject::Create({L"ITimerHandler"});
  const LONG before = handler->RefCount();
  ITimerManager::FromDispatch(host->Dispatch())
      .AddHandler(ITimerHandler::FromDispatch(handler->Dispatch()), 100, false);
  ASSERT_EQ(host->Calls().size(), 1u);
  const TFakeCall& call = host->Calls()[0];
  EXPECT_EQ(call.Record, L"ITimerManager");
  EXPECT_EQ(call.Operation, L"AddHandler");
  EXPECT_EQ(V_DISPATCH(&call.Declared(0)), handler->Dispatch());
  EXPECT_EQ(V_I4(&call.Declared(1)), 100);
  EXPECT_EQ(V_BOOL(&call.Declared(2)), VARIANT_FALSE);
  EXPECT_EQ(handler->RefCount(), before + 1) << "the logged copy holds the object";
  host->ClearLog();
  EXPECT_EQ(handler->RefCount(), before);
}

TEST(FakeHostObject, ALongSessionKeepsTheNewestCallsAndReleasesTheDroppedOnes) {
  auto host = TFakeHostObject::Create({L"ITimerManager"});
  auto handler = TFakeHostObject::Create({L"ITimerHandler"});
  const LONG before = handler->RefCount();
  const ITimerManager manager = ITimerManager::FromDispatch(host->Dispatch());
  const int32_t total = int32_t(TFakeHostObject::kCallLogLimit) + 3;
  for (int32_t i = 0; i < total; ++i)
    manager.AddHandler(ITimerHandler::FromDispatch(handler->Dispatch()), i, false);
  ASSERT_LE(host->Calls().size(), TFakeHostObject::kCallLogLimit);
  EXPECT_EQ(host->Calls().size() + host->DroppedCalls(), size_t(total));
  EXPECT_EQ(V_I4(&host->Calls().back().Declared(1)), total - 1);
  EXPECT_EQ(V_I4(&host->Calls().front().Declared(1)), int32_t(host->DroppedCalls()))
      << "what is kept follows on from what was dropped";
  EXPECT_EQ(handler->RefCount(), before + LONG(host->Calls().size()))
      << "a dropped call no longer holds its arguments";
}

} // namespace
