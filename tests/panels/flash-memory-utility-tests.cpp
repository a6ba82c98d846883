// The flash memory utility over a processor driver and the test host: its
// device list, settings and operations reach the flash writers of the
// driver's list by DISPID (the plug-in's own writers, and host writers the
// test host's fake objects stand for, which log every call), its windows
// are real, its boxes go through the message-box seam, and the driver's
// flash-utility command shows it through the modal-loop seam.

#include "cfi-flash-writer.h"
#include "client-access.h"
#include "fake-host-object.h"
#include "flash-memory-utility.h"
#include "forms.h"
#include "parallel-flash-writer.h"
#include "processor-driver.h"
#include "seams.h"
#include "serial-flash-writer.h"
#include "support/test-harness.h"
#include "test-host.h"
#include "xp-buttons.h"
#include "xp-check-box.h"
#include "xp-combo-box.h"
#include "xp-controls.h"
#include "xp-ext-panel.h"
#include "xp-history-edit.h"
#include "xp-progress.h"

#include <gtest/gtest.h>

#include <oleauto.h>
#include <windows.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

enum : DISPID {
  kTitle = 508695,
  kInstall = 508717,
  kUninstall = 508718,
  kWrite = 508719,
  kBlankCheck = 508720,
  kEraseAll = 508721,
  kEraseSectors = 508723,
  kCompare = 508724,
  kClearSpaces = 508725,
  kSpaceCount = 508726,
  kAddSpace = 508727,
  kAddressFromSector = 508729,
  kSectorFromAddress = 508730,
  kIsAddressInFlash = 508731,
  kSetCallback = 508732,
  kWidthSupported = 508733,
  kDefaultWidth = 508734,
  kSupportsAction = 508735,
  kGetSpace = 508746,
  kProgressUpdate = 508715,
  kAbortQuery = 508716,
  kShowFlashUtility = 508736,
  kDriverManagerGetDevice = 504018,
  kDeviceGetDriver = 503635,
  kLinkGetDeviceId = 504085,
};

// Boxes answered from a queue (OK when it is empty), each one noted.
class TScriptedBoxes : public TMessageBoxSeam {
public:
  struct TBox {
    std::wstring Text, Caption;
    UINT Flags;
  };
  std::vector<TBox> Shown;
  std::deque<int> Answers;

  int Show(HWND, const std::wstring& AText, const std::wstring& ACaption, UINT AFlags) override {
    Shown.push_back({AText, ACaption, AFlags});
    if (Answers.empty())
      return IDOK;
    const int answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
};

// A host's flash writer: 4 KB sectors over the memory spaces the test
// gives it; every call is logged.
class TFakeWriter {
public:
  struct TSpace {
    int32_t Global, Start, End, Width;
  };
  TComPtr<TFakeHostObject> Object = TFakeHostObject::Create({L"IFlashWriter"});
  std::vector<TSpace> Spaces{{0, 0, 0x10000, 16}};
  bool InFlash = true;
  bool EraseAllAction = false;
  bool FailErase = false;
  int32_t Differences = 0;
  std::set<int32_t> NotBlank;

  explicit TFakeWriter(const std::wstring& ATitle) {
    TFakeHostObject& o = *Object.Get();
    o.OnCall(kTitle, [ATitle](TFakeInvocation& A) {
      A.ReturnText(ATitle);
      return S_OK;
    });
    o.OnCall(kSpaceCount, [this](TFakeInvocation& A) {
      A.ReturnInt(int32_t(Spaces.size()));
      return S_OK;
    });
    o.OnCall(kGetSpace, [this](TFakeInvocation& A) {
      const TSpace& s = Spaces.at(size_t(A.Int(0)));
      A.SetInt(1, s.Global);
      A.SetInt(2, s.Start);
      A.SetInt(3, s.End);
      A.SetInt(4, s.Width);
      return S_OK;
    });
    o.OnCall(kSectorFromAddress, [](TFakeInvocation& A) {
      A.ReturnInt(int32_t(uint32_t(A.Int(1)) >> 12));
      return S_OK;
    });
    o.OnCall(kAddressFromSector, [](TFakeInvocation& A) {
      A.ReturnInt(int32_t(uint32_t(A.Int(1)) << 12));
      return S_OK;
    });
    o.OnCall(kIsAddressInFlash, [this](TFakeInvocation& A) {
      A.ReturnBool(InFlash);
      return S_OK;
    });
    o.OnCall(kWidthSupported, [](TFakeInvocation& A) {
      A.ReturnBool(A.Int(0) == 16);
      return S_OK;
    });
    o.OnCall(kDefaultWidth, [](TFakeInvocation& A) {
      A.ReturnInt(16);
      return S_OK;
    });
    o.OnCall(kSupportsAction, [this](TFakeInvocation& A) {
      A.ReturnBool(EraseAllAction && A.Int(0) == 58);
      return S_OK;
    });
    o.OnCall(kCompare, [this](TFakeInvocation& A) {
      A.ReturnInt(Differences);
      return S_OK;
    });
    o.OnCall(kBlankCheck, [this](TFakeInvocation& A) {
      A.ReturnInt(NotBlank.count(A.Int(1)) ? 8 : 0);
      return S_OK;
    });
    o.OnCall(kEraseSectors, [this](TFakeInvocation& A) {
      if (FailErase)
        return A.Raise(L"The flash did not answer");
      A.ReturnInt(0);
      return S_OK;
    });
  }

  IFlashWriter Record() const { return IFlashWriter::FromDispatch(Object.Get()->Dispatch()); }
  std::vector<const TFakeCall*> Calls(DISPID ADispId) const {
    std::vector<const TFakeCall*> found;
    for (const TFakeCall& call : Object.Get()->Calls())
      if (call.DispId == ADispId)
        found.push_back(&call);
    return found;
  }
  // The declared integer arguments of every call of ADispId.
  std::vector<std::vector<int32_t>> IntArgs(DISPID ADispId) const {
    std::vector<std::vector<int32_t>> all;
    for (const TFakeCall* call : Calls(ADispId)) {
      std::vector<int32_t> args;
      for (unsigned i = 0; i < call->Args.size(); ++i) {
        VARIANT v;
        VariantInit(&v);
        const VARIANT& arg = call->Declared(i);
        args.push_back(
            SUCCEEDED(VariantChangeType(&v, const_cast<VARIANT*>(&arg), 0, VT_I4)) ? v.lVal : -1);
      }
      all.push_back(args);
    }
    return all;
  }
};

// The serial writer of a board whose design offers three flash chips.
class TThreeChipSerialWriter : public TRemoteExecuteBaseDriverSerialFlash {
public:
  using TRemoteExecuteBaseDriverSerialFlash::TRemoteExecuteBaseDriverSerialFlash;
  std::vector<std::wstring> SupportedDeviceNames() const override {
    return {L"M25P10", L"M25P20", L"M25P40"};
  }
};

template <class TWriter>
TVEKAbstractRemoteExecuteBaseDriverClass WriterClass(const wchar_t* ATitle) {
  return [ATitle](TTarvoProcessorDriver& ADriver) {
    const TComPtr<TWriter> writer = TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TWriter>(
        ITarvoDriver::FromDispatch(static_cast<IDispatch*>(&ADriver)), true);
    writer->SetRemoteDriverDeviceTitle(ATitle);
    return TComPtr<TAbstractFlashWriter>(writer.Get());
  };
}

std::wstring TempFile(const wchar_t* AName, const std::vector<uint8_t>& ABytes) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path =
      std::wstring(folder) + L"orvandel-" + std::to_wstring(GetCurrentProcessId()) + L"-" + AName;
  FILE* f = _wfopen(path.c_str(), L"wb");
  std::fwrite(ABytes.data(), 1, ABytes.size(), f);
  std::fclose(f);
  return path;
}

VARIANT IntArg(int32_t AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = AValue;
  return v;
}

HRESULT InvokeOn(IDispatch* AObject, DISPID ADispId, std::vector<VARIANT> AArgs, VARIANT* AResult) {
  std::vector<VARIANT> reversed(AArgs.rbegin(), AArgs.rend());
  DISPPARAMS params{reversed.data(), nullptr, UINT(reversed.size()), 0};
  const HRESULT hr =
      AObject->Invoke(ADispId, IID_NULL, 0, DISPATCH_METHOD, &params, AResult, nullptr, nullptr);
  for (VARIANT& v : reversed)
    VariantClear(&v);
  return hr;
}

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

// The user's choice of a list item as the popup hands it on.
void Choose(TXPComboBox& AList, int AIndex) {
  AList.SetItemIndex(AIndex);
  if (AList.OnChange)
    AList.OnChange(&AList);
}

// The user's text in an edit.
void Type(TXPHistoryEdit& AEdit, const std::wstring& AText) {
  AEdit.SetText(AText);
}

std::vector<std::wstring> ItemsOf(TXPComboBox& AList) {
  std::vector<std::wstring> items;
  for (int i = 0; i < AList.Items().Count(); ++i)
    items.push_back(AList.Items().Strings(i));
  return items;
}

class FlashMemoryUtility : public ::testing::Test {
protected:
  static void SetUpTestSuite() { XPLibraryStartup(); }
  static void TearDownTestSuite() { XPLibraryShutdown(); }

  struct TClientAccessReset {
    TClientAccessReset() { ReleaseClientAccess(); }
    ~TClientAccessReset() { ReleaseClientAccess(); }
  } ClientReset;
  TTestHost Host;
  TScriptedBoxes Boxes;
  TSeamScope<TMessageBoxSeam> BoxScope{Boxes};
  TComPtr<TFakeHostObject> Link = TFakeHostObject::Create({L"IDeviceLink"});
  TFakeWriter Writer{L"Host NOR"};
  std::unique_ptr<TTarvoProcessorDriver> Driver;
  std::unique_ptr<TFlashMemoryUtilityForm> Form;

  // The host's device manager is its driver manager too; it knows no
  // device unless a test says so. The edits' history goes to a key of this
  // process, as both architectures' runs share one registry.
  void SetUp() override {
    Host.DeviceManager().Serve(L"IDriverManager");
    HistoryKey = std::wstring(L"Software\\OrvandelTests\\flash_memory_utility-") +
                 (sizeof(void*) == 8 ? L"x86_64-" : L"i686-") +
                 std::to_wstring(GetCurrentProcessId());
    TXPHistoryEdit::SetKeyPrefix(HistoryKey + L"\\");
  }
  void TearDown() override {
    Form.reset();
    TXPHistoryEdit::SetKeyPrefix(L"");
    RegDeleteTreeW(HKEY_CURRENT_USER, HistoryKey.c_str());
  }
  std::wstring HistoryKey;

  IFlashWriters Writers() const {
    return IFlashWriters::FromDispatch(static_cast<IDispatch*>(Driver.get()));
  }

  // A processor driver whose list holds a parallel writer of the plug-in
  // and the host's writer, the host's selected.
  void MakeDriverWithHostWriter() {
    Driver = std::make_unique<TTarvoProcessorDriver>(
        eDeviceProcessor_CORE_UNKNOWN, eDeviceProcessor_TYPE_HARD,
        WriterClass<TRemoteExecuteBaseDriverParallelFlash>(L"Parallel NOR"));
    ASSERT_EQ(Driver->AddFlashWriter(Writer.Record()), S_OK);
    ASSERT_EQ(Driver->SelectFlashWriter(Writer.Record()), S_OK);
  }

  void Open() {
    Form = std::make_unique<TFlashMemoryUtilityForm>(Writers(),
                                                     IDeviceLink::FromDispatch(Link->Dispatch()));
    Form->Show();
    harness::PumpMessages();
  }

  void OpenOverHostWriter() {
    MakeDriverWithHostWriter();
    Open();
  }

  // The host's device manager finds the link's device, whose driver is ours.
  void ServeDebugDevice() {
    Link->OnCall(kLinkGetDeviceId, [](TFakeInvocation& A) {
      A.ReturnText(L"TarvoDevice1");
      return S_OK;
    });
    Host.DeviceManager().OnCall(kDriverManagerGetDevice, [this](TFakeInvocation& A) {
      A.ReturnObject(Host.Device(0).Dispatch());
      return S_OK;
    });
    Host.Device(0).OnCall(kDeviceGetDriver, [this](TFakeInvocation& A) {
      A.ReturnObject(static_cast<IDispatch*>(Driver.get()));
      return S_OK;
    });
  }

  std::vector<std::wstring> ErrorTexts() const {
    std::vector<std::wstring> texts;
    for (const auto& box : Boxes.Shown)
      if (box.Caption == L"Error")
        texts.push_back(box.Text);
    return texts;
  }
};

// ---- the device list -----------------------------------------------------------------

TEST_F(FlashMemoryUtility, SerialWriterListsEachDeviceItSupports) {
  Driver = std::make_unique<TTarvoProcessorDriver>(
      eDeviceProcessor_CORE_UNKNOWN, eDeviceProcessor_TYPE_HARD,
      WriterClass<TThreeChipSerialWriter>(L"Serial flash"));
  Open();
  EXPECT_EQ(ItemsOf(*Form->FlashDeviceDropDownList),
            (std::vector<std::wstring>{L"M25P10", L"M25P20", L"M25P40"}));
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Form->DeviceItemWriter(i), Writers().GetFlashWriter(0).Intf());

  // Choosing a chip selects it in the writer, whose geometry follows.
  Choose(*Form->FlashDeviceDropDownList, 2);
  auto* serial = dynamic_cast<TRemoteExecuteBaseDriverSerialFlash*>(
      static_cast<TAbstractFlashWriter*>(Writers().GetFlashWriter(0).Intf()));
  ASSERT_NE(serial, nullptr);
  EXPECT_EQ(serial->Kind(), eM25P40);
  // A serial chip's size comes from the chip: size and width are not the user's.
  EXPECT_FALSE(Form->EditFlashSize->Enabled());
  EXPECT_FALSE(Form->comboFlashWidths->Enabled());
  EXPECT_TRUE(Form->EditSPIBaseAddress->Visible());
  EXPECT_FALSE(Form->EditFlashBaseAddress->Visible());
}

TEST_F(FlashMemoryUtility, ALoneWriterIsSelectedAtOnce) {
  Driver = std::make_unique<TTarvoProcessorDriver>(
      eDeviceProcessor_CORE_UNKNOWN, eDeviceProcessor_TYPE_HARD,
      WriterClass<TRemoteExecuteBaseDriverParallelFlash>(L"Parallel NOR"));
  ASSERT_EQ(Driver->SelectFlashWriter(IFlashWriter()), S_OK);
  Open();
  EXPECT_EQ(ItemsOf(*Form->FlashDeviceDropDownList), std::vector<std::wstring>{L"Parallel NOR"});
  EXPECT_EQ(Writers().GetSelectedFlashWriter().Intf(), Writers().GetFlashWriter(0).Intf());
  EXPECT_EQ(Form->FlashUtility().Intf(), Writers().GetFlashWriter(0).Intf());
  EXPECT_EQ(Form->FlashDeviceDropDownList->ItemIndex(), 0);
  EXPECT_TRUE(Form->EditFlashBaseAddress->Visible());
}

TEST_F(FlashMemoryUtility, ChoosingAWriterSelectsItInTheDriversList) {
  OpenOverHostWriter();
  EXPECT_EQ(ItemsOf(*Form->FlashDeviceDropDownList),
            (std::vector<std::wstring>{L"Parallel NOR", L"Host NOR"}));
  EXPECT_EQ(Form->FlashDeviceDropDownList->ItemIndex(), 1);
  // The host writer's first space gives the addresses and the size.
  EXPECT_EQ(Form->editTargetAddress->Text(), L"0x00000000");
  EXPECT_EQ(Form->EditFlashSize->Text(), L"65536");
  EXPECT_EQ(ItemsOf(*Form->comboFlashWidths), std::vector<std::wstring>{L"16"});
  EXPECT_EQ(Form->comboFlashWidths->Text(), L"16");

  Choose(*Form->FlashDeviceDropDownList, 0);
  EXPECT_EQ(Writers().GetSelectedFlashWriter().Intf(), Writers().GetFlashWriter(0).Intf());
  EXPECT_EQ(Form->FlashUtility().Intf(), Writers().GetFlashWriter(0).Intf());
}

TEST_F(FlashMemoryUtility, CfiWriterKeepsTheOperationsOffUntilAQuerySucceeded) {
  Driver = std::make_unique<TTarvoProcessorDriver>(
      eDeviceProcessor_CORE_UNKNOWN, eDeviceProcessor_TYPE_HARD,
      WriterClass<TRemoteExecuteBaseDriverCFIFlash>(L"CFI flash"));
  Open();
  EXPECT_TRUE(Form->ButtonCfiQuery->Visible());
  EXPECT_TRUE(Form->EditFlashBaseAddress->Visible());
  for (TControl* control : std::initializer_list<TControl*>{
           Form->ButtonDownloadToFlash, Form->ButtonEraseEntireDevice, Form->ButtonBlankCheck,
           Form->EditFlashSize, Form->comboFlashWidths})
    EXPECT_FALSE(control->Enabled()) << Narrow(control->Name());
}

// ---- the Flash Information panel -----------------------------------------------------------

TEST_F(FlashMemoryUtility, ProcessorWithOneWriterOpensWithoutFlashInformation) {
  Driver = std::make_unique<TTarvoProcessorDriver>(
      eDeviceProcessor_CORE_UNKNOWN, eDeviceProcessor_TYPE_HARD,
      WriterClass<TRemoteExecuteBaseDriverParallelFlash>(L"Parallel NOR"));
  ServeDebugDevice();
  Open();
  EXPECT_FALSE(Form->panelADVANCED->Visible());
  EXPECT_EQ(Form->panelMAIN->Top(), Form->panelADVANCED->Top());
  EXPECT_EQ(Form->Height(), Form->panelMAIN->Height() + Form->panelStatus->Height() + 40);
}

TEST_F(FlashMemoryUtility, ProcessorWithTwoWritersShowsFlashInformation) {
  MakeDriverWithHostWriter();
  ServeDebugDevice();
  Open();
  EXPECT_TRUE(Form->panelADVANCED->Visible());
  EXPECT_EQ(Form->Height(), Form->panelMAIN->Height() + Form->panelADVANCED->Height() +
                                Form->panelStatus->Height() + 40);
}

TEST_F(FlashMemoryUtility, UnitListsMoveTheSizeFromByteToKByte) {
  OpenOverHostWriter();
  EXPECT_EQ(Form->comboFlashSizeUnits->Text(), L"Byte");
  EXPECT_EQ(Form->comboSPIClockFreqUnits->Text(), L"Hz");
  struct TCase {
    int SizeBefore;
    TXPComboBox* TFlashMemoryUtilityForm::*List;
    int Choice;
    const wchar_t* SizeAfter;
  } cases[] = {
      {1, &TFlashMemoryUtilityForm::comboFlashSizeUnits, 0, L"KByte"},
      {0, &TFlashMemoryUtilityForm::comboProcClockFreqUnits, 2, L"KByte"},
      {0, &TFlashMemoryUtilityForm::comboSPIClockFreqUnits, 1, L"KByte"},
      {2, &TFlashMemoryUtilityForm::comboSPIClockFreqUnits, 0, L"MByte"},
  };
  for (const TCase& c : cases) {
    Form->comboFlashSizeUnits->SetItemIndex(c.SizeBefore);
    Choose(*((*Form).*c.List), c.Choice);
    EXPECT_EQ(Form->comboFlashSizeUnits->Text(), c.SizeAfter) << c.SizeBefore << "/" << c.Choice;
  }
}

TEST_F(FlashMemoryUtility, SettingsGiveTheWriterOneSpaceInBytes) {
  OpenOverHostWriter();
  Form->comboFlashSizeUnits->SetItemIndex(1); // KByte
  Type(*Form->EditFlashSize, L"4");
  Type(*Form->EditFlashBaseAddress, L"0x1000");
  // Every change applies the settings; the last is the one that counts.
  const auto spaces = Writer.IntArgs(kAddSpace);
  ASSERT_FALSE(spaces.empty());
  EXPECT_EQ(spaces.back(), (std::vector<int32_t>{0, 0x1000, 0x2000, 16}));
  EXPECT_FALSE(Writer.Calls(kClearSpaces).empty());
  EXPECT_EQ(Form->editTargetAddress->Text(), L"0x1000");
  EXPECT_EQ(Form->EditEraseStartAddress->Text(), L"0x1000");
  EXPECT_EQ(Form->EditEraseEndAddress->Text(), L"0x1000");
}

// ---- the writers' callback ----------------------------------------------------------------

TEST_F(FlashMemoryUtility, WritersReachTheDialogThroughTheirCallback) {
  OpenOverHostWriter();
  const auto given = Writer.Calls(kSetCallback);
  ASSERT_EQ(given.size(), 1u);
  ASSERT_EQ(V_VT(&given[0]->Declared(0)), VT_DISPATCH);
  IDispatch* callback = V_DISPATCH(&given[0]->Declared(0));
  EXPECT_EQ(callback, Form->AutomationInterface());

  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(InvokeOn(callback, kProgressUpdate, {IntArg(500)}, &result), S_OK);
  EXPECT_EQ(Form->progressMainProgressBar->Position(), 500);

  ASSERT_EQ(InvokeOn(callback, kAbortQuery, {}, &result), S_OK);
  EXPECT_EQ(V_VT(&result), VT_BOOL);
  EXPECT_EQ(V_BOOL(&result), VARIANT_FALSE);

  // Abort as the button gives it.
  Form->buttonAbort->Click();
  ASSERT_EQ(InvokeOn(callback, kAbortQuery, {}, &result), S_OK);
  EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
  Form->SetAbort(false);

  // Escape held down aborts too.
  INPUT key{};
  key.type = INPUT_KEYBOARD;
  key.ki.wVk = VK_ESCAPE;
  SendInput(1, &key, sizeof key);
  const HRESULT held = InvokeOn(callback, kAbortQuery, {}, &result);
  key.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &key, sizeof key);
  harness::PumpMessages();
  ASSERT_EQ(held, S_OK);
  EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);

  // A DISPID of neither call is the base's.
  EXPECT_EQ(InvokeOn(callback, 12345, {}, &result), E_NOTIMPL);

  // Once the dialog is gone no writer holds it any more.
  Form.reset();
  const auto all = Writer.Calls(kSetCallback);
  ASSERT_EQ(all.size(), 2u);
  const VARIANT& last = all.back()->Declared(0);
  EXPECT_TRUE(V_VT(&last) == VT_EMPTY || (V_VT(&last) == VT_DISPATCH && !V_DISPATCH(&last)));
}

// ---- input errors ----------------------------------------------------------------------------

TEST_F(FlashMemoryUtility, InputErrorsShowTheirMessageBeforeAnyTargetWork) {
  OpenOverHostWriter();
  using TForm = TFlashMemoryUtilityForm;
  struct TCase {
    std::function<void(TForm&, TFakeWriter&)> Setup;
    void (TForm::*Click)(TControl*);
    const wchar_t* Message;
  } cases[] = {
      {[](TForm& F, TFakeWriter&) { Type(*F.editTargetAddress, L"zz"); },
       &TForm::ButtonDownloadToFlashClick, L"Please enter a valid memory address!"},
      {[](TForm&, TFakeWriter& W) { W.InFlash = false; }, &TForm::ButtonVerifyClick,
       L"Target address is not within a valid flash memory space!"},
      {[](TForm& F, TFakeWriter&) {
         F.SetDownloadMode(eDownloadMode_File);
         Type(*F.EditFilename, L"C:\\no\\such\\image.bin");
       },
       &TForm::ButtonDownloadToFlashClick, L"Please enter a valid file path!"},
      {[](TForm& F, TFakeWriter&) { Type(*F.EditSPIClockFreq, L"fast"); },
       &TForm::ButtonDownloadToFlashClick, L"Please enter a valid SPI clock frequency!"},
      {[](TForm& F, TFakeWriter&) { Type(*F.EditSPIBaseAddress, L"base"); },
       &TForm::ButtonEraseAddressRangeClick, L"Please enter a valid base SPI address!"},
      {[](TForm& F, TFakeWriter&) { Type(*F.EditProcessorClockFreq, L"1x"); },
       &TForm::ButtonEraseSectorRangeClick, L"Please enter a valid system clock frequency!"},
      {[](TForm& F, TFakeWriter&) { Type(*F.EditEraseEndAddress, L"0xZ"); },
       &TForm::ButtonEraseAddressRangeClick, L"Please enter a valid memory address!"},
      {[](TForm& F, TFakeWriter& W) {
         W.InFlash = false;
         Type(*F.EditEraseStartAddress, L"0x2000");
       },
       &TForm::ButtonEraseAddressRangeClick,
       L"Start address is not within a valid flash memory space!"},
      {[](TForm& F, TFakeWriter&) {
         Type(*F.EditEraseStartAddress, L"0x2000");
         Type(*F.EditEraseEndAddress, L"0x1000");
       },
       &TForm::ButtonEraseAddressRangeClick,
       L"Start address must be less then or equal to END address!"},
      {[](TForm& F, TFakeWriter&) { Type(*F.EditEndSectorNumber, L"two"); },
       &TForm::ButtonEraseSectorRangeClick, L"Please enter a valid end sector number!"},
      {[](TForm& F, TFakeWriter&) { Type(*F.EditBlankCheckEnd, L"nine"); },
       &TForm::ButtonBlankCheckClick, L"Please enter a valid END sector number!"},
  };
  for (const TCase& c : cases) {
    Form = nullptr;
    Writer.InFlash = true;
    Open();
    Writer.Object.Get()->ClearLog();
    Boxes.Shown.clear();
    c.Setup(*Form, Writer);
    ((*Form).*c.Click)(nullptr);
    EXPECT_EQ(ErrorTexts(), std::vector<std::wstring>{c.Message}) << std::wstring(c.Message).size();
    EXPECT_TRUE(Writer.Calls(kEraseSectors).empty());
    EXPECT_TRUE(Writer.Calls(kWrite).empty());
    EXPECT_TRUE(Writer.Calls(kCompare).empty());
    if (c.Click != &TForm::ButtonBlankCheckClick) {
      EXPECT_TRUE(Writer.Calls(kInstall).empty());
    }
  }
}

TEST_F(FlashMemoryUtility, SettingsParseErrorsShowTheirMessage) {
  OpenOverHostWriter();
  struct TCase {
    TXPHistoryEdit* TFlashMemoryUtilityForm::*Edit;
    const wchar_t* Message;
  } cases[] = {
      {&TFlashMemoryUtilityForm::EditFlashBaseAddress, L"Please enter a valid base Flash address!"},
      {&TFlashMemoryUtilityForm::EditFlashSize, L"Please enter a valid Flash size!"},
  };
  for (const TCase& c : cases) {
    Boxes.Shown.clear();
    Writer.Object.Get()->ClearLog();
    TXPHistoryEdit& edit = *((*Form).*c.Edit);
    const std::wstring good = edit.Text();
    Type(edit, L"nonsense");
    EXPECT_EQ(ErrorTexts(), std::vector<std::wstring>{c.Message});
    EXPECT_TRUE(Writer.Calls(kAddSpace).empty());
    Type(edit, good);
  }
  // A width that is no number, chosen from the list.
  Boxes.Shown.clear();
  Form->comboFlashWidths->SetItemIndex(Form->comboFlashWidths->Items().Add(L"wide"));
  EXPECT_EQ(ErrorTexts(), std::vector<std::wstring>{L"Please enter a valid base Flash width!"});
}

// ---- the operation scope ----------------------------------------------------------------------

TEST_F(FlashMemoryUtility, AFailingWriterStillLeavesTheDialogIdle) {
  OpenOverHostWriter();
  Writer.FailErase = true;
  Type(*Form->EditStartSectorNumber, L"1");
  Type(*Form->EditEndSectorNumber, L"2");
  EXPECT_ANY_THROW(Form->ButtonEraseSectorRangeClick(nullptr));
  EXPECT_EQ(Writer.Calls(kInstall).size(), 1u);
  EXPECT_EQ(Writer.Calls(kUninstall).size(), 1u);
  EXPECT_EQ(Form->CurrentState(), eControlState_Idle);
  EXPECT_FALSE(Form->buttonAbort->Visible());
  EXPECT_FALSE(Form->progressMainProgressBar->Visible());
  EXPECT_EQ(Form->progressMainProgressBar->Position(), 0);
  EXPECT_TRUE(Form->ButtonEraseSectorRange->Enabled());
  EXPECT_TRUE(Form->ButtonBlankCheck->Enabled());
}

TEST_F(FlashMemoryUtility, OperationRunsWithTheGroupsDisabledAndAbortShown) {
  OpenOverHostWriter();
  bool sawWorking = false;
  Writer.Object.Get()->OnCall(kEraseSectors, [&](TFakeInvocation& A) {
    sawWorking = Form->CurrentState() == eControlState_Working && Form->buttonAbort->Visible() &&
                 !Form->ButtonVerify->Enabled() && !Form->EditBlankCheckEnd->Enabled() &&
                 Form->progressMainProgressBar->Visible();
    A.ReturnInt(0);
    return S_OK;
  });
  Form->ButtonEraseSectorRangeClick(nullptr);
  EXPECT_TRUE(sawWorking);
  EXPECT_TRUE(Form->ButtonVerify->Enabled());
}

// ---- the operations ---------------------------------------------------------------------------

TEST_F(FlashMemoryUtility, VerifyReportsTheComparedBytesAndDifferences) {
  OpenOverHostWriter();
  const std::wstring image = TempFile(L"verify.bin", {1, 2, 3, 4, 5, 6, 7, 8});
  struct TCase {
    int32_t Differences;
    const wchar_t* Report;
  } cases[] = {
      {0, L"Compared Bytes: 8\r\nFile and Flash are identical"},
      {3, L"Compared Bytes: 8\r\nThere are (3) differences."},
  };
  for (const TCase& c : cases) {
    Boxes.Shown.clear();
    Writer.Object.Get()->ClearLog();
    Writer.Differences = c.Differences;
    Form->SetDownloadMode(eDownloadMode_File);
    Type(*Form->EditFilename, L"  " + image + L" ");
    Type(*Form->editTargetAddress, L"0x400");
    Form->ButtonVerifyClick(nullptr);
    ASSERT_EQ(Boxes.Shown.size(), 1u);
    EXPECT_EQ(Boxes.Shown[0].Text, c.Report);
    EXPECT_EQ(Boxes.Shown[0].Caption, L"Compare File to Flash");
    const auto compares = Writer.Calls(kCompare);
    ASSERT_EQ(compares.size(), 1u);
    const auto args = Writer.IntArgs(kCompare)[0];
    EXPECT_EQ(args[0], 0);
    EXPECT_EQ(args[2], 0x400);
    EXPECT_EQ(args[3], 8);
    const IDataChunkImageInterface chunk =
        IDataChunkImageInterface::FromDispatch(V_DISPATCH(&compares[0]->Declared(1)));
    EXPECT_EQ(chunk.GetTargetAddr(), 0x400);
    EXPECT_EQ(chunk.GetDataLen(), 8);
    EXPECT_EQ(chunk.GetDataArrayItem(7), 8);
    EXPECT_EQ(Writer.Calls(kInstall).size(), 1u);
    EXPECT_EQ(Writer.Calls(kUninstall).size(), 1u);
  }
  DeleteFileW(image.c_str());
}

TEST_F(FlashMemoryUtility, WriteHandsTheImageAndFlagsInTheirOrder) {
  OpenOverHostWriter();
  const std::wstring image = TempFile(L"write.bin", {0xAA, 0xBB, 0xCC});
  Form->SetDownloadMode(eDownloadMode_File);
  Type(*Form->EditFilename, image);
  Type(*Form->editTargetAddress, L"0x800");
  Form->CheckVerifyWrite->SetChecked(true);
  Form->CheckPreserveSectorData->SetChecked(false);
  Form->CheckResetDeviceAfterLoad->SetChecked(true);
  Writer.Object.Get()->OnCall(kWrite, [](TFakeInvocation& A) {
    A.ReturnInt(7);
    return S_OK;
  });
  EXPECT_EQ(Form->WriteOrVerify(false), 7);
  const auto writes = Writer.Calls(kWrite);
  ASSERT_EQ(writes.size(), 1u);
  // Space, image, then auto-checksum (off in file mode), preserve, reset, verify.
  const auto args = Writer.IntArgs(kWrite)[0];
  EXPECT_EQ(args[0], 0);
  EXPECT_EQ(V_VT(&writes[0]->Declared(2)), VT_BOOL);
  EXPECT_EQ((std::vector<int32_t>{args[2], args[3], args[4], args[5]}),
            (std::vector<int32_t>{0, 0, -1, -1}));
  const IDataChunkImageInterface chunk =
      IDataChunkImageInterface::FromDispatch(V_DISPATCH(&writes[0]->Declared(1)));
  EXPECT_EQ(chunk.GetTargetAddr(), 0x800);
  EXPECT_EQ(chunk.GetDataLen(), 3);
  EXPECT_EQ(chunk.GetDataArrayItem(0), 0xAA);
  EXPECT_TRUE(Boxes.Shown.empty());
  DeleteFileW(image.c_str());
}

TEST_F(FlashMemoryUtility, EraseAddressRangeErasesEachCoveredSectorOnce) {
  OpenOverHostWriter();
  struct TCase {
    const wchar_t *Start, *End;
    std::vector<std::vector<int32_t>> Erased;
  } cases[] = {
      {L"0x1010", L"0x1FF0", {{0, 1, 1}}},
      {L"0x1000", L"0x3004", {{0, 1, 1}, {0, 2, 2}, {0, 3, 3}}},
  };
  for (const TCase& c : cases) {
    Writer.Object.Get()->ClearLog();
    Boxes.Shown.clear();
    Type(*Form->EditEraseStartAddress, c.Start);
    Type(*Form->EditEraseEndAddress, c.End);
    Form->ButtonEraseAddressRangeClick(nullptr);
    ASSERT_EQ(Boxes.Shown.size(), 1u);
    EXPECT_EQ(Boxes.Shown[0].Text,
              std::wstring(L"Confirm erase address range:") + c.Start + L" -> " + c.End + L" ?");
    EXPECT_EQ(Writer.IntArgs(kEraseSectors), c.Erased);
  }
  // Cancel erases nothing.
  Writer.Object.Get()->ClearLog();
  Boxes.Answers = {IDCANCEL};
  Form->ButtonEraseAddressRangeClick(nullptr);
  EXPECT_TRUE(Writer.Calls(kEraseSectors).empty());
  EXPECT_TRUE(Writer.Calls(kInstall).empty());
}

TEST_F(FlashMemoryUtility, EraseSectorRangeBelowItsStartErasesTheStartSectorOnly) {
  OpenOverHostWriter();
  Type(*Form->EditStartSectorNumber, L"5");
  Form->EditEndSectorNumber->SetText(L"2");
  Form->ButtonEraseSectorRangeClick(nullptr);
  EXPECT_EQ(Form->EditEndSectorNumber->Text(), L"5");
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Text, L"Confirm erase sectors:  5  ->  5?");
  EXPECT_EQ(Writer.IntArgs(kEraseSectors), (std::vector<std::vector<int32_t>>{{0, 5, 5}}));
}

TEST_F(FlashMemoryUtility, TypingAStartSectorKeepsTheEndAtLeastTheStart) {
  OpenOverHostWriter();
  Type(*Form->EditStartSectorNumber, L"7");
  EXPECT_EQ(Form->EditEndSectorNumber->Text(), L"7");
  Type(*Form->EditBlankCheckStart, L"4");
  EXPECT_EQ(Form->EditBlankCheckEnd->Text(), L"4");
  Type(*Form->EditStartSectorNumber, L"x");
  EXPECT_EQ(ErrorTexts(), std::vector<std::wstring>{L"Please enter a valid start sector number!"});
}

TEST_F(FlashMemoryUtility, EraseEntireDeviceUsesTheChipEraseOrEverySector) {
  OpenOverHostWriter();
  // With the loader's chip erase: one call per space, by its global index.
  Writer.EraseAllAction = true;
  Writer.Spaces = {{0, 0, 0x10000, 16}, {3, 0x20000, 0x30000, 16}};
  Form->ButtonEraseEntireDeviceClick(nullptr);
  ASSERT_FALSE(Boxes.Shown.empty());
  EXPECT_EQ(Boxes.Shown[0].Text, L"Erase entire device ?");
  EXPECT_EQ(Writer.IntArgs(kEraseAll), (std::vector<std::vector<int32_t>>{{0}, {3}}));
  EXPECT_TRUE(Writer.Calls(kEraseSectors).empty());

  // Without it: sectors 0 to n - 1 of each space; a space of no sectors
  // ends the whole erase.
  Writer.Object.Get()->ClearLog();
  Writer.EraseAllAction = false;
  Writer.Spaces = {{0, 0, 0x2000, 16}, {1, 0, 0, 16}, {2, 0, 0x3000, 16}};
  Form->ButtonEraseEntireDeviceClick(nullptr);
  EXPECT_EQ(Writer.IntArgs(kEraseSectors),
            (std::vector<std::vector<int32_t>>{{0, 0, 0}, {0, 1, 1}}));
  EXPECT_EQ(Form->CurrentState(), eControlState_Idle);

  // Cancel asks nothing of the writer.
  Writer.Object.Get()->ClearLog();
  Boxes.Answers = {IDCANCEL};
  Form->ButtonEraseEntireDeviceClick(nullptr);
  EXPECT_TRUE(Writer.Calls(kInstall).empty());
}

TEST_F(FlashMemoryUtility, BlankCheckAsksForEachSectorNotBlank) {
  OpenOverHostWriter();
  // Sector 3 not blank, OK: no summary.
  Writer.NotBlank = {3};
  Type(*Form->EditBlankCheckStart, L"3");
  Type(*Form->EditBlankCheckEnd, L"3");
  Form->ButtonBlankCheckClick(nullptr);
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Text, L"Sector [3] not blank!\r\nContinue checking ?");
  EXPECT_EQ(Writer.IntArgs(kBlankCheck), (std::vector<std::vector<int32_t>>{{0, 3, 3}}));

  // All blank: the summary.
  Boxes.Shown.clear();
  Writer.NotBlank.clear();
  Type(*Form->EditBlankCheckEnd, L"5");
  Form->ButtonBlankCheckClick(nullptr);
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Text, L"All valid sectors within the selected range are blank.");

  // Cancel at the first sector not blank ends the check.
  Boxes.Shown.clear();
  Writer.Object.Get()->ClearLog();
  Writer.NotBlank = {3, 4};
  Boxes.Answers = {IDCANCEL};
  Form->ButtonBlankCheckClick(nullptr);
  EXPECT_EQ(Writer.IntArgs(kBlankCheck), (std::vector<std::vector<int32_t>>{{0, 3, 3}}));
  EXPECT_EQ(Boxes.Shown.size(), 1u);

  // A sector past the space's end asks first; Cancel checks nothing.
  Boxes.Shown.clear();
  Writer.Object.Get()->ClearLog();
  Type(*Form->EditBlankCheckStart, L"16"); // 0x10000: the end of the only space
  Boxes.Answers = {IDCANCEL};
  Form->ButtonBlankCheckClick(nullptr);
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Text, L"Entered start sector number exceeds total sectors reported "
                                 L"for this device!\r\nContinue anyway?");
  EXPECT_TRUE(Writer.Calls(kBlankCheck).empty());
}

// ---- the driver's command -----------------------------------------------------------------

// A modal loop that closes the dialog the way the user does, bounded.
class TClosingModalLoop : public TModalLoopSeam {
public:
  TFlashMemoryUtilityForm* Seen = nullptr;
  bool WindowShown = false;
  int Run(HWND AWindow, const std::function<int()>& AResult) override {
    for (TCustomForm* form : TCustomForm::Forms())
      if (auto* utility = dynamic_cast<TFlashMemoryUtilityForm*>(form))
        Seen = utility;
    WindowShown = IsWindowVisible(AWindow) != FALSE;
    for (int step = 0; step < 10; ++step) {
      if (step == 1 && Seen)
        Seen->buttonClose->Click();
      harness::PumpMessages();
      if (const int result = AResult())
        return result;
    }
    return 0;
  }
};

TEST_F(FlashMemoryUtility, DriversCommandShowsTheDialogModallyAndFreesIt) {
  MakeDriverWithHostWriter();
  TClosingModalLoop loop;
  TSeamScope<TModalLoopSeam> scope(loop);
  VARIANT result;
  VariantInit(&result);
  VARIANT link;
  VariantInit(&link);
  V_VT(&link) = VT_DISPATCH;
  V_DISPATCH(&link) = Link->Dispatch();
  Link->AddRef();
  ASSERT_EQ(InvokeOn(static_cast<IDispatch*>(Driver.get()), kShowFlashUtility, {link}, &result),
            S_OK);
  ASSERT_NE(loop.Seen, nullptr);
  EXPECT_TRUE(loop.WindowShown);
  for (TCustomForm* form : TCustomForm::Forms())
    EXPECT_EQ(dynamic_cast<TFlashMemoryUtilityForm*>(form), nullptr);
  // The writers were given the dialog, then an empty callback.
  const auto given = Writer.Calls(kSetCallback);
  ASSERT_EQ(given.size(), 2u);
  const VARIANT& last = given.back()->Declared(0);
  EXPECT_TRUE(V_VT(&last) == VT_EMPTY || (V_VT(&last) == VT_DISPATCH && !V_DISPATCH(&last)));
}

} // namespace
