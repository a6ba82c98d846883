// The hard device viewer as the host meets it: the generic chain-device
// driver bound to the test host's device over the simulated chain makes it
// on the host's request, the host embeds its view into a rack window, real
// clicks send the device and flow actions to the host, the host's timer
// ticks (driven here, never waited for) light the lamps, and releasing the
// driver's panel leaves no window, timer or class behind.

#include "support/test-harness.h"
#include "client-access.h"
#include "controls.h"
#include "dialog-hook.h"
#include "forms.h"
#include "graphics.h"
#include "hard-device-viewer.h"
#include "rack-holder.h"
#include "sim-scan-target.h"
#include "tarvo-driver.h"
#include "test-host.h"
#include "xp-controls.h"

#include <gtest/gtest.h>

#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr DISPID kBindToDevice = 503754, kReleaseResources = 503812;
constexpr DISPID kGetJTagDevice = 503579, kGetBSDLEntity = 503550, kDeviceGetDriver = 503635;
constexpr DISPID kViewCaption = 53, kViewHandle = 54, kSetProjectDetails = 503699;
constexpr DISPID kRunCommand = 625, kShowDeviceInformation = 504001, kHandleTimerEvent = 267;

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

size_t CallsOf(const TFakeHostObject& AObject, DISPID ADispId) {
  size_t count = 0;
  for (const TFakeCall& call : AObject.Calls())
    count += call.DispId == ADispId;
  return count;
}

VARIANT Text(const std::wstring& AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocStringLen(AValue.data(), UINT(AValue.size()));
  return v;
}

VARIANT Object(IDispatch* AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = AValue;
  AValue->AddRef();
  return v;
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

// The generic driver of a chain device whose state the test sets: 1 reset,
// 2 programmed.
class TViewerDriver : public TTarvoDriver {
public:
  int32_t State = 0;
  HRESULT GetDeviceState(TDeviceState* AResult) override {
    *AResult = static_cast<TDeviceState>(State);
    return S_OK;
  }
};

struct TPlaced {
  TPanelControl Control;
  RECT Screen;
};

class HardDeviceViewer : public ::testing::Test {
protected:
  // The XP layer's start-up and shut-down, as the module runs them.
  static void SetUpTestSuite() { XPLibraryStartup(); }
  static void TearDownTestSuite() { XPLibraryShutdown(); }

  // The plug-in caches the host's client: each test's host is a new one.
  struct TClientAccessReset {
    TClientAccessReset() { ReleaseClientAccess(); }
    ~TClientAccessReset() { ReleaseClientAccess(); }
  } ClientReset;
  TSimChipTarget Target;
  TTestHost Host{Target};
  TDialogHook Dialogs;
  TComPtr<TFakeHostObject> ChainDevice = TFakeHostObject::Create({L"IJTagDevice"});
  TViewerDriver Driver;
  TRackHolder Holder;
  TRackPanel Panel;
  HWND Form = nullptr;

  // A device with a boundary-scan description at chain position 0, named
  // ADeviceName, its driver bound, its viewer embedded in the rack window.
  void Embed(const wchar_t* ADeviceName) {
    Host.SetDeviceNames(0, ADeviceName, L"Spartan3", L"Xilinx");
    TFakeHostObject* chain = ChainDevice.Get();
    chain->OnCall(kGetBSDLEntity, [chain](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(chain->Dispatch());
      return S_OK;
    });
    Host.ChannelObject().OnCall(kGetJTagDevice, [chain](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(chain->Dispatch());
      return S_OK;
    });
    Host.Device(0).OnCall(kDeviceGetDriver, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(static_cast<IDispatch*>(&Driver));
      return S_OK;
    });
    ASSERT_EQ(InvokeRack(Driver, kBindToDevice, {Object(Host.Device(0).Dispatch())}), S_OK);
    Host.Device(0).SetCallLog(true);
    Panel = EmbedRackPanel(Driver, Holder);
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
    EXPECT_EQ(InvokeRack(Driver, kReleaseResources, {}), S_OK);
    for (const std::wstring& error : Host.Errors())
      ADD_FAILURE() << Narrow(error);
    for (const TDialogHook::TDialog& dialog : Dialogs.Dialogs())
      ADD_FAILURE() << "a box showed: " << Narrow(dialog.Text);
  }

  THardDeviceViewerForm* Viewer() {
    return dynamic_cast<THardDeviceViewerForm*>(Driver.GetRackForm());
  }

  std::vector<TPanelControl> Controls() const { return ReadPanelControls(Form); }

  TPanelControl Control(const wchar_t* AName) const {
    const auto controls = Controls();
    const TPanelControl* control = FindPanelControl(controls, AName);
    return control ? *control : TPanelControl{};
  }

  // A control with its place on the screen (the listing gives each place
  // in its parent's client area; parents come before their children).
  TPlaced Place(const wchar_t* AName) const {
    std::vector<POINT> origins;
    for (const TPanelControl& control : Controls()) {
      origins.resize(size_t(control.Depth));
      POINT origin = {0, 0};
      if (control.Depth > 0)
        origin = origins.back();
      const POINT topLeft = {origin.x + control.Bounds.left, origin.y + control.Bounds.top};
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
  void Click(const wchar_t* AName) {
    const RECT screen = Place(AName).Screen;
    harness::ClickAtScreen((screen.left + screen.right) / 2, (screen.top + screen.bottom) / 2);
  }

  // The form as it paints itself into a DIB section.
  std::unique_ptr<TBitmap> Picture() const { return harness::PrintWindow(Form); }
  // Over a control's pixels: the channel (0 blue, 1 green, 2 red) above
  // the larger of the other two, summed.
  long Glow(TBitmap& APicture, const wchar_t* AName, int AChannel) const {
    RECT area = Place(AName).Screen;
    MapWindowPoints(nullptr, Form, reinterpret_cast<POINT*>(&area), 2);
    return harness::ChannelGlow(APicture, area, AChannel);
  }

  // The process and parameters of every command the host ran, in order.
  std::vector<std::pair<std::wstring, std::wstring>> Commands() {
    std::vector<std::pair<std::wstring, std::wstring>> commands;
    for (const TFakeCall& call : Host.Client().Calls())
      if (call.DispId == kRunCommand)
        commands.emplace_back(V_BSTR(&call.Declared(0)), V_BSTR(&call.Declared(1)));
    return commands;
  }
};

TEST_F(HardDeviceViewer, TheHostEmbedsTheViewerAtItsRackBoundsWithItsCaption) {
  Embed(L"XC3S400");
  EXPECT_EQ(Panel.Left, 0);
  EXPECT_EQ(Panel.Top, 0);
  EXPECT_EQ(Panel.Width, 724);
  EXPECT_EQ(Panel.Height, 97) << "the front plate's height";
  VARIANT caption;
  VariantInit(&caption);
  ASSERT_EQ(InvokeRack(*Panel.View.Get(), kViewCaption, {}, &caption,
                       DISPATCH_METHOD | DISPATCH_PROPERTYGET),
            S_OK);
  EXPECT_EQ(std::wstring(V_BSTR(&caption)), L"  JTAG Index: 0");
  VariantClear(&caption);
  EXPECT_EQ(GetParent(Form), Holder.Handle()) << "the viewer sits in the host's rack window";
  EXPECT_TRUE(IsWindowVisible(Form));
  RECT bounds;
  GetWindowRect(Form, &bounds);
  EXPECT_EQ(bounds.right - bounds.left, 724);
  EXPECT_EQ(bounds.bottom - bounds.top, 97);
  struct TCase {
    const wchar_t* Name;
    const wchar_t* Caption;
  };
  const TCase cases[] = {
      {L"Header_DeviceActions", L"DEVICE ACTIONS"},
      {L"Button_ResetHardDevice", L"Reset"},
      {L"Button_Download", L"Download"},
      {L"Button_CompileAndDownload", L"Compile && Download"},
      {L"Button_ChooseAndDownload", L"Choose && Download"},
      {L"Button_DeviceInformation", L"Device Information"},
      {L"Header_DeviceStatus", L"DEVICE STATUS"},
      {L"Label_Status", L""},
      {L"Label_Programmed", L"Programmed"},
      {L"Label_Reset", L"Reset"},
      {L"Button_ShowPinsState", L"JTAG Viewer Panel"},
  };
  for (const TCase& c : cases) {
    const TPanelControl control = Control(c.Name);
    EXPECT_EQ(control.Caption, c.Caption) << Narrow(c.Name);
    EXPECT_TRUE(control.Visible) << Narrow(c.Name);
  }
  EXPECT_FALSE(Control(L"CheckBox_LEDProgrammed").Enabled) << "a lamp, not a switch";
  EXPECT_FALSE(Control(L"CheckBox_LEDReset").Enabled);
}

TEST_F(HardDeviceViewer,
       EachActionSendsItsHostCommandWithTheOneBasedChainPositionThenReadsTheLamps) {
  Embed(L"XC3S400");
  struct TCase {
    const wchar_t* Button;
    const wchar_t* Process;
    const wchar_t* Parameters;
    int32_t StateAfter; // what the command leaves the device in
  };
  const TCase cases[] = {
      {L"Button_ResetHardDevice", L"Pelfrow:DeviceAction",
       L"Target=HardDevice|Action=ResetDevice|Index=1", 1},
      {L"Button_Download", L"Pelfrow:FlowAction", L"Action=DownloadExistingHardDeviceFile|Index=1",
       2},
      {L"Button_CompileAndDownload", L"Pelfrow:FlowAction",
       L"Action=CompileHardDeviceFileAndDownload|Index=1", 1},
      {L"Button_ChooseAndDownload", L"Pelfrow:DeviceAction",
       L"Target=HardDevice|Action=ChooseAndDownload|Index=1", 2},
  };
  int32_t* state = &Driver.State;
  for (const TCase& c : cases) {
    Host.Client().ClearLog();
    const int32_t after = c.StateAfter;
    Host.Client().OnCall(kRunCommand, [state, after](TFakeInvocation&) {
      *state = after;
      return S_OK;
    });
    Click(c.Button);
    ASSERT_TRUE(PumpUntil([&] { return CallsOf(Host.Client(), kRunCommand) == 1; }))
        << Narrow(c.Button);
    const auto commands = Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].first, c.Process) << Narrow(c.Button);
    EXPECT_EQ(commands[0].second, c.Parameters) << Narrow(c.Button);
    // No timer tick came: the lamps were read once the command returned.
    EXPECT_EQ(Control(L"CheckBox_LEDReset").Checked, after == 1) << Narrow(c.Button);
    EXPECT_EQ(Control(L"CheckBox_LEDProgrammed").Checked, after == 2) << Narrow(c.Button);
  }

  // A device of its own: the host's device manager shows its information.
  Host.Client().ClearLog();
  Host.DeviceManager().ClearLog();
  Click(L"Button_DeviceInformation");
  ASSERT_TRUE(
      PumpUntil([&] { return CallsOf(Host.DeviceManager(), kShowDeviceInformation) == 1; }));
  const TFakeCall& call = Host.DeviceManager().Calls().back();
  EXPECT_EQ(std::wstring(V_BSTR(&call.Declared(0))), L"XC3S400");
  EXPECT_EQ(std::wstring(V_BSTR(&call.Declared(1))), L"Mode=Browse");
  EXPECT_TRUE(Commands().empty());
}

TEST_F(HardDeviceViewer, AGenericDeviceOffersNoDownloadsAndMapsItsJtagIdForItsInformation) {
  Embed(L"GenericDevice");
  for (const wchar_t* name : {L"Button_ResetHardDevice", L"Button_Download",
                              L"Button_CompileAndDownload", L"Button_ChooseAndDownload"})
    EXPECT_FALSE(Control(name).Enabled) << Narrow(name);
  EXPECT_TRUE(Control(L"Button_DeviceInformation").Enabled);
  EXPECT_TRUE(Control(L"Button_ShowPinsState").Enabled);

  Host.Client().ClearLog();
  Click(L"Button_Download"); // disabled: nothing happens
  Click(L"Button_DeviceInformation");
  ASSERT_TRUE(PumpUntil([&] { return CallsOf(Host.Client(), kRunCommand) >= 1; }));
  const auto commands = Commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].first, L"Pelfrow:DeviceAction");
  EXPECT_EQ(commands[0].second, L"Target=HardDevice|Action=ConfigureJTAGIdMapping|Index=1");
  EXPECT_EQ(CallsOf(Host.DeviceManager(), kShowDeviceInformation), 0u);
}

TEST_F(HardDeviceViewer, TheLampsFollowTheDriverStateAtEachTickOfTheViewersHostTimer) {
  Embed(L"XC3S400");
  ASSERT_EQ(Host.Timers().size(), 1u);
  const TTestHost::THostTimer timer = Host.Timers()[0];
  EXPECT_EQ(timer.Interval, 1000);
  EXPECT_TRUE(timer.Enabled);
  EXPECT_EQ(timer.Handler.Get(), Viewer()->AutomationInterface())
      << "the host holds the form's own interface as the timer handler";

  struct TCase {
    int32_t State;
    bool Reset, Programmed;
  };
  const TCase cases[] = {{2, false, true}, {0, false, false}, {1, true, false}, {3, false, false}};
  std::unique_ptr<TBitmap> pictures[4];
  for (size_t i = 0; i < std::size(cases); ++i) {
    const TCase& c = cases[i];
    Driver.State = c.State;
    ASSERT_EQ(Host.TickTimer(timer.Id), S_OK);
    EXPECT_EQ(Control(L"CheckBox_LEDReset").Checked, c.Reset) << c.State;
    EXPECT_EQ(Control(L"CheckBox_LEDProgrammed").Checked, c.Programmed) << c.State;
    pictures[i] = Picture();
  }
  EXPECT_GT(Glow(*pictures[0], L"CheckBox_LEDProgrammed", 1),
            Glow(*pictures[1], L"CheckBox_LEDProgrammed", 1) + 50)
      << "the Programmed lamp glows green in state 2";
  EXPECT_GT(Glow(*pictures[2], L"CheckBox_LEDReset", 2),
            Glow(*pictures[1], L"CheckBox_LEDReset", 2) + 50)
      << "the Reset lamp glows in state 1";

  // A call for another timer id changes nothing and asks the host nothing.
  Host.Device(0).ClearLog();
  Driver.State = 2;
  VARIANTARG arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = int32_t(timer.Id + 1);
  DISPPARAMS params = {&arg, nullptr, 1, 0};
  EXPECT_EQ(timer.Handler->Invoke(kHandleTimerEvent, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                  &params, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_FALSE(Control(L"CheckBox_LEDProgrammed").Checked);
  EXPECT_EQ(CallsOf(Host.Device(0), kDeviceGetDriver), 0u);

  // A host that fails the state read: the tick answers E_UNEXPECTED.
  Host.Device(0).OnCall(kDeviceGetDriver, [](TFakeInvocation& AInvocation) {
    return AInvocation.Raise(L"the device is gone");
  });
  EXPECT_EQ(Host.TickTimer(timer.Id), E_UNEXPECTED);
  Host.Device(0).OnCall(kDeviceGetDriver, [this](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(static_cast<IDispatch*>(&Driver));
    return S_OK;
  });
}

TEST_F(HardDeviceViewer, TheStatusLineShowsTheProjectsDisplayNameAndTarget) {
  Embed(L"XC3S400");
  struct TCase {
    const wchar_t* Path;
    const wchar_t* Target;
    const wchar_t* Shown;
  };
  const TCase cases[] = {
      {L"C:\\Designs\\Blinky\\Blinky.PrjFpg", L"Spartan3 Board", L"Blinky.PrjFpg / Spartan3 Board"},
      {L"", L"", L"No Compatible Project Configurations Found"},
      {L"", L"Spartan3 Board", L" / Spartan3 Board"},
  };
  for (const TCase& c : cases) {
    ASSERT_EQ(InvokeRack(*Panel.View.Get(), kSetProjectDetails, {Text(c.Path), Text(c.Target)}),
              S_OK);
    EXPECT_EQ(Control(L"Label_Status").Caption, c.Shown) << Narrow(c.Path);
  }
}

TEST_F(HardDeviceViewer, ReleasingThePanelLeavesNoWindowTimerHandlerOrClass) {
  Embed(L"XC3S400");
  ASSERT_EQ(Host.Timers().size(), 1u);
  // A host that still holds the form's interface after the form is gone.
  const TComPtr<IDispatch> held = Host.Timers()[0].Handler;
  const uint32_t id = Host.Timers()[0].Id;
  ASSERT_EQ(ReleaseRackPanel(Panel), S_OK);
  ASSERT_EQ(InvokeRack(Driver, kReleaseResources, {}), S_OK);
  EXPECT_TRUE(Host.Timers().empty()) << "the viewer removed its host timer";
  EXPECT_TRUE(Host.NotificationHandlers().empty());
  EXPECT_FALSE(IsWindow(Form)) << "the viewer's window is gone";
  EXPECT_EQ(GetWindow(Holder.Handle(), GW_CHILD), nullptr);
  VARIANTARG arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = int32_t(id);
  DISPPARAMS params = {&arg, nullptr, 1, 0};
  EXPECT_EQ(held->Invoke(kHandleTimerEvent, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                         nullptr, nullptr, nullptr),
            E_UNEXPECTED)
      << "a late tick reaches no form";

  // The module's unload gives back the framework's classes.
  FinalizeForms();
  FinalizeFramework();
  for (const wchar_t* name : {L"OrvandelControl", L"OrvandelInstrumentForm"}) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), name, &windowClass)) << Narrow(name);
  }
}

} // namespace
