// Every operation of every wrapper record, called against a table-driven
// host object: what arrives (DISPID, flags, reversed VARTYPEs, values), what
// comes back (result, by-reference fills) and the reference counts after.

#include "fake-host-object.h"
#include "host-record-table.h"
#include "record-cases.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

// What the scripted host writes back and answers.
int32_t BackInt(unsigned AIndex) {
  return int32_t(0x7000 + AIndex);
}
int64_t BackInt64(unsigned AIndex) {
  return (int64_t(0x40 + AIndex) << 32) | 0x9;
}
std::wstring BackText(unsigned AIndex) {
  return L"back-" + std::to_wstring(AIndex);
}
constexpr int32_t kAnswerInt = -123456;
constexpr int64_t kAnswerInt64 = 0x123456789ABLL;
constexpr double kAnswerReal = 12.5e6;
std::wstring AnswerText(int32_t ADispId) {
  return L"answer-" + std::to_wstring(ADispId);
}

class RecordCallWalk : public ::testing::TestWithParam<TRecordCallCase> {
protected:
  void SetUp() override {
    const TRecordCallCase& c = GetParam();
    const THostRecordKind* kind = FindHostRecordKind(c.Record);
    ASSERT_NE(kind, nullptr);
    FCall = FindHostRecordCall(*kind, c.Operation);
    ASSERT_NE(FCall, nullptr);
    FTarget = TFakeHostObject::Create({c.Record});
    FTarget->SetErrorSink([](const std::wstring& AError) { ADD_FAILURE() << Narrow(AError); });
    for (int i = 0; i < kMaxRecordCallArgs; ++i)
      FArgs.push_back(TFakeHostObject::Create());
    FAnswer = TFakeHostObject::Create();
    FBack = TFakeHostObject::Create();
  }

  std::vector<IDispatch*> ArgObjects() const {
    std::vector<IDispatch*> out;
    for (const auto& a : FArgs)
      out.push_back(a->Dispatch());
    return out;
  }

  std::vector<LONG> RefCounts() const {
    std::vector<LONG> out{FTarget->RefCount(), FAnswer->RefCount(), FBack->RefCount()};
    for (const auto& a : FArgs)
      out.push_back(a->RefCount());
    return out;
  }

  // Checks each declared argument's value as it arrived, fills references.
  HRESULT CheckAndFill(TFakeInvocation& AInvocation) {
    const TRecordCallCase& c = GetParam();
    for (unsigned i = 0; i < FCall->ArgCount; ++i) {
      SCOPED_TRACE("argument " + std::to_string(i + 1));
      switch (FCall->ArgTypes[i]) {
      case VT_I4:
        EXPECT_EQ(AInvocation.Int(i), TRecordCaseProbe::SampleInt(i));
        break;
      case VT_I8:
        EXPECT_EQ(AInvocation.Int64(i), TRecordCaseProbe::SampleInt64(i));
        break;
      case VT_R8:
        EXPECT_EQ(AInvocation.Real(i), TRecordCaseProbe::SampleReal(i));
        break;
      case VT_BOOL:
        EXPECT_EQ(AInvocation.Bool(i), TRecordCaseProbe::SampleBool(i));
        break;
      case VT_BSTR:
        EXPECT_EQ(AInvocation.Text(i), TRecordCaseProbe::SampleText(i));
        break;
      case VT_DISPATCH:
        EXPECT_EQ(AInvocation.Object(i), FArgs[i]->Dispatch());
        break;
      case 0x80 | VT_I4:
        EXPECT_EQ(AInvocation.Int(i), TRecordCaseProbe::SampleInt(i));
        AInvocation.SetInt(i, BackInt(i));
        break;
      case 0x80 | VT_I8:
        EXPECT_EQ(AInvocation.Int64(i), TRecordCaseProbe::SampleInt64(i));
        AInvocation.SetInt64(i, BackInt64(i));
        break;
      case 0x80 | VT_BSTR:
        // An out string is emptied before the call, a var string goes in as it is.
        EXPECT_EQ(AInvocation.Text(i),
                  (c.OutMask >> i) & 1 ? std::wstring() : TRecordCaseProbe::SampleText(i));
        AInvocation.SetText(i, BackText(i));
        break;
      case 0x80 | VT_DISPATCH:
        EXPECT_EQ(AInvocation.Object(i), FArgs[i]->Dispatch());
        AInvocation.SetObject(i, FBack->Dispatch());
        break;
      default:
        ADD_FAILURE() << "argument kind " << unsigned(FCall->ArgTypes[i]);
      }
    }
    switch (FCall->ResultType) {
    case VT_EMPTY:
      break;
    case VT_I4:
      AInvocation.ReturnInt(kAnswerInt);
      break;
    case VT_I8:
      AInvocation.ReturnInt64(kAnswerInt64);
      break;
    case VT_R8:
      AInvocation.ReturnReal(kAnswerReal);
      break;
    case VT_BOOL:
      AInvocation.ReturnBool(true);
      break;
    case VT_BSTR:
      AInvocation.ReturnText(AnswerText(FCall->DispId));
      break;
    case VT_DISPATCH:
      AInvocation.ReturnObject(FAnswer->Dispatch());
      break;
    default:
      ADD_FAILURE() << "result type " << unsigned(FCall->ResultType);
    }
    return S_OK;
  }

  void ExpectTheCallArrived() {
    const TRecordCallCase& c = GetParam();
    ASSERT_EQ(FTarget->Calls().size(), 1u);
    const TFakeCall& arrived = FTarget->Calls()[0];
    EXPECT_EQ(arrived.DispId, c.DispId);
    EXPECT_EQ(arrived.Record, c.Record);
    EXPECT_EQ(arrived.Operation, c.Logged);
    EXPECT_EQ(arrived.Flags, FCall->ArgCount == 0 ? 3 : 1);
    ASSERT_EQ(arrived.Args.size(), FCall->ArgCount);
    EXPECT_TRUE(FTarget->Errors().empty());
  }

  const THostRecordCall* FCall = nullptr;
  TComPtr<TFakeHostObject> FTarget;
  std::vector<TComPtr<TFakeHostObject>> FArgs;
  TComPtr<TFakeHostObject> FAnswer;
  TComPtr<TFakeHostObject> FBack;
};

TEST_P(RecordCallWalk, ArgumentsArriveInOrderAndAnswersComeBack) {
  const TRecordCallCase& c = GetParam();
  FTarget->OnCall(c.DispId,
                  [this](TFakeInvocation& AInvocation) { return CheckAndFill(AInvocation); });
  const std::vector<LONG> before = RefCounts();
  {
    TRecordCaseProbe probe(ArgObjects());
    c.Run(FTarget->Dispatch(), probe);
    ExpectTheCallArrived();

    const TProbeValue& r = probe.Result;
    switch (FCall->ResultType) {
    case VT_EMPTY:
      EXPECT_EQ(r.Kind, TProbeValue::TKind::None);
      break;
    case VT_I4:
      EXPECT_EQ(r.Kind, TProbeValue::TKind::Int);
      EXPECT_EQ(r.Int, kAnswerInt);
      break;
    case VT_I8:
      EXPECT_EQ(r.Kind, TProbeValue::TKind::Int64);
      EXPECT_EQ(r.Int, kAnswerInt64);
      break;
    case VT_R8:
      EXPECT_EQ(r.Kind, TProbeValue::TKind::Real);
      EXPECT_EQ(r.Real, kAnswerReal);
      break;
    case VT_BOOL:
      EXPECT_EQ(r.Kind, TProbeValue::TKind::Bool);
      EXPECT_EQ(r.Int, 1);
      break;
    case VT_BSTR:
      EXPECT_EQ(r.Kind, TProbeValue::TKind::Text);
      EXPECT_EQ(r.Text, AnswerText(c.DispId));
      break;
    case VT_DISPATCH:
      EXPECT_EQ(r.Kind, TProbeValue::TKind::Object);
      EXPECT_EQ(r.Object, FAnswer->Dispatch());
      break;
    }

    unsigned byRef = 0;
    for (unsigned i = 0; i < FCall->ArgCount; ++i) {
      const uint8_t kind = FCall->ArgTypes[i];
      if (!(kind & 0x80))
        continue;
      ++byRef;
      SCOPED_TRACE("by-reference argument " + std::to_string(i + 1));
      ASSERT_EQ(probe.Back.count(i), 1u);
      const TProbeValue& back = probe.Back[i];
      switch (kind & 0x7F) {
      case VT_I4:
        EXPECT_EQ(back.Int, BackInt(i));
        break;
      case VT_I8:
        EXPECT_EQ(back.Int, BackInt64(i));
        break;
      case VT_BSTR:
        EXPECT_EQ(back.Text, BackText(i));
        break;
      case VT_DISPATCH:
        EXPECT_EQ(back.Object, FBack->Dispatch());
        break;
      }
    }
    EXPECT_EQ(probe.Back.size(), byRef);
  }
  FTarget->ClearLog();
  EXPECT_EQ(RefCounts(), before) << "target, answer, back, then argument objects";
}

TEST_P(RecordCallWalk, WithoutAScriptTheHostAnswersTheTypedDefault) {
  const TRecordCallCase& c = GetParam();
  const std::vector<LONG> before = RefCounts();
  {
    TRecordCaseProbe probe(ArgObjects());
    c.Run(FTarget->Dispatch(), probe);
    ExpectTheCallArrived();
    const TProbeValue& r = probe.Result;
    switch (FCall->ResultType) {
    case VT_I4:
    case VT_I8:
    case VT_BOOL:
      EXPECT_EQ(r.Int, 0);
      break;
    case VT_R8:
      EXPECT_EQ(r.Real, 0.0);
      break;
    case VT_BSTR:
      EXPECT_EQ(r.Text, L"");
      break;
    case VT_DISPATCH:
      EXPECT_TRUE(r.Empty);
      break;
    }
    // References the host leaves alone keep what went in.
    for (const auto& [index, back] : probe.Back) {
      switch (FCall->ArgTypes[index] & 0x7F) {
      case VT_I4:
        EXPECT_EQ(back.Int, TRecordCaseProbe::SampleInt(index));
        break;
      case VT_I8:
        EXPECT_EQ(back.Int, TRecordCaseProbe::SampleInt64(index));
        break;
      case VT_DISPATCH:
        EXPECT_EQ(back.Object, FArgs[index]->Dispatch());
        break;
      case VT_BSTR:
        EXPECT_EQ(back.Text,
                  (c.OutMask >> index) & 1 ? std::wstring() : TRecordCaseProbe::SampleText(index));
        break;
      }
    }
  }
  FTarget->ClearLog();
  EXPECT_EQ(RefCounts(), before);
}

std::string CaseName(const ::testing::TestParamInfo<TRecordCallCase>& AInfo) {
  return Narrow(AInfo.param.Record) + "_" + Narrow(AInfo.param.Operation);
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, RecordCallWalk, ::testing::ValuesIn(RecordCallCases()),
                         CaseName);

TEST(RecordCallCases, EveryTableCallHasATypedCaseWithItsDispId) {
  std::set<std::pair<std::wstring, std::wstring>> covered;
  for (const TRecordCallCase& c : RecordCallCases()) {
    const THostRecordKind* kind = FindHostRecordKind(c.Record);
    ASSERT_NE(kind, nullptr) << Narrow(c.Record);
    const THostRecordCall* call = FindHostRecordCall(*kind, c.Operation);
    ASSERT_NE(call, nullptr) << Narrow(c.Operation);
    EXPECT_EQ(call->DispId, c.DispId) << Narrow(c.Record) << "." << Narrow(c.Operation);
    covered.insert({c.Record, call->Operation});
  }
  for (const THostRecordCall& call : HostRecordCalls())
    EXPECT_TRUE(covered.count({call.Record, call.Operation}))
        << Narrow(call.Record) << "." << Narrow(call.Operation);
}

// ---- conversions --------------------------------------------------------------

class RecordConversionWalk : public ::testing::TestWithParam<TRecordConversionCase> {};

TEST_P(RecordConversionWalk, ConversionsKeepTheObjectAndItsReferenceCount) {
  const TRecordConversionCase& c = GetParam();
  TComPtr<TFakeHostObject> target = TFakeHostObject::Create({c.Record});
  const LONG before = target->RefCount();
  {
    TRecordCaseProbe probe({});
    c.Run(target->Dispatch(), probe);
    EXPECT_EQ(probe.Conversions.size(), c.Count);
    for (const auto& [name, value] : probe.Conversions) {
      EXPECT_FALSE(value.Empty) << Narrow(name);
      EXPECT_EQ(value.Object, static_cast<const void*>(target->Dispatch())) << Narrow(name);
    }
  }
  EXPECT_EQ(target->RefCount(), before);
  EXPECT_TRUE(target->Calls().empty()) << "conversions make no host call";
}

INSTANTIATE_TEST_SUITE_P(EveryRecord, RecordConversionWalk,
                         ::testing::ValuesIn(RecordConversionCases()),
                         [](const ::testing::TestParamInfo<TRecordConversionCase>& AInfo) {
                           return Narrow(AInfo.param.Record);
                         });

} // namespace
