// The ARM controller panel of the plug-in's Stellaris driver as the host
// meets it: embedded by DISPID into a rack window of the test host, driven
// by real mouse input, reading the simulated chip through the host's device
// object, and gone with the plug-in.

#include "cli-common.h"
#include "cli-part.h"
#include "device-processor.h"
#include "dialog-hook.h"
#include "host-records.h"
#include "plugin-library.h"
#include "rack-holder.h"
#include "sim-scan-target.h"
#include "support/test-harness.h"
#include "test-host.h"
#include "thumb-text.h"

#include <gtest/gtest.h>

#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr DISPID kPause = 503797, kContinue = 503798, kSetRegister = 503766, kPcIndex = 503772,
                 kSpIndex = 503773, kReleaseResources = 503812;
constexpr DISPID kDeviceState = 503645, kDeviceStep = 503648, kDeviceReset = 503650,
                 kDevicePause = 503651, kDeviceContinue = 503652, kDriverStep = 503794;
constexpr DISPID kUpdateDisplay = 503697;
constexpr DISPID kViewHide = 55, kViewShow = 58, kViewCaption = 53, kViewHandle = 54;
constexpr DISPID kRunCommand = 625;

constexpr uint32_t kProgram = 0x20000000, kStack = 0x20001000;
// adds r0, #1; b kProgram: a loop the core runs until it is halted.
constexpr uint16_t kLoop[] = {0x3001, 0xE7FD};

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

std::wstring Hex0x(uint32_t AValue, int ADigits) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%0*X", ADigits, AValue);
  return text;
}

size_t CallsOf(const TFakeHostObject& AObject, DISPID ADispId) {
  size_t count = 0;
  for (const TFakeCall& call : AObject.Calls())
    count += call.DispId == ADispId;
  return count;
}

// Runs the program's messages until ADone, or fails after ten seconds.
bool PumpUntil(const std::function<bool()>& ADone) {
  const ULONGLONG limit = GetTickCount64() + 10000;
  while (!ADone()) {
    if (GetTickCount64() > limit)
      return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return true;
}

// Ticks of the pacing timer of the test.
unsigned GPaceTicks = 0;

void CALLBACK PaceTick(HWND, UINT, UINT_PTR, DWORD) {
  ++GPaceTicks;
}

// Runs the messages through ACount ticks of a timer with the panel's
// period: the panel's own timer had as many chances to poll.
void PumpPollPeriods(unsigned ACount) {
  const unsigned until = GPaceTicks + ACount;
  const UINT_PTR pace = SetTimer(nullptr, 0, 250, &PaceTick);
  PumpUntil([&] { return GPaceTicks >= until; });
  KillTimer(nullptr, pace);
}

BOOL CALLBACK CollectWindow(HWND AWindow, LPARAM AList) {
  reinterpret_cast<std::vector<HWND>*>(AList)->push_back(AWindow);
  return TRUE;
}

struct TPlaced {
  TPanelControl Control;
  RECT Screen; // on the screen
};

class RackPanel : public ::testing::Test {
protected:
  TSimChipTarget Target;
  TTestHost Host{Target};
  TDialogHook Dialogs;
  TPluginLibrary Plugin;
  IDispatch* Driver = nullptr;
  TRackHolder Holder;
  TRackPanel Panel;
  HWND Form = nullptr;

  void SetUp() override {
    ASSERT_TRUE(Plugin.Load(DefaultPluginPath())) << Narrow(Plugin.ErrorText());
    Driver = BindPartDriver(Plugin, Host, L"LM3S811");
    ASSERT_NE(Driver, nullptr);
    ServeProcessorFromDriver(Host.Device(0), *Driver);
    Host.Device(0).SetCallLog(true);
    // A loop in RAM, running.
    Call(kPause);
    for (size_t i = 0; i < std::size(kLoop); ++i)
      ASSERT_TRUE(Target.Sim().Chip().DebugWrite(kProgram + 2 * uint32_t(i), 2, kLoop[i]));
    Call(kSetRegister, {IntVariant(Number(kPcIndex)), IntVariant(int32_t(kProgram))});
    Call(kSetRegister, {IntVariant(Number(kSpIndex)), IntVariant(int32_t(kStack))});
    Call(kContinue);
    Panel = EmbedRackPanel(*Driver, Holder);
    ASSERT_EQ(Panel.Answer(), S_OK);
    VARIANT handle;
    VariantInit(&handle);
    ASSERT_EQ(InvokeRack(*Panel.View.Get(), kViewHandle, {}, &handle,
                         DISPATCH_METHOD | DISPATCH_PROPERTYGET),
              S_OK);
    Form = reinterpret_cast<HWND>(static_cast<INT_PTR>(V_I4(&handle)));
    ASSERT_TRUE(IsWindow(Form));
    SetForegroundWindow(Holder.Handle());
  }

  void TearDown() override {
    if (Panel.View) {
      EXPECT_EQ(ReleaseRackPanel(Panel), S_OK);
    }
    if (Driver) {
      Call(kReleaseResources);
      Driver->Release();
    }
    for (const std::wstring& error : Host.Errors())
      ADD_FAILURE() << Narrow(error);
    for (const TDialogHook::TDialog& dialog : Dialogs.Dialogs())
      ADD_FAILURE() << "a box showed: " << Narrow(dialog.Text);
  }

  void Call(DISPID ADispId, std::vector<VARIANT> AArgs = {}) {
    ASSERT_EQ(InvokeRack(*Driver, ADispId, std::move(AArgs)), S_OK) << ADispId;
  }

  int32_t Number(DISPID ADispId) {
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(InvokeRack(*Driver, ADispId, {}, &result, DISPATCH_METHOD | DISPATCH_PROPERTYGET),
              S_OK);
    VariantChangeType(&result, &result, 0, VT_I4);
    return V_I4(&result);
  }

  std::vector<TPanelControl> Controls() const { return ReadPanelControls(Form); }

  std::wstring Text(const wchar_t* AName) const {
    const auto controls = Controls();
    const TPanelControl* control = FindPanelControl(controls, AName);
    return control ? control->Caption : L"<none>";
  }

  bool Checked(const wchar_t* AName) const {
    const auto controls = Controls();
    const TPanelControl* control = FindPanelControl(controls, AName);
    return control && control->Checked;
  }

  // A control with its place on the screen (the listing gives each place
  // in its parent's client area; parents come before their children).
  TPlaced Place(const wchar_t* AName) const {
    const auto controls = Controls();
    std::vector<POINT> origins;
    for (const TPanelControl& control : controls) {
      origins.resize(size_t(control.Depth));
      POINT origin = {0, 0};
      if (control.Depth > 0)
        origin = origins.back();
      POINT topLeft = {origin.x + control.Bounds.left, origin.y + control.Bounds.top};
      if (control.Name == AName) {
        POINT screen = topLeft;
        ClientToScreen(Form, &screen);
        return {control,
                {screen.x, screen.y, screen.x + control.Bounds.right - control.Bounds.left,
                 screen.y + control.Bounds.bottom - control.Bounds.top}};
      }
      origins.push_back(topLeft);
    }
    ADD_FAILURE() << "no control " << Narrow(AName);
    return {};
  }

  // A real left click in the middle of a control, through the input queue.
  void Click(const wchar_t* AName) { ClickAt(Place(AName).Screen, 0.5, 0.5); }
  void ClickAt(const RECT& ARect, double AX, double AY) {
    const int x = ARect.left + int((ARect.right - ARect.left) * AX);
    const int y = ARect.top + int((ARect.bottom - ARect.top) * AY);
    harness::ClickAtScreen(x, y);
  }

  // The form as it paints itself, and how strongly one colour channel
  // stands out inside a control.
  std::unique_ptr<TBitmap> Picture() const { return harness::PrintWindow(Form); }
  // Over the control's pixels: the channel (0 blue, 1 green, 2 red) above
  // the larger of the other two, summed.
  long Glow(TBitmap& APicture, const wchar_t* AName, int AChannel) const {
    RECT area = Place(AName).Screen;
    MapWindowPoints(nullptr, Form, reinterpret_cast<POINT*>(&area), 2);
    return harness::ChannelGlow(APicture, area, AChannel);
  }

  uint32_t ChipPc() { return Target.Sim().Chip().Core().GetPC(); }
  uint32_t ChipSp() { return Target.Sim().Chip().Core().ReadRegister(13); }
  uint16_t ChipHalfword(uint32_t AAddress) {
    uint32_t value = 0;
    Target.Sim().Chip().DebugRead(AAddress, 2, value);
    return uint16_t(value);
  }
};

TEST_F(RackPanel, TheHostEmbedsThePanelAtItsRackBoundsWithItsCaptionAndCoreHeader) {
  EXPECT_EQ(Panel.Left, 0);
  EXPECT_EQ(Panel.Top, 0);
  EXPECT_EQ(Panel.Width, 724);
  EXPECT_EQ(Panel.Height, 108);
  VARIANT caption;
  VariantInit(&caption);
  ASSERT_EQ(InvokeRack(*Panel.View.Get(), kViewCaption, {}, &caption,
                       DISPATCH_METHOD | DISPATCH_PROPERTYGET),
            S_OK);
  EXPECT_EQ(std::wstring(V_BSTR(&caption)), L"  JTAG Index: 0");
  VariantClear(&caption);
  EXPECT_EQ(GetParent(Form), Holder.Handle()) << "the panel sits in the host's rack window";
  EXPECT_TRUE(IsWindowVisible(Form));
  RECT bounds;
  GetWindowRect(Form, &bounds);
  EXPECT_EQ(bounds.right - bounds.left, 724);
  EXPECT_EQ(bounds.bottom - bounds.top, 108);
  // The front plate's header: "port/chain position" and the core, or the
  // device's name without a core in the host's workbench.
  struct TCase {
    bool HasCore;
    const wchar_t* CoreText;
  };
  const TCase cases[] = {{true, L"U1 (ARM Cortex-M3)"}, {false, L"(GenericDevice )"}};
  for (const TCase& c : cases) {
    Host.SetCoreOfDevice(c.HasCore, L"U1", L"ARM Cortex-M3");
    ASSERT_EQ(InvokeRack(*Panel.View.Get(), kUpdateDisplay, {}), S_OK);
    const auto controls = Controls();
    const auto shows = [&controls](const std::wstring& AText) {
      return std::any_of(controls.begin(), controls.end(),
                         [&](const TPanelControl& AControl) { return AControl.Caption == AText; });
    };
    EXPECT_TRUE(shows(L"0/0")) << "the JTAG display: port 0, chain position 0";
    EXPECT_TRUE(shows(c.CoreText)) << Narrow(c.CoreText);
  }
}

TEST_F(RackPanel, TheButtonsRunTheSimulatedCoreAndEachPollShowsWhereItStands) {
  // Running: no registers shown, the Running lamp lit.
  ASSERT_TRUE(PumpUntil([&] { return Checked(L"CheckBox_Running"); }));
  EXPECT_EQ(Text(L"Label_Edit_PC"), L"");
  auto running = Picture();
  harness::SaveScreenshot(L"arm-panel-running", *running);

  Click(L"Button_Pause");
  ASSERT_TRUE(PumpUntil([&] { return CallsOf(Host.Device(0), kDevicePause) == 1; }));
  EXPECT_TRUE(Target.Sim().Chip().IsHalted());
  const uint32_t pc = ChipPc();
  ASSERT_TRUE(PumpUntil([&] { return Text(L"Label_Edit_PC") == Hex0x(pc, 8); }))
      << Narrow(Text(L"Label_Edit_PC"));
  const uint16_t word = ChipHalfword(pc);
  EXPECT_EQ(Text(L"Label_Edit_SP"), Hex0x(ChipSp(), 8));
  EXPECT_EQ(Text(L"Label_Edit_Instruction"), Hex0x(word, 4));
  const std::string text = DecodeThumb(pc, word, ChipHalfword(pc + 2)).Text;
  EXPECT_EQ(Text(L"Label_Edit_Assembler"), std::wstring(text.begin(), text.end()));
  EXPECT_FALSE(Checked(L"CheckBox_Running"));
  auto halted = Picture();
  harness::SaveScreenshot(L"arm-panel-halted", *halted);
  EXPECT_GT(Glow(*running, L"CheckBox_Running", 1), Glow(*halted, L"CheckBox_Running", 1) + 50)
      << "the Running lamp glows green while the core runs";

  // Step: the lamp is lit while the host serves the step.
  bool litDuringStep = false;
  Host.Device(0).OnCall(kDeviceStep, [&](TFakeInvocation& AInvocation) {
    litDuringStep = Checked(L"CheckBox_Running");
    return FAILED(InvokeRack(*Driver, kDriverStep, {})) ? AInvocation.Raise(L"no step") : S_OK;
  });
  Click(L"Button_Step");
  ASSERT_TRUE(PumpUntil([&] { return CallsOf(Host.Device(0), kDeviceStep) == 1; }));
  EXPECT_TRUE(litDuringStep);
  const uint32_t next = ChipPc();
  EXPECT_NE(next, pc);
  ASSERT_TRUE(PumpUntil([&] { return Text(L"Label_Edit_PC") == Hex0x(next, 8); }));
  EXPECT_FALSE(Checked(L"CheckBox_Running")) << "the lamp goes out after the step";

  Click(L"Button_Continue");
  ASSERT_TRUE(PumpUntil([&] { return CallsOf(Host.Device(0), kDeviceContinue) == 1; }));
  ASSERT_TRUE(PumpUntil([&] { return Checked(L"CheckBox_Running"); }));
  for (const wchar_t* label :
       {L"Label_Edit_PC", L"Label_Edit_SP", L"Label_Edit_Instruction", L"Label_Edit_Assembler"})
    EXPECT_EQ(Text(label), L"") << Narrow(label);
  auto again = Picture();
  EXPECT_GT(Glow(*again, L"CheckBox_Running", 1), Glow(*halted, L"CheckBox_Running", 1) + 50);

  Click(L"Button_Reset");
  ASSERT_TRUE(PumpUntil([&] { return CallsOf(Host.Device(0), kDeviceReset) == 1; }));
  ASSERT_TRUE(PumpUntil([&] { return Checked(L"CheckBox_Reset"); }));
  auto reset = Picture();
  EXPECT_GT(Glow(*reset, L"CheckBox_Reset", 2), Glow(*halted, L"CheckBox_Reset", 2) + 50)
      << "the Reset lamp glows";
}

TEST_F(RackPanel, ThePanelPollsOnlyWhileShownWithPollingOnAndNoRefreshUnderWay) {
  ASSERT_TRUE(PumpUntil([&] { return CallsOf(Host.Device(0), kDeviceState) > 0; }));
  struct TCase {
    const char* Name;
    std::function<void()> Stop;
    std::function<void()> Resume;
  };
  unsigned nested = 0;
  bool inQuery = false;
  const TCase cases[] = {
      {"hidden", [&] { InvokeRack(*Panel.View.Get(), kViewHide, {}); },
       [&] { InvokeRack(*Panel.View.Get(), kViewShow, {}); }},
      {"Polling off", [&] { Click(L"CheckBox_Polling"); }, [&] { Click(L"CheckBox_Polling"); }},
  };
  for (const TCase& c : cases) {
    c.Stop();
    PumpPollPeriods(1); // the stop has arrived
    Host.Device(0).ClearLog();
    PumpPollPeriods(4);
    EXPECT_EQ(CallsOf(Host.Device(0), kDeviceState), 0u) << c.Name;
    c.Resume();
    EXPECT_TRUE(PumpUntil([&] { return CallsOf(Host.Device(0), kDeviceState) > 0; }))
        << c.Name << ": the polls resume";
  }
  // A host that runs its messages while it answers the state: the panel's
  // timer fires meanwhile, but no refresh starts inside the running one.
  Host.Device(0).OnCall(kDeviceState, [&](TFakeInvocation& AInvocation) {
    if (inQuery) {
      ++nested;
    } else {
      inQuery = true;
      PumpPollPeriods(4);
      inQuery = false;
    }
    AInvocation.ReturnText(L"Running");
    return S_OK;
  });
  Host.Device(0).ClearLog();
  ASSERT_TRUE(PumpUntil([&] { return CallsOf(Host.Device(0), kDeviceState) >= 2; }));
  EXPECT_EQ(nested, 0u);
}

TEST_F(RackPanel, APlateClickReachesTheHoldersWindowAndTheDebuggerButtonRunsTheHostCommand) {
  const TPlaced plate = Place(L"Panel_Main");
  ClickAt(plate.Screen, 0.9, 0.1);
  ASSERT_TRUE(PumpUntil([&] { return !Holder.Clicks().empty(); }));
  const TRackClick& click = Holder.Clicks().front();
  EXPECT_EQ(click.Message, UINT(WM_LBUTTONDOWN));
  const int width = plate.Screen.right - plate.Screen.left;
  const int height = plate.Screen.bottom - plate.Screen.top;
  EXPECT_NEAR(double(click.WParam), width * 0.9, 2.0) << "X in WParam";
  EXPECT_NEAR(double(click.LParam), height * 0.1, 2.0) << "Y in LParam, not packed";

  Host.Client().ClearLog();
  Click(L"Button_TarvoDebugger");
  ASSERT_TRUE(PumpUntil([&] { return CallsOf(Host.Client(), kRunCommand) == 1; }));
  for (const TFakeCall& call : Host.Client().Calls()) {
    if (call.DispId != kRunCommand)
      continue;
    EXPECT_EQ(std::wstring(V_BSTR(&call.Declared(0))), L"Client:CustomizeResources");
    const VARIANT& parameters = call.Declared(1);
    EXPECT_EQ(std::wstring(V_BSTR(&parameters)),
              L"ObjectKind=Panel|Action=Show|Id=TarvoDebuggerTarvoDevice1");
  }
}

TEST_F(RackPanel, TheHostsDeviceObjectAnswersFromTheBoundDriver) {
  const ITarvoDevice device = ITarvoDevice::FromDispatch(Host.Device(0).Dispatch());
  // Run control and the state it leaves, as the panel reads it.
  struct TState {
    std::function<void()> Do;
    const wchar_t* State;
  };
  const TState states[] = {
      {[&] { device.PauseProcessor(); }, L"Halted"},
      {[&] { device.ContinueProcessor(); }, L"Running"},
      {[&] { device.PauseProcessor(); }, L"Halted"},
      {[&] { device.SingleStepProcessor(); }, L"Halted"},
      {[&] { device.ResetProcessor(); }, L"Reset"},
  };
  for (const TState& s : states) {
    s.Do();
    EXPECT_EQ(device.GetProcessorState(), s.State);
  }
  // Registers by index, the PC's and SP's by their own calls: value, width
  // and writes reach the simulated core.
  device.PauseProcessor();
  const IProcessorRegister r0 = device.GetProcessorRegister(0);
  r0.SetValue(0x1234);
  EXPECT_EQ(Target.Sim().Chip().Core().ReadRegister(0), 0x1234u);
  EXPECT_EQ(r0.GetValue(), 0x1234);
  EXPECT_EQ(r0.GetWidth(), 32);
  device.GetRegister_SP().SetValue(int32_t(kStack - 8));
  EXPECT_EQ(ChipSp(), kStack - 8);
  EXPECT_EQ(uint32_t(device.GetRegister_PC().GetValue()), ChipPc());
}

TEST(RackPanelUnload, UnloadingWithThePanelShownLeavesNoWindowTimerOrClassOfThePlugin) {
  TSimChipTarget target;
  TTestHost host{target};
  TDialogHook dialogs;
  TRackHolder holder;
  HMODULE module = nullptr;
  {
    TPluginLibrary plugin;
    ASSERT_TRUE(plugin.Load(DefaultPluginPath()));
    module = plugin.Module();
    IDispatch* driver = BindPartDriver(plugin, host, L"LM3S811");
    ASSERT_NE(driver, nullptr);
    ServeProcessorFromDriver(host.Device(0), *driver);
    TRackPanel panel = EmbedRackPanel(*driver, holder);
    ASSERT_EQ(panel.Answer(), S_OK);
    PumpUntil([&] { return GetWindow(holder.Handle(), GW_CHILD) != nullptr; });
    PumpPollPeriods(2);
    // The host lets go of the view and the driver, and unloads the plug-in
    // with the panel still shown.
    panel.View.Reset();
    driver->Release();
  }
  EXPECT_TRUE(host.NotificationHandlers().empty())
      << "the panel's view let the host go of its notification handler";
  EXPECT_EQ(GetWindow(holder.Handle(), GW_CHILD), nullptr) << "the panel's window is gone";
  std::vector<HWND> left;
  EnumThreadWindows(GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&left));
  for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
       window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))
    left.push_back(window);
  for (HWND window : left)
    EXPECT_NE(HMODULE(GetClassLongPtrW(window, GCLP_HMODULE)), module)
        << "a window of the plug-in is left";
  for (const wchar_t* name :
       {L"OrvandelControl", L"OrvandelInstrumentForm", L"TDelayedDestroyer"}) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    EXPECT_FALSE(GetClassInfoExW(module, name, &windowClass)) << Narrow(name);
  }
  // No timer of the plug-in fires any more.
  unsigned foreignTicks = 0;
  const UINT_PTR pace = SetTimer(nullptr, 0, 250, nullptr);
  unsigned paceTicks = 0;
  PumpUntil([&] {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
      if (!message.hwnd && message.wParam == pace)
        ++paceTicks;
      else
        ++foreignTicks;
    }
    return paceTicks >= 3;
  });
  KillTimer(nullptr, pace);
  EXPECT_EQ(foreignTicks, 0u);
  for (const std::wstring& error : host.Errors())
    ADD_FAILURE() << Narrow(error);
}

} // namespace
