// The test host as the plug-in meets it: its objects reached only by
// DISPID through the wrapper records, and the executable's and the
// stand-in module's exports that hand them out.

#include "test-host.h"

#include "exceptions.h"
#include "host-records.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

constexpr int kReset = 1, kIdle = 2, kDrShift = 5, kDrExit1 = 6, kIrShift = 12, kIrExit1 = 13;
constexpr int32_t kDpacc = 0xA, kIdcode = 0xE;
constexpr uint32_t kSimIdcode = 0x3BA00477;

std::wstring BitText(uint64_t AValue, unsigned ACount) {
  std::wstring text;
  for (unsigned i = ACount; i-- > 0;)
    text += (AValue >> i) & 1 ? L'1' : L'0';
  return text;
}

uint64_t BitValue(const std::wstring& AText) {
  uint64_t value = 0;
  for (wchar_t c : AText)
    value = value << 1 | (c == L'1' ? 1 : 0);
  return value;
}

class TestHost : public ::testing::Test {
protected:
  TTestHost Host;
  IJTagChannel Channel = IJTagChannel::FromDispatch(Host.ChannelObject().Dispatch());

  void TearDown() override {
    for (const std::wstring& error : Host.Errors())
      ADD_FAILURE() << std::string(error.begin(), error.end());
  }
  // One 35-bit debug-port scan: data, register address bits 3:2, RnW; the
  // answer of the previous scan comes back (data and the 3-bit ACK).
  uint64_t Scan(uint32_t AData, unsigned AAddress, bool ARead) {
    const uint64_t request = (uint64_t(AData) << 3) | ((AAddress >> 2) & 3) << 1 | (ARead ? 1 : 0);
    const std::wstring answer = Channel.ShiftDataBits(BitText(request, 35), 0);
    EXPECT_EQ(answer.size(), 35u);
    Channel.MoveToState(kDrExit1, kIdle);
    Channel.MoveToState(kIdle, kDrShift);
    return BitValue(answer);
  }
};

TEST_F(TestHost, ChannelObjectReadsTheIdcodeByDispId) {
  ASSERT_TRUE(Channel.OpenChannel());
  Channel.MoveToState(0, kReset);
  Channel.MoveToState(kReset, kDrShift);
  EXPECT_EQ(uint32_t(Channel.ShiftDataCapture(0, 32, 0)), kSimIdcode);
  Channel.MoveToState(kDrExit1, kIdle);
  Channel.SendInstruction(kIdcode, 0);
  Channel.MoveToState(kIdle, kDrShift);
  EXPECT_EQ(Channel.ShiftDataBits(BitText(0, 32), 0), BitText(kSimIdcode, 32))
      << "bit text comes back most significant bit first";
  Channel.CloseChannel();
  EXPECT_FALSE(Host.Channel().IsOpen());
}

TEST_F(TestHost, DebugPortPowersUpThroughTheChannelObject) {
  Channel.OpenChannel();
  Channel.MoveToState(0, kReset);
  Channel.MoveToState(kReset, kIdle);
  Channel.MoveToState(kIdle, kIrShift);
  Channel.ShiftInstruction(kDpacc, 0);
  Channel.MoveToState(kIrExit1, kDrShift);
  const unsigned kOkFault = 2, kCtrlStat = 0x4, kRdBuff = 0xC;
  EXPECT_EQ(Scan(0x50000000, kCtrlStat, false) & 7, kOkFault);
  uint32_t status = 0;
  for (int i = 0; i < 10 && (status & 0xF0000000) != 0xF0000000; ++i) {
    Scan(0, kCtrlStat, true);
    const uint64_t answer = Scan(0, kRdBuff, true);
    EXPECT_EQ(answer & 7, kOkFault);
    status = uint32_t(answer >> 3);
  }
  EXPECT_EQ(status & 0xF0000000, 0xF0000000u) << "both power-up requests acknowledged";
  Channel.CloseChannel();
}

TEST_F(TestHost, RefusedScanIsAHostExceptionWithItsMessage) {
  Channel.OpenChannel();
  EXPECT_THROW(Channel.ShiftDataBits(L"0101", 7), EOleException);
  EXPECT_THROW(Channel.ShiftDataBits(L"01x1", 0), EOleException);
  EXPECT_THROW(Channel.ShiftDataCapture(0, 33, 0), EOleException);
  Channel.CloseChannel();
}

TEST_F(TestHost, ScanIntoTheCallersTextAnswersAsTheTextForm) {
  Channel.OpenChannel();
  Channel.MoveToState(0, kReset);
  Channel.SendInstruction(kIdcode, 0);
  Channel.MoveToState(kIdle, kDrShift);
  // Room left from a longer answer must not show through a shorter one.
  std::wstring answer(64, L'x');
  Channel.ShiftDataBitsInto(BitText(0, 32), 0, answer);
  EXPECT_EQ(answer, BitText(kSimIdcode, 32));
  Channel.MoveToState(kDrExit1, kIdle);
  Channel.MoveToState(kIdle, kDrShift);
  EXPECT_THROW(Channel.ShiftDataBitsInto(L"01x1", 0, answer), EOleException);
  EXPECT_EQ(answer, BitText(kSimIdcode, 32)) << "a refused scan leaves the text as it was";
  Channel.CloseChannel();
  Host.ChannelObject().ClearLog(); // the refusal is the point here
  for (const std::wstring& error : Host.Errors())
    ADD_FAILURE() << std::string(error.begin(), error.end());
}

TEST_F(TestHost, ScanRoadLogsNoCallsUntilATestAsks) {
  const ITarvoDevice device = ITarvoDevice::FromDispatch(Host.Device(0).Dispatch());
  EXPECT_EQ(device.GetJTagChannel().Intf(), Host.ChannelObject().Dispatch());
  Channel.MoveToState(0, kReset);
  EXPECT_TRUE(Host.ChannelObject().Calls().empty());
  EXPECT_TRUE(Host.Device(0).Calls().empty());

  Host.LogScanRoad();
  EXPECT_EQ(device.GetJTagIndex(), 0);
  Channel.MoveToState(kReset, kIdle);
  ASSERT_EQ(Host.Device(0).Calls().size(), 1u);
  EXPECT_EQ(Host.Device(0).Calls()[0].Operation, L"GetJTagIndex");
  ASSERT_EQ(Host.ChannelObject().Calls().size(), 1u);
  EXPECT_EQ(Host.ChannelObject().Calls()[0].DispId, 503605);
  EXPECT_EQ(V_I4(&Host.ChannelObject().Calls()[0].Declared(1)), kIdle);

  Host.LogScanRoad(false);
  Channel.MoveToState(kIdle, kDrShift);
  EXPECT_EQ(Host.ChannelObject().Calls().size(), 1u);
  EXPECT_TRUE(Host.Client().LogsCalls()) << "only the scan road is quiet";
}

TEST_F(TestHost, ChannelNamesItsPort) {
  EXPECT_EQ(Channel.GetJtagPort().Intf(), Host.Port().Dispatch());
}

TEST_F(TestHost, EveryTapHasADeviceOnTheSharedChannel) {
  ASSERT_EQ(Host.DeviceCount(), Host.Target().DeviceCount());
  ASSERT_GE(Host.DeviceCount(), 1u);
  for (unsigned position = 0; position < Host.DeviceCount(); ++position) {
    SCOPED_TRACE(position);
    const ITarvoDevice device = ITarvoDevice::FromDispatch(Host.Device(position).Dispatch());
    EXPECT_EQ(device.GetJTagIndex(), int32_t(position));
    EXPECT_EQ(device.GetJTagChannel().Intf(), Host.ChannelObject().Dispatch());
    EXPECT_EQ(device.GetDeviceName(), L"GenericDevice");
    EXPECT_EQ(device.GetFamilyName(), L"Generic");
    EXPECT_EQ(device.GetDeviceId(), L"TarvoDevice" + std::to_wstring(position + 1));
    EXPECT_EQ(device.GetProcessorState(), L"") << "unscripted calls answer typed defaults";
  }
}

TEST_F(TestHost, DeviceTellsTheNamesItWasGiven) {
  Host.SetDeviceNames(0, L"LM3S8962", L"Stellaris", L"TexasInstruments");
  const ITarvoDevice device = ITarvoDevice::FromDispatch(Host.Device(0).Dispatch());
  EXPECT_EQ(device.GetDeviceName(), L"LM3S8962");
  EXPECT_EQ(device.GetFamilyName(), L"Stellaris");
  EXPECT_EQ(device.GetVendorName(), L"TexasInstruments");
}

TEST_F(TestHost, SoftBreakpointReachesTheBoundDriverWithItsWholeAddress) {
  auto breakpoint = TFakeHostObject::Create({L"ISoftBreakpoint"});
  unsigned seenDevice = 99;
  int32_t seenSpace = -1;
  int64_t seenAddress = 0;
  Host.SetSoftBreakpointHandler([&](unsigned ADevice, int32_t ASpace, int64_t AAddress) {
    seenDevice = ADevice;
    seenSpace = ASpace;
    seenAddress = AAddress;
    return TComPtr<IDispatch>(breakpoint->Dispatch());
  });
  const ITarvoDevice device = ITarvoDevice::FromDispatch(Host.Device(0).Dispatch());
  const ISoftBreakpoint planted = device.AddSoftBreakpoint(1, 0x1'2000'0400LL);
  EXPECT_EQ(planted.Intf(), breakpoint->Dispatch());
  EXPECT_EQ(seenDevice, 0u);
  EXPECT_EQ(seenSpace, 1);
  EXPECT_EQ(seenAddress, 0x1'2000'0400LL);
}

TEST_F(TestHost, SoftBreakpointWithoutADriverFailsInsteadOfAnsweringEmpty) {
  const ITarvoDevice device = ITarvoDevice::FromDispatch(Host.Device(0).Dispatch());
  EXPECT_THROW(device.AddSoftBreakpoint(0, 0x20000000), EOleException);
}

TEST_F(TestHost, ClientAnswersTheObjectsOfTheMainRoad) {
  const IClient client = IClient::FromDispatch(Host.Client().Dispatch());
  EXPECT_EQ(client.GetClientAPI().Intf(), Host.ClientApi().Dispatch());
  EXPECT_FALSE(client.GetGUIManager().IsEmpty());
  EXPECT_FALSE(client.GetTimerManager().IsEmpty());
  EXPECT_EQ(client.GetPluginsRegistry().GetCount(), 0);
  EXPECT_FALSE(client.IsShuttingDown());
  EXPECT_FALSE(client.GetSourceName().empty());
}

using TGetInterface = HRESULT(WINAPI*)(IUnknown**);
using TGetCount = HRESULT(WINAPI*)(int32_t*);
using TGetPort = HRESULT(WINAPI*)(int32_t, IUnknown**);

template <class TEntry> TEntry EntryOf(HMODULE AModule, const char* AName) {
  return reinterpret_cast<TEntry>(reinterpret_cast<void*>(GetProcAddress(AModule, AName)));
}

// What an out-interface export hands back, with the reference it added.
TComPtr<IUnknown> Fetch(TGetInterface AEntry, HRESULT AExpected = S_OK) {
  TComPtr<IUnknown> out;
  EXPECT_EQ(AEntry(out.Receive()), AExpected);
  return out;
}

TEST(ClientExport, AnswersTheCurrentHostsClientAndNothingWithoutOne) {
  const auto entry =
      EntryOf<TGetInterface>(GetModuleHandleW(nullptr), "ClientAPI_GetClientInterface");
  ASSERT_NE(entry, nullptr) << "exported undecorated from the program";
  EXPECT_EQ(Fetch(entry).Get(), nullptr);
  {
    TTestHost host;
    const LONG before = host.Client().RefCount();
    {
      const TComPtr<IUnknown> client = Fetch(entry);
      EXPECT_EQ(client.Get(), static_cast<IUnknown*>(host.Client().Dispatch()));
      EXPECT_EQ(host.Client().RefCount(), before + 1) << "the caller owns one reference";
    }
    EXPECT_EQ(host.Client().RefCount(), before);
  }
  EXPECT_EQ(Fetch(entry).Get(), nullptr) << "a gone host is no longer answered";
  EXPECT_EQ(entry(nullptr), E_POINTER);
}

class TarvoManagerModule : public ::testing::Test {
protected:
  HMODULE Module = nullptr;
  void SetUp() override {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.erase(folder.find_last_of(L"\\/") + 1);
    Module = LoadLibraryW((folder + L"System\\TarvoManager.dll").c_str());
    ASSERT_NE(Module, nullptr) << "the stand-in lies in the host's System folder";
  }
  void TearDown() override {
    if (Module)
      FreeLibrary(Module);
  }
};

TEST_F(TarvoManagerModule, HandsOutTheCurrentHostsPortAndDeviceManager) {
  const auto count = EntryOf<TGetCount>(Module, "GetJTagPortCount");
  const auto port = EntryOf<TGetPort>(Module, "GetJTagPort");
  const auto manager = EntryOf<TGetInterface>(Module, "GetDeviceManager");
  ASSERT_TRUE(count && port && manager);

  int32_t ports = -1;
  EXPECT_EQ(count(&ports), S_OK);
  EXPECT_EQ(ports, 0) << "no host, no ports";
  EXPECT_EQ(Fetch(manager).Get(), nullptr);

  TTestHost host;
  EXPECT_EQ(count(&ports), S_OK);
  EXPECT_EQ(ports, 1);
  TComPtr<IUnknown> first;
  EXPECT_EQ(port(0, first.Receive()), S_OK);
  EXPECT_EQ(first.Get(), static_cast<IUnknown*>(host.Port().Dispatch()));
  TComPtr<IUnknown> beyond;
  EXPECT_EQ(port(1, beyond.Receive()), E_INVALIDARG);
  EXPECT_EQ(beyond.Get(), nullptr);
  EXPECT_EQ(Fetch(manager).Get(), static_cast<IUnknown*>(host.DeviceManager().Dispatch()));
}

} // namespace
