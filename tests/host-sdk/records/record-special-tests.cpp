// The wrapper operations whose calls carry something particular: ten
// reversed arguments, by-reference fills, objects handed back and released,
// failed conversions, host errors.

#include "fake-host-object.h"
#include "host-records.h"

#include <gtest/gtest.h>

#include <oleauto.h>

#include <utility>
#include <vector>

namespace {

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

std::wstring Text(const VARIANT& AValue) {
  EXPECT_EQ(V_VT(&AValue), VT_BSTR);
  if (V_VT(&AValue) != VT_BSTR || !V_BSTR(&AValue))
    return {};
  return std::wstring(V_BSTR(&AValue), SysStringLen(V_BSTR(&AValue)));
}

class RecordSpecialCase : public ::testing::Test {
protected:
  TComPtr<TFakeHostObject> Host(std::initializer_list<std::wstring_view> ARecords) {
    TComPtr<TFakeHostObject> host = TFakeHostObject::Create(ARecords);
    host->SetErrorSink([](const std::wstring& AError) { ADD_FAILURE() << Narrow(AError); });
    return host;
  }
};

TEST_F(RecordSpecialCase, AddMessageSendsItsTenArgumentsReversed) {
  auto host = Host({L"IQovMessagesManager"});
  const auto messages = IQovMessagesManager::FromDispatch(host->Dispatch());
  messages.AddMessage(L"[Error]", L"text", L"Compiler", L"C:\\doc.c", L"WorkspaceManager:Open",
                      L"FileName=C:\\doc.c", 7, false, L"ninth", L"tenth");

  ASSERT_EQ(host->Calls().size(), 1u);
  const TFakeCall& call = host->Calls()[0];
  EXPECT_EQ(call.DispId, 439);
  ASSERT_EQ(call.Args.size(), 10u);
  const std::vector<VARTYPE> arrived = [&] {
    std::vector<VARTYPE> out;
    for (const VARIANT& v : call.Args)
      out.push_back(V_VT(&v));
    return out;
  }();
  const std::vector<VARTYPE> reversed = {VT_BSTR, VT_BSTR, VT_BOOL, VT_I4,   VT_BSTR,
                                         VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR};
  EXPECT_EQ(arrived, reversed);
  EXPECT_EQ(Text(call.Args[0]), L"tenth");
  EXPECT_EQ(Text(call.Args[1]), L"ninth");
  EXPECT_EQ(V_BOOL(&call.Args[2]), VARIANT_FALSE);
  EXPECT_EQ(V_I4(&call.Args[3]), 7);
  EXPECT_EQ(Text(call.Args[4]), L"FileName=C:\\doc.c");
  EXPECT_EQ(Text(call.Args[8]), L"text");
  EXPECT_EQ(Text(call.Args[9]), L"[Error]");
  EXPECT_EQ(Text(call.Declared(0)), L"[Error]");
}

TEST_F(RecordSpecialCase, GetFlashMemorySpaceFillsFourIntegers) {
  auto host = Host({L"IFlashWriter"});
  host->OnCall(508746, [](TFakeInvocation& AInvocation) {
    EXPECT_EQ(AInvocation.Int(0), 2);
    AInvocation.SetInt(1, 5);
    AInvocation.SetInt(2, 0x08000000);
    AInvocation.SetInt(3, 0x0803FFFF);
    AInvocation.SetInt(4, 32);
    return S_OK;
  });
  int32_t index = -1, start = -1, end = -1, width = -1;
  IFlashWriter::FromDispatch(host->Dispatch()).GetFlashMemorySpace(2, index, start, end, width);
  EXPECT_EQ(index, 5);
  EXPECT_EQ(start, 0x08000000);
  EXPECT_EQ(end, 0x0803FFFF);
  EXPECT_EQ(width, 32);
}

TEST_F(RecordSpecialCase, GetInitValueFillsNameAndThreeWideNumbers) {
  auto host = Host({L"IEmbeddedMemory"});
  host->OnCall(508605, [](TFakeInvocation& AInvocation) {
    AInvocation.SetText(1, L"vector_table");
    AInvocation.SetInt64(2, 4);
    AInvocation.SetInt64(3, 0x1FFFFFFFFLL);
    AInvocation.SetInt64(4, 0x100000000LL);
    AInvocation.ReturnBool(true);
    return S_OK;
  });
  std::wstring name = L"old";
  int64_t size = 0, value = 0, address = 0;
  EXPECT_TRUE(
      IEmbeddedMemory::FromDispatch(host->Dispatch()).GetInitValue(0, name, size, value, address));
  EXPECT_EQ(name, L"vector_table");
  EXPECT_EQ(size, 4);
  EXPECT_EQ(value, 0x1FFFFFFFFLL);
  EXPECT_EQ(address, 0x100000000LL);
}

TEST_F(RecordSpecialCase, OutStringIsEmptiedBeforeTheCallAndVarStringIsNot) {
  auto host = Host({L"ILixtorManager", L"IClientAPI_Interface"});
  std::wstring seenOut = L"unset", seenVar = L"unset";
  host->OnCall(503284, [&](TFakeInvocation& AInvocation) {
    seenOut = AInvocation.Text(5);
    AInvocation.SetText(5, L"C:\\Lib\\Found.Brdlib");
    AInvocation.ReturnText(L"C:\\Lib\\model.dat");
    return S_OK;
  });
  host->OnCall(503282, [&](TFakeInvocation& AInvocation) {
    seenVar = AInvocation.Text(2);
    AInvocation.SetText(2, L"C:\\Lib\\Other.Symlib");
    AInvocation.ReturnText(L"C:\\Lib\\Other.Symlib");
    return S_OK;
  });
  const auto libraries = ILixtorManager::FromDispatch(host->Dispatch());
  std::wstring found = L"stale";
  EXPECT_EQ(libraries.FindModelDatafilePath(0, L"SOIC8", L"PCBLIB", L"LM3S101", L"C:\\Lib", found),
            L"C:\\Lib\\model.dat");
  EXPECT_EQ(seenOut, L"");
  EXPECT_EQ(found, L"C:\\Lib\\Found.Brdlib");

  std::wstring library = L"C:\\Lib\\Stellaris.Symlib";
  libraries.FindComponentLibraryPath(L"Stellaris", L"LM3S101", library);
  EXPECT_EQ(seenVar, L"C:\\Lib\\Stellaris.Symlib");
  EXPECT_EQ(library, L"C:\\Lib\\Other.Symlib");
}

TEST_F(RecordSpecialCase, FindObjectByIdHandsBackTheObjectWithOneReference) {
  auto host = Host({L"IUnifiedDataModel"});
  auto found = TFakeHostObject::Create({L"IPCB_Net"});
  host->OnCall(510209, [&](TFakeInvocation& AInvocation) {
    const bool known = AInvocation.Text(0) == L"NET-1";
    if (known)
      AInvocation.SetObject(1, found->Dispatch());
    AInvocation.ReturnBool(known);
    return S_OK;
  });
  const auto model = IUnifiedDataModel::FromDispatch(host->Dispatch());
  const LONG before = found->RefCount();
  {
    TDispatchRecord object;
    EXPECT_FALSE(model.FindObjectById(L"NET-2", object));
    EXPECT_TRUE(object.IsEmpty());
    EXPECT_TRUE(model.FindObjectById(L"NET-1", object));
    EXPECT_EQ(object.Intf(), found->Dispatch());
    EXPECT_EQ(found->RefCount(), before + 1);
    object.As<IPCB_Net>().SetLiveHighlightValue(3);
  }
  EXPECT_EQ(found->RefCount(), before);
  ASSERT_EQ(found->Calls().size(), 1u);
  EXPECT_EQ(found->Calls()[0].Operation, L"SetLiveHighlightValue");
}

TEST_F(RecordSpecialCase, DestroySchObjectEmptiesTheCallersRecordAndReleasesTheObject) {
  auto server = Host({L"ISch_ServerInterface"});
  auto component = TFakeHostObject::Create({L"ISch_Component"});
  server->OnCall(507078, [](TFakeInvocation& AInvocation) {
    AInvocation.SetObject(0, nullptr);
    return S_OK;
  });
  const LONG before = component->RefCount();
  ISch_BasicContainer container =
      ISch_Component::FromDispatch(component->Dispatch()).AsBasicContainer();
  EXPECT_EQ(component->RefCount(), before + 1);
  ISch_ServerInterface::FromPointer(server->Dispatch()).DestroySchObject(container);
  EXPECT_TRUE(container.IsEmpty());
  server->ClearLog(); // the logged argument copy holds the object too
  EXPECT_EQ(component->RefCount(), before);
}

TEST_F(RecordSpecialCase, ReferenceFilledBeforeAFailureIsKept) {
  auto host = Host({L"IProcessLauncher"});
  host->OnCall(625, [](TFakeInvocation& AInvocation) {
    AInvocation.SetText(1, L"Result=Partial");
    return AInvocation.Raise(L"The process failed");
  });
  std::wstring parameters = L"FileName=a.c";
  try {
    IProcessLauncher::FromDispatch(host->Dispatch())
        .RunCommand(L"WorkspaceManager:OpenObject", parameters, IServerDocumentView());
    ADD_FAILURE() << "the host's failure was not raised";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.Message(), L"The process failed");
  }
  EXPECT_EQ(parameters, L"Result=Partial");
}

TEST_F(RecordSpecialCase, FromInterfaceOnAnObjectWithoutDispatchFailsWithItsMessage) {
  auto foreign = TFakeHostObject::Create({L"IExternalForm"});
  foreign->SetRefusesDispatchQuery(true);
  IUnknown* unknown = static_cast<IDispatch*>(foreign.Get());
  const LONG before = foreign->RefCount();
  try {
    (void)IExternalForm::FromInterface(unknown);
    ADD_FAILURE() << "no cast error";
  } catch (const EIntfCastError& e) {
    EXPECT_EQ(e.Message(), L"Interface not supported");
  }
  try {
    (void)IExternalForm::FromDispatch(foreign->Dispatch()).AsDispatch();
    ADD_FAILURE() << "no cast error";
  } catch (const EIntfCastError& e) {
    EXPECT_EQ(e.Message(), L"Interface not supported");
  }
  EXPECT_EQ(foreign->RefCount(), before);
  EXPECT_TRUE(IExternalForm::FromInterface(nullptr).IsEmpty());
}

TEST_F(RecordSpecialCase, AnObjectAnswersOnlyTheServicesItOffers) {
  auto port = Host({L"IJtagPort", L"IJlinkPort"});
  auto plain = Host({L"IJtagPort"});
  port->AddService(L"JlinkPort");
  EXPECT_TRUE(SupportsService(port->Dispatch(), L"jlinkport"));
  EXPECT_FALSE(SupportsService(port->Dispatch(), L"JtagChannel"));
  EXPECT_FALSE(SupportsService(plain->Dispatch(), L"JlinkPort"));
}

TEST_F(RecordSpecialCase, ResultRecordHoldsExactlyOneReference) {
  auto device = Host({L"ITarvoDevice"});
  auto channel = Host({L"IJTagChannel"});
  device->OnCall(503630, [&](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(channel->Dispatch());
    return S_OK;
  });
  const LONG before = channel->RefCount();
  {
    const IJTagChannel got = ITarvoDevice::FromDispatch(device->Dispatch()).GetJTagChannel();
    EXPECT_EQ(channel->RefCount(), before + 1);
    const IJTagChannel copy = got;
    EXPECT_EQ(channel->RefCount(), before + 2);
    got.CloseChannel();
  }
  EXPECT_EQ(channel->RefCount(), before);
  ASSERT_EQ(channel->Calls().size(), 1u);
  EXPECT_EQ(channel->Calls()[0].Flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
}

TEST_F(RecordSpecialCase, OneObjectServesRecordsThatShareDispIds) {
  auto item = Host({L"INet", L"INetItem", L"IDMObject"});
  item->OnCall(510108, [](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(L"ID-7");
    return S_OK;
  });
  EXPECT_EQ(INet::FromDispatch(item->Dispatch()).GetObjectId(), L"ID-7");
  EXPECT_EQ(INetItem::FromDispatch(item->Dispatch()).GetObjectId(), L"ID-7");
  EXPECT_EQ(IDMObject::FromDispatch(item->Dispatch()).GetObjectId(), L"ID-7");
  EXPECT_TRUE(INetItem::FromDispatch(item->Dispatch()).GetNet().IsEmpty());
}

TEST_F(RecordSpecialCase, ShiftDataBitsCarriesTheBitStringBothWays) {
  auto channel = Host({L"IJTagChannel"});
  channel->OnCall(503591, [](TFakeInvocation& AInvocation) {
    std::wstring bits = AInvocation.Text(0);
    EXPECT_EQ(AInvocation.Int(1), 0);
    for (wchar_t& c : bits)
      c = c == L'0' ? L'1' : L'0';
    AInvocation.ReturnText(bits);
    return S_OK;
  });
  const std::wstring sent(L"00000000000000000000000000000001010");
  ASSERT_EQ(sent.size(), 35u);
  const std::wstring got = IJTagChannel::FromDispatch(channel->Dispatch()).ShiftDataBits(sent, 0);
  EXPECT_EQ(got, L"11111111111111111111111111111110101");
}

TEST_F(RecordSpecialCase, TextArgumentStaysWholeWhileANestedCallSendsAnother) {
  // While the host serves one scan it is sent another text of the same
  // length (the plug-in was called back meanwhile): the text of the first
  // call must not change under it.
  auto channel = Host({L"IJTagChannel"});
  const IJTagChannel record = IJTagChannel::FromDispatch(channel->Dispatch());
  std::vector<std::wstring> seen;
  bool nest = true;
  channel->OnCall(503591, [&](TFakeInvocation& AInvocation) {
    const std::wstring_view mine = AInvocation.TextView(0);
    if (std::exchange(nest, false)) {
      std::wstring inner;
      record.ShiftDataBitsInto(std::wstring(mine.size(), L'1'), 0, inner);
    }
    seen.emplace_back(mine);
    AInvocation.ReturnText(std::wstring(mine));
    return S_OK;
  });
  const std::wstring zeros(35, L'0');
  std::wstring answer;
  record.ShiftDataBitsInto(zeros, 0, answer);
  EXPECT_EQ(answer, zeros);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::wstring(35, L'1'));
  EXPECT_EQ(seen[1], zeros) << "the outer call's text after the inner call";
  // Sent over and over, each text comes through as it was sent.
  for (size_t i = 0; i < zeros.size(); ++i) {
    std::wstring one = zeros;
    one[i] = L'1';
    record.ShiftDataBitsInto(one, 0, answer);
    EXPECT_EQ(answer, one);
    EXPECT_EQ(record.ShiftDataBits(one.substr(0, i + 1), 0), one.substr(0, i + 1));
  }
}

TEST_F(RecordSpecialCase, ScanClockSpeedComesBackAsADouble) {
  auto entity = Host({L"IBSDLEntity"});
  entity->OnCall(503484, [](TFakeInvocation& AInvocation) {
    AInvocation.ReturnReal(33.3e6);
    return S_OK;
  });
  EXPECT_DOUBLE_EQ(IBSDLEntity::FromDispatch(entity->Dispatch()).GetScanClockMaxSpeed(), 33.3e6);
}

} // namespace
