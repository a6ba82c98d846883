// The rack form and view bases and the ARM controller panel in the test
// program itself, over scripted host objects: register labels and
// register access, the front plate's core header, the view's calls by
// DISPID, its notification handler, and the panel's status display when
// the instruction bytes cannot be read.

#include "arm-instrument-form.h"
#include "client-access.h"
#include "host-modules.h"
#include "instrument-controls.h"
#include "instrument-forms.h"
#include "instrument-panel.h"
#include "instrument-views.h"
#include "memory-access.h"
#include "rack-holder.h"
#include "test-host.h"
#include "timers.h"

#include <gtest/gtest.h>

#include <oleauto.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr DISPID kGetDriver = 503635, kGetProcessorState = 503645, kGetProcessorRegister = 503661,
                 kGetRegister_PC = 503662, kGetRegister_SP = 503663,
                 kGetMemorySpace_Program = 503664, kLittleEndian = 503674, kPauseProcessor = 503651,
                 kGetDeviceName = 503380;
constexpr DISPID kRegisterRefresh = 503833, kRegisterGetWidth = 503838, kRegisterGetValue = 503839,
                 kRegisterSetValue = 503844;
constexpr DISPID kReducedInstructionSet = 503803;
constexpr DISPID kAddNotificationHandler = 527, kRemoveNotificationHandler = 528;
constexpr DISPID kUpdateDisplay = 503697, kGetRackBounds = 503700, kHidden = 503704;
constexpr DISPID kRunCommand = 625;

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

size_t CallsOf(const TFakeHostObject& AObject, DISPID ADispId) {
  size_t count = 0;
  for (const TFakeCall& call : AObject.Calls())
    count += call.DispId == ADispId;
  return count;
}

template <class T> TFakeHandler Answer(T AValue) {
  return [AValue](TFakeInvocation& AInvocation) {
    if constexpr (std::is_same_v<T, bool>)
      AInvocation.ReturnBool(AValue);
    else if constexpr (std::is_same_v<T, std::wstring>)
      AInvocation.ReturnText(AValue);
    else
      AInvocation.ReturnInt(int32_t(AValue));
    return S_OK;
  };
}

TFakeHandler AnswerObject(TFakeHostObject* AObject) {
  return [AObject](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(AObject ? AObject->Dispatch() : nullptr);
    return S_OK;
  };
}

// A register object with a value and a width.
TComPtr<TFakeHostObject> RegisterObject(int32_t AValue, int32_t AWidth) {
  TComPtr<TFakeHostObject> reg = TFakeHostObject::Create({L"IProcessorRegister"});
  reg->OnCall(kRegisterGetValue, Answer(AValue));
  reg->OnCall(kRegisterGetWidth, Answer(AWidth));
  reg->OnCall(kRegisterRefresh, [](TFakeInvocation&) { return S_OK; });
  return reg;
}

// The program memory space's object: it offers IMemoryAccess or not, and
// its read answers the bytes, a refused transfer or a failing call.
class TTestSpace final : public IDispatch, public IMemoryAccess {
public:
  bool OffersAccess = true;
  HRESULT ReadAnswer = S_OK;
  TLongBool ReadSuccess = LongTrue;
  std::vector<uint32_t> Bytes = {0x00, 0xBF, 0x00, 0xBF};
  unsigned Reads = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override {
    *AObject = nullptr;
    if (IsEqualIID(AIid, IID_IUnknown) || IsEqualIID(AIid, IID_IDispatch))
      *AObject = static_cast<IDispatch*>(this);
    else if (OffersAccess && IsEqualIID(AIid, IID_IMemoryAccess))
      *AObject = static_cast<IMemoryAccess*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
  ULONG STDMETHODCALLTYPE Release() override { return --FRefs; } // lives on the stack
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE MemoryRead(int32_t, PMemoryArray ABuffer, int64_t, int32_t ACount,
                                       TLongBool* ASuccess) override {
    ++Reads;
    if (FAILED(ReadAnswer))
      return ReadAnswer;
    for (int32_t i = 0; i < ACount && size_t(i) < Bytes.size(); ++i)
      ABuffer[i] = Bytes[size_t(i)];
    *ASuccess = ReadSuccess;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MemoryWrite(int32_t, PMemoryArray, int64_t, int32_t,
                                        TLongBool*) override {
    return E_NOTIMPL;
  }

private:
  ULONG FRefs = 1;
};

// A halted Thumb processor at PC 0x20000100 behind a scripted device.
struct TScriptedDevice {
  TComPtr<TFakeHostObject> Device = TFakeHostObject::Create({L"ITarvoDevice"});
  TComPtr<TFakeHostObject> Driver = TFakeHostObject::Create({L"ITarvoDriver"});
  TComPtr<TFakeHostObject> Pc = RegisterObject(0x20000100, 32);
  TComPtr<TFakeHostObject> Sp = RegisterObject(0x20001FF0, 32);
  TTestSpace Space;
  std::wstring State = L"Halted";
  bool HasDriver = true;

  TScriptedDevice() {
    Device->OnCall(kGetProcessorState, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnText(State);
      return S_OK;
    });
    Device->OnCall(kGetRegister_PC, AnswerObject(Pc.Get()));
    Device->OnCall(kGetRegister_SP, AnswerObject(Sp.Get()));
    Device->OnCall(kGetDriver, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(HasDriver ? Driver->Dispatch() : nullptr);
      return S_OK;
    });
    Device->OnCall(kGetMemorySpace_Program, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(&Space);
      return S_OK;
    });
    Device->OnCall(kLittleEndian, Answer(true));
    Device->OnCall(kGetDeviceName, Answer(std::wstring(L"LM3S811")));
    Driver->OnCall(kReducedInstructionSet, Answer(true));
  }
  ITarvoDevice Record() { return ITarvoDevice::FromDispatch(Device->Dispatch()); }
};

class PanelForms : public ::testing::Test {
protected:
  TTestHost Host;

  // Each test's host is the client the panels find, and the workbench's.
  void SetUp() override {
    ReleaseHostModules();
    ReleaseClientAccess();
  }
  void TearDown() override {
    ReleaseHostModules();
    ReleaseClientAccess();
    for (const std::wstring& error : Host.Errors())
      ADD_FAILURE() << Narrow(error);
  }
};

// ---- register labels and register access -----------------------------------------

TEST_F(PanelForms, RegisterLabelsShowHexDecimalAndBinaryJoinedByDashes) {
  struct TCase {
    int32_t Value, Width;
    bool Hex, Decimal, Binary;
    const wchar_t* Text;
  };
  const TCase cases[] = {
      {31, 32, true, false, false, L"0x0000001F"},
      {31, 12, true, false, false, L"0x01F"},
      {31, 4, true, false, false, L"0x1F"},
      {31, 40, true, false, false, L"0x0000001F"},
      {0x1234, 8, true, false, false, L"0x1234"}, // more digits than the width needs stay
      {0x5A, 8, true, true, true, L"0x5A - 90 - 0101-1010"},
      {0x5A, 8, false, true, false, L"90"},
      {0x2A, 6, false, false, true, L"10-1010"},
      {-1, 32, false, true, false, L"4294967295"},
  };
  TScriptedDevice device;
  TARM_BaseInstrumentForm form{ITarvoDevice(), IJTagDevice()};
  const IProcessorRegister reg = IProcessorRegister::FromDispatch(device.Pc->Dispatch());
  for (const TCase& c : cases) {
    form.ShowRegisterValue(reg, *form.Label_Edit_SP, c.Hex, c.Decimal, c.Binary, c.Value, c.Width);
    EXPECT_EQ(form.Label_Edit_SP->Caption(), c.Text) << c.Value << "/" << c.Width;
  }
  // Width 0: the register is refreshed and asked for its value and width.
  form.ShowRegisterValue(reg, *form.Label_Edit_SP, true, false, false, 0, 0);
  EXPECT_EQ(form.Label_Edit_SP->Caption(), L"0x20000100");
  EXPECT_EQ(CallsOf(*device.Pc.Get(), kRegisterRefresh), 1u);
  // No register: the label is blanked.
  form.ShowRegisterValue(IProcessorRegister(), *form.Label_Edit_SP, true, true, true, 5, 8);
  EXPECT_EQ(form.Label_Edit_SP->Caption(), L"");
}

TEST_F(PanelForms, ARegisterReadDuringAnotherAccessAnswersZeroWithoutAskingTheHostButAWriteGoesOn) {
  TScriptedDevice device;
  TARM_BaseInstrumentForm form{ITarvoDevice(), IJTagDevice()};
  form.SetTarvoDevice(device.Record());
  TComPtr<TFakeHostObject> reg = RegisterObject(0x1234, 32);
  device.Device->OnCall(kGetProcessorRegister, AnswerObject(reg.Get()));
  int32_t nestedRead = -1;
  bool busyDuringRead = false;
  // The host pumps messages while it reads; the form is entered again.
  reg->OnCall(kRegisterGetValue, [&](TFakeInvocation& AInvocation) {
    busyDuringRead = form.DeviceBusy();
    nestedRead = form.GetRegisterValue(3);
    form.SetRegisterValue(3, 0x55);
    AInvocation.ReturnInt(0x1234);
    return S_OK;
  });
  reg->OnCall(kRegisterSetValue, [](TFakeInvocation&) { return S_OK; });
  EXPECT_EQ(form.GetRegisterValue(3), 0x1234);
  EXPECT_TRUE(busyDuringRead);
  EXPECT_EQ(nestedRead, 0);
  EXPECT_EQ(CallsOf(*device.Device.Get(), kGetProcessorRegister), 2u)
      << "the outer read and the nested write; the nested read asked nothing";
  ASSERT_EQ(CallsOf(*reg.Get(), kRegisterSetValue), 1u);
  EXPECT_FALSE(form.DeviceBusy());
  // A failing host read leaves the form free for the next one.
  reg->OnCall(kRegisterGetValue,
              [](TFakeInvocation& AInvocation) { return AInvocation.Raise(L"target lost"); });
  EXPECT_THROW(form.GetRegisterValue(3), std::exception);
  EXPECT_FALSE(form.DeviceBusy());
  // No such register, no device.
  device.Device->OnCall(kGetProcessorRegister, AnswerObject(nullptr));
  EXPECT_EQ(form.GetRegisterValue(99), 0);
  form.SetTarvoDevice(ITarvoDevice());
  EXPECT_EQ(form.GetRegisterValue(3), 0);
}

// ---- the view by DISPID ------------------------------------------------------------

std::vector<VARIANT> BoundRefs(LONG (&AValues)[4]) {
  std::vector<VARIANT> refs(4);
  for (int i = 0; i < 4; ++i) {
    VariantInit(&refs[i]);
    V_VT(&refs[i]) = VT_I4 | VT_BYREF;
    V_I4REF(&refs[i]) = &AValues[i];
  }
  return refs;
}

class TPlainForm : public TInstrumentForm {
public:
  using TInstrumentForm::TInstrumentForm;
};

TEST_F(PanelForms, RackBoundsAre724WideAtTheOriginAndAsHighAsTheFrontPlate) {
  struct TCase {
    const char* Name;
    std::function<TInstrumentForm*()> Make;
    LONG Bounds[4];
  };
  const TCase cases[] = {
      {"the ARM panel",
       [] { return new TARM_BaseInstrumentForm(ITarvoDevice(), IJTagDevice()); },
       {0, 0, 724, 108}},
      {"a form that is not a rack form",
       [] {
         auto* form = new TPlainForm(ITarvoDevice());
         form->SetBorderStyle(bsNone);
         form->SetBounds(30, 40, 500, 200);
         return form;
       },
       {0, 0, 724, 200}},
      {"no form", [] { return nullptr; }, {0, 0, 724, -7}},
  };
  for (const TCase& c : cases) {
    IInstrumentView view = CreateRackInstrumentView(c.Make());
    LONG bounds[4] = {-7, -7, -7, -7};
    EXPECT_EQ(InvokeRack(*view.Intf(), kGetRackBounds, BoundRefs(bounds)), S_OK) << c.Name;
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(bounds[i], c.Bounds[i]) << c.Name << " " << i;
  }
}

TEST_F(PanelForms, AViewIsRegisteredForNotificationsWhileItLivesAndPassesThemToItsForm) {
  struct TNotedForm : TPlainForm {
    using TPlainForm::TPlainForm;
    unsigned Notes = 0;
    void ReceiveNotification(const INotification&) override { ++Notes; }
  };
  auto* form = new TNotedForm(ITarvoDevice());
  TComPtr<TFakeHostObject> notification = TFakeHostObject::Create({L"INotification"});
  {
    IInstrumentView view = CreateRackInstrumentView(form);
    EXPECT_EQ(CallsOf(Host.Client(), kAddNotificationHandler), 1u);
    ASSERT_EQ(Host.NotificationHandlers().size(), 1u);
    EXPECT_EQ(Host.Notify(notification->Dispatch()), S_OK);
    EXPECT_EQ(form->Notes, 1u);
    // The host keeps its own reference to the handler; the view goes all the same.
  }
  EXPECT_EQ(CallsOf(Host.Client(), kRemoveNotificationHandler), 1u);
  EXPECT_TRUE(Host.NotificationHandlers().empty())
      << "a freed view must not stay registered with the host";
  EXPECT_EQ(Host.Notify(notification->Dispatch()), S_OK);
}

TEST_F(PanelForms, TheViewPassesTheHostsCallsOnToItsForm) {
  struct TRecordingForm : TRackInstrumentForm {
    using TRackInstrumentForm::TRackInstrumentForm;
    int GetPreferredHeight() override { return 50; }
    void SetMouseHandler(const TRackMouseHandler&) override {}
    void SetProjectDetails(const std::wstring& APath, const std::wstring& ATarget) override {
      Details = APath + L"|" + ATarget;
    }
    bool LiveUpdateNet(const INet& ANet, int32_t AEnable) override {
      NetGiven = !ANet.IsEmpty();
      Enable = AEnable;
      return true;
    }
    void ReceiveNotification(const INotification&) override { ++Notes; }
    void Hidden() override { ++Hides; }
    std::wstring Details;
    bool NetGiven = false;
    int32_t Enable = -1;
    unsigned Notes = 0, Hides = 0;
  };
  const auto text = [](const wchar_t* AText) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(AText);
    return v;
  };
  const auto object = [](TFakeHostObject& AObject) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = AObject.Dispatch();
    return v;
  };
  auto* form = new TRecordingForm(ITarvoDevice());
  IInstrumentView view = CreateRackInstrumentView(form);
  IDispatch& v = *view.Intf();

  std::vector<VARIANT> details = {text(L"C:\\Designs\\Board.PrjPcb"), text(L"Core1")};
  EXPECT_EQ(InvokeRack(v, 503699, details), S_OK);
  EXPECT_EQ(form->Details, L"C:\\Designs\\Board.PrjPcb|Core1");
  for (VARIANT& d : details)
    VariantClear(&d);
  BSTR path = SysAllocString(L"stale"), target = SysAllocString(L"stale");
  std::vector<VARIANT> refs(2);
  for (VARIANT& r : refs) {
    VariantInit(&r);
    V_VT(&r) = VT_BSTR | VT_BYREF;
  }
  V_BSTRREF(&refs[0]) = &path;
  V_BSTRREF(&refs[1]) = &target;
  EXPECT_EQ(InvokeRack(v, 503698, refs), S_OK);
  EXPECT_EQ(std::wstring(path ? path : L""), L"C:\\Designs\\Board.PrjPcb");
  EXPECT_EQ(std::wstring(target ? target : L""), L"Core1");
  SysFreeString(path);
  SysFreeString(target);

  std::vector<VARIANT> bounds(4);
  const LONG values[4] = {5, 6, 700, 90};
  for (int i = 0; i < 4; ++i) {
    VariantInit(&bounds[size_t(i)]);
    V_VT(&bounds[size_t(i)]) = VT_I4;
    V_I4(&bounds[size_t(i)]) = values[i];
  }
  EXPECT_EQ(InvokeRack(v, 503701, bounds), S_OK);
  EXPECT_EQ(form->Left(), 5);
  EXPECT_EQ(form->Top(), 6);
  EXPECT_EQ(form->Width(), 700);
  EXPECT_EQ(form->Height(), 90);

  TComPtr<TFakeHostObject> net = TFakeHostObject::Create({L"INet"});
  VARIANT flag;
  VariantInit(&flag);
  V_VT(&flag) = VT_I4;
  V_I4(&flag) = 1;
  VARIANT answer;
  VariantInit(&answer);
  EXPECT_EQ(InvokeRack(v, 503702, {object(*net.Get()), flag}, &answer), S_OK);
  EXPECT_EQ(V_VT(&answer), VT_BOOL);
  EXPECT_EQ(V_BOOL(&answer), VARIANT_TRUE);
  EXPECT_TRUE(form->NetGiven);
  EXPECT_EQ(form->Enable, 1);

  TComPtr<TFakeHostObject> notification = TFakeHostObject::Create({L"INotification"});
  EXPECT_EQ(InvokeRack(v, 503703, {object(*notification.Get())}), S_OK);
  EXPECT_EQ(form->Notes, 1u);
  EXPECT_EQ(InvokeRack(v, kHidden, {}), S_OK);
  EXPECT_EQ(form->Hides, 1u);

  for (const wchar_t* name : {L"InstrumentView", L"instrumentview"}) {
    VARIANT service = text(name);
    VARIANT supported;
    VariantInit(&supported);
    EXPECT_EQ(InvokeRack(v, 1023, {service}, &supported), S_OK);
    EXPECT_EQ(V_VT(&supported), VT_BOOL);
    EXPECT_EQ(V_BOOL(&supported), VARIANT_TRUE) << Narrow(name);
    VariantClear(&service);
  }
}

TEST_F(PanelForms, FormsFreedAtUnloadingLeaveTheirViewsEmptyAndAnsweringSOk) {
  // The module's unloading frees every form, also those the host's views
  // still wrap and those waiting for their release.
  auto* wrapped = new TARM_BaseInstrumentForm(ITarvoDevice(), IJTagDevice());
  wrapped->Handle();
  auto* released = new TPlainForm(ITarvoDevice());
  released->Handle();
  released->Release();
  IInstrumentView view = CreateRackInstrumentView(wrapped);
  FinalizeForms();
  EXPECT_TRUE(TCustomForm::Forms().empty());
  for (DISPID dispId : {kUpdateDisplay, kHidden}) {
    EXPECT_EQ(InvokeRack(*view.Intf(), dispId, {}), S_OK) << dispId;
  }
  LONG bounds[4] = {-7, -7, -7, -7};
  EXPECT_EQ(InvokeRack(*view.Intf(), kGetRackBounds, BoundRefs(bounds)), S_OK);
  EXPECT_EQ(bounds[2], 724);
  EXPECT_EQ(bounds[3], -7);
}

// ---- the front plate's core header ------------------------------------------------

TEST_F(PanelForms, TheCoreHeaderShowsChainPositionPortAndCoreOrTheDeviceName) {
  struct TCase {
    const char* Name;
    bool HasChannel;
    bool PortKnown;
    bool HasCore;
    int32_t PortId;
    const wchar_t* CoreName;
  };
  const TCase cases[] = {
      {"a core in the workbench", true, true, true, 0, L"U7 (ARM Cortex-M3)"},
      {"no core", true, true, false, 0, L"(LM3S811 )"},
      {"a port the host does not list", true, false, false, -1, L"(LM3S811 )"},
      {"no channel", false, false, false, -1, L"(LM3S811 )"},
  };
  for (const TCase& c : cases) {
    TScriptedDevice device;
    device.Device->OnCall(503629, Answer(int32_t(3)));
    TComPtr<TFakeHostObject> channel = TFakeHostObject::Create({L"IJTagChannel"});
    TComPtr<TFakeHostObject> strayPort = TFakeHostObject::Create({L"IJtagPort"});
    channel->OnCall(503611, AnswerObject(c.PortKnown ? &Host.Port() : strayPort.Get()));
    device.Device->OnCall(503630, AnswerObject(c.HasChannel ? channel.Get() : nullptr));
    Host.SetCoreOfDevice(c.HasCore, L"U7", L"ARM Cortex-M3");
    auto* form = new TARM_BaseInstrumentForm(device.Record(), IJTagDevice());
    IInstrumentView view = CreateRackInstrumentView(form);
    ASSERT_EQ(InvokeRack(*view.Intf(), kUpdateDisplay, {}), S_OK) << c.Name;
    EXPECT_EQ(form->Panel_Main->JtagID(), 3) << c.Name;
    EXPECT_EQ(form->Panel_Main->PortID(), c.PortId) << c.Name;
    EXPECT_EQ(form->Panel_Main->CoreName(), c.CoreName) << c.Name;
  }
}

// ---- the status display -------------------------------------------------------------

TEST_F(PanelForms, TheInstructionIsBlankedWheneverItsBytesCannotBeRead) {
  struct TCase {
    const char* Name;
    std::function<void(TScriptedDevice&)> Break;
  };
  const TCase cases[] = {
      {"the space offers no memory interface",
       [](TScriptedDevice& ADevice) { ADevice.Space.OffersAccess = false; }},
      {"the read reports no transfer",
       [](TScriptedDevice& ADevice) { ADevice.Space.ReadSuccess = LongFalse; }},
      {"the read fails", [](TScriptedDevice& ADevice) { ADevice.Space.ReadAnswer = E_FAIL; }},
      {"the device has no driver", [](TScriptedDevice& ADevice) { ADevice.HasDriver = false; }},
      {"there is no program memory space",
       [](TScriptedDevice& ADevice) {
         ADevice.Device->OnCall(kGetMemorySpace_Program, AnswerObject(nullptr));
       }},
  };
  for (const TCase& c : cases) {
    TScriptedDevice device;
    TARM_BaseInstrumentForm form(device.Record(), IJTagDevice());
    ASSERT_EQ(form.Label_Edit_Instruction->Caption(), L"0xBF00") << c.Name;
    ASSERT_FALSE(form.Label_Edit_Assembler->Caption().empty()) << c.Name;
    c.Break(device);
    try {
      form.UpdateStatus();
    } catch (const std::exception&) {
      // A failing host call ends the refresh; what it showed is gone already.
    }
    EXPECT_EQ(form.Label_Edit_PC->Caption(), L"0x20000100") << c.Name;
    EXPECT_EQ(form.Label_Edit_SP->Caption(), L"0x20001FF0") << c.Name;
    EXPECT_EQ(form.Label_Edit_Instruction->Caption(), L"") << c.Name;
    EXPECT_EQ(form.Label_Edit_Assembler->Caption(), L"") << c.Name;
  }
}

TEST_F(PanelForms, StateAndByteOrderDecideWhatTheStatusDisplayShows) {
  struct TCase {
    const char* Name;
    const wchar_t* State;
    bool Thumb, Little;
    std::vector<uint32_t> Bytes;
    const wchar_t* Pc;
    const wchar_t* Word;
    bool Running, Reset;
  };
  const TCase cases[] = {
      {"running in another case", L"rUnNiNg", true, true, {0x00, 0xBF}, L"", L"", true, false},
      {"reset", L"Reset", true, true, {0x00, 0xBF}, L"0x20000100", L"0xBF00", false, true},
      {"a state of its own",
       L"Sleeping",
       true,
       true,
       {0x00, 0xBF},
       L"0x20000100",
       L"0xBF00",
       false,
       false},
      {"Thumb, big-endian",
       L"Halted",
       true,
       false,
       {0x00, 0xBF},
       L"0x20000100",
       L"0x00BF",
       false,
       false},
      {"ARM, little-endian",
       L"Halted",
       false,
       true,
       {0x78, 0x56, 0x34, 0x12},
       L"0x20000100",
       L"0x12345678",
       false,
       false},
  };
  for (const TCase& c : cases) {
    TScriptedDevice device;
    device.State = c.State;
    device.Driver->OnCall(kReducedInstructionSet, Answer(c.Thumb));
    device.Device->OnCall(kLittleEndian, Answer(c.Little));
    device.Space.Bytes = c.Bytes;
    device.Space.Bytes.resize(4, 0);
    TARM_BaseInstrumentForm form(device.Record(), IJTagDevice());
    EXPECT_EQ(form.Label_Edit_PC->Caption(), c.Pc) << c.Name;
    EXPECT_EQ(form.Label_Edit_Instruction->Caption(), c.Word) << c.Name;
    EXPECT_EQ(form.CheckBox_Running->Checked(), c.Running) << c.Name;
    EXPECT_EQ(form.CheckBox_Reset->Checked(), c.Reset) << c.Name;
  }
}

TEST_F(PanelForms, AfterARebindTheButtonsAndThePollDriveTheDeviceThePanelShows) {
  TScriptedDevice first, second;
  second.Pc = RegisterObject(0x00000200, 32);
  second.Device->OnCall(kGetRegister_PC, AnswerObject(second.Pc.Get()));
  TARM_BaseInstrumentForm form(first.Record(), IJTagDevice());
  first.Device->ClearLog();
  // The driver was bound to another device and told its form.
  form.SetTarvoDevice(second.Record());
  form.Button_PauseClick(form.Button_Pause);
  form.UpdateStatus();
  EXPECT_EQ(CallsOf(*second.Device.Get(), kPauseProcessor), 1u);
  EXPECT_EQ(form.Label_Edit_PC->Caption(), L"0x00000200");
  EXPECT_TRUE(first.Device->Calls().empty()) << "the device the panel no longer shows";
}

TEST_F(PanelForms, WithoutADeviceEveryButtonDoesNothing) {
  using THandler = void (TARM_BaseInstrumentForm::*)(TControl*);
  const struct {
    const char* Name;
    THandler Click;
  } cases[] = {
      {"Reset", &TARM_BaseInstrumentForm::Button_ResetClick},
      {"Pause", &TARM_BaseInstrumentForm::Button_PauseClick},
      {"Continue", &TARM_BaseInstrumentForm::Button_ContinueClick},
      {"Step", &TARM_BaseInstrumentForm::Button_StepClick},
      {"Tarvo Debugger", &TARM_BaseInstrumentForm::Button_TarvoDebuggerClick},
  };
  TARM_BaseInstrumentForm form{ITarvoDevice(), IJTagDevice()};
  for (const auto& c : cases) {
    Host.Client().ClearLog();
    EXPECT_NO_THROW((form.*c.Click)(nullptr)) << c.Name;
    EXPECT_EQ(CallsOf(Host.Client(), kRunCommand), 0u) << c.Name;
    EXPECT_FALSE(form.CheckBox_Running->Checked()) << c.Name;
  }
}

TEST_F(PanelForms, ClosingARackFormHidesItAndItShowsAgainOnTheNextDisplay) {
  TScriptedDevice device;
  device.Device->OnCall(503629, Answer(int32_t(2)));
  auto* form = new TARM_BaseInstrumentForm(device.Record(), IJTagDevice());
  IInstrumentView view = CreateRackInstrumentView(form);
  form->Show();
  form->Close();
  ASSERT_EQ(TCustomForm::Forms().size(), 1u) << "closing does not free the form";
  EXPECT_FALSE(form->Visible());
  form->Display(device.Record());
  EXPECT_EQ(form->Caption(), L"  JTAG Index: 2");
  EXPECT_EQ(InvokeRack(*view.Intf(), kUpdateDisplay, {}), S_OK);
}

// ---- clicks ------------------------------------------------------------------------

TEST_F(PanelForms, PressesOnThePlateReachTheHolderWindowWithTheirPointUnpacked) {
  struct TCase {
    const char* Name;
    UINT Down, Up;
    WPARAM Keys;
    bool Holder;
    UINT Arrives; // 0: nothing arrives
  };
  const TCase cases[] = {
      {"left", WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, true, WM_LBUTTONDOWN},
      {"right", WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON, true, WM_RBUTTONDOWN},
      {"middle", WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON, true, 0},
      {"left without a holder", WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, false, 0},
  };
  for (const TCase& c : cases) {
    TRackHolder holder;
    auto* form = new TARM_BaseInstrumentForm(ITarvoDevice(), IJTagDevice());
    IInstrumentView view = CreateRackInstrumentView(form);
    if (c.Holder) {
      VARIANT arg;
      VariantInit(&arg);
      V_VT(&arg) = VT_DISPATCH;
      V_DISPATCH(&arg) = holder.Object().Dispatch();
      ASSERT_EQ(InvokeRack(*view.Intf(), 49, {arg}), S_OK);
    }
    const HWND plate = form->Panel_Main->Handle();
    SendMessageW(plate, c.Down, c.Keys, MAKELPARAM(600, 12));
    SendMessageW(plate, c.Up, 0, MAKELPARAM(600, 12));
    if (!c.Arrives) {
      EXPECT_TRUE(holder.Clicks().empty()) << c.Name;
      continue;
    }
    ASSERT_EQ(holder.Clicks().size(), 1u) << c.Name;
    EXPECT_EQ(holder.Clicks()[0].Message, c.Arrives) << c.Name;
    EXPECT_EQ(holder.Clicks()[0].WParam, 600u) << c.Name;
    EXPECT_EQ(holder.Clicks()[0].LParam, 12) << c.Name;
  }
}

} // namespace
