#include "arm-instrument-form.h"

#include "client-access.h"
#include "disassembler.h"
#include "exceptions.h"
#include "instrument-controls.h"
#include "instrument-layout.h"
#include "instrument-panel.h"
#include "memory-access.h"
#include "numeric-text.h"
#include "seams.h"
#include "timers.h"

namespace {

using namespace instrument_layout;

// The panel's layout, in creation order: a 724 x 144 form whose front
// plate, 108 high, is what the rack shows.
constexpr int kClientWidth = 724, kClientHeight = 144, kMainPanelHeight = 108;
constexpr TLayoutRow kLayout[] = {
    {TLayoutKind::BackgroundPanel, L"Panel_Main", nullptr, 0, 0, kClientWidth, kMainPanelHeight,
     L"ARM 32-Bit RISC Processor Core", ltAlignTop | ltDoubleBuffered},
    {TLayoutKind::Caption, L"Header_ProcessorControl", L"Panel_Main", 16, 24, 330, 16,
     L"PROCESSOR CONTROL", ltNone},
    {TLayoutKind::Caption, L"Header_Status", L"Panel_Main", 372, 24, 336, 16, L"PROCESSOR STATUS",
     ltNone},
    {TLayoutKind::Button, L"Button_Reset", L"Panel_Main", 16, 48, 58, 17, L"Reset", ltNone},
    {TLayoutKind::Button, L"Button_Pause", L"Panel_Main", 82, 48, 58, 17, L"Pause", ltNone},
    {TLayoutKind::Button, L"Button_Continue", L"Panel_Main", 148, 48, 58, 17, L"Continue", ltNone},
    {TLayoutKind::Button, L"Button_Step", L"Panel_Main", 214, 48, 58, 17, L"Step", ltNone},
    {TLayoutKind::Button, L"Button_TarvoDebugger", L"Panel_Main", 16, 76, 118, 17,
     L"Tarvo Debugger", ltNone},
    {TLayoutKind::CheckBox, L"CheckBox_Polling", L"Panel_Main", 148, 76, 70, 17, L"Polling",
     ltGreenGlyph | ltChecked},
    {TLayoutKind::CheckBox, L"CheckBox_Running", L"Panel_Main", 284, 48, 17, 17, L"",
     ltGreenGlyph | ltDisabled},
    {TLayoutKind::Label, L"Label_Running", L"Panel_Main", 304, 50, 52, 14, L"Running", ltNone},
    {TLayoutKind::CheckBox, L"CheckBox_Reset", L"Panel_Main", 284, 76, 17, 17, L"", ltDisabled},
    {TLayoutKind::Label, L"Label_Reset", L"Panel_Main", 304, 78, 52, 14, L"Reset", ltNone},
    {TLayoutKind::Panel, L"Panel_Status", L"Panel_Main", 372, 42, 336, 44, L"", ltNone},
    {TLayoutKind::Label, L"Label_PC", L"Panel_Status", 6, 1, 30, 14, L"PC :", ltNone},
    {TLayoutKind::Label, L"Label_SP", L"Panel_Status", 6, 15, 30, 14, L"SP :", ltNone},
    {TLayoutKind::Label, L"Label_Status", L"Panel_Status", 6, 29, 30, 14, L"IR :", ltNone},
    {TLayoutKind::Label, L"Label_Edit_PC", L"Panel_Status", 38, 1, 96, 14, L"0xFFFFFFFF",
     ltValueFont},
    {TLayoutKind::Label, L"Label_Edit_SP", L"Panel_Status", 38, 15, 96, 14, L"0x12345678",
     ltValueFont},
    {TLayoutKind::Label, L"Label_Edit_Instruction", L"Panel_Status", 38, 29, 96, 14, L"0x12345678",
     ltValueFont},
    {TLayoutKind::Label, L"Label_Edit_Assembler", L"Panel_Status", 138, 29, 192, 14,
     L"lui $20,0xffff", ltValueFont},
    {TLayoutKind::Timer, L"Timer_Polling", nullptr, 0, 0, 0, 0, nullptr, ltNone},
};

} // namespace

TARM_BaseInstrumentForm::TARM_BaseInstrumentForm(const ITarvoDevice& ADevice,
                                                 const IJTagDevice& /*AChainDevice*/)
    : TRackInstrumentForm(ADevice) {
  CreateLayout();
  SetMouseHandler(MouseHandler());
  if (!TarvoDevice().IsEmpty()) {
    FPolling = false;
    Panel_Main->SetHeight(kMainPanelHeight);
    BlankValues();
    UpdateStatus();
    Panel_Main->UpdateBackgroundImage();
  }
}

void TARM_BaseInstrumentForm::CreateLayout() {
  SetCaption(L"ARM Controller");
  SetBounds(Left(), Top(), kClientWidth, kClientHeight);
  TComponentLoading loading(this);
  CreateLayoutControls(*this, kLayout);
  Panel_Main = Named<TInstrumentBackgroundPanel>(*this, L"Panel_Main");
  Header_ProcessorControl = Named<TInstrumentCaption>(*this, L"Header_ProcessorControl");
  Header_Status = Named<TInstrumentCaption>(*this, L"Header_Status");
  Button_Reset = Named<TInstrumentButton>(*this, L"Button_Reset");
  Button_Pause = Named<TInstrumentButton>(*this, L"Button_Pause");
  Button_Continue = Named<TInstrumentButton>(*this, L"Button_Continue");
  Button_Step = Named<TInstrumentButton>(*this, L"Button_Step");
  Button_TarvoDebugger = Named<TInstrumentButton>(*this, L"Button_TarvoDebugger");
  CheckBox_Polling = Named<TInstrumentCheckBox>(*this, L"CheckBox_Polling");
  CheckBox_Running = Named<TInstrumentCheckBox>(*this, L"CheckBox_Running");
  Label_Running = Named<TInstrumentLabel>(*this, L"Label_Running");
  CheckBox_Reset = Named<TInstrumentCheckBox>(*this, L"CheckBox_Reset");
  Label_Reset = Named<TInstrumentLabel>(*this, L"Label_Reset");
  Panel_Status = Named<TInstrumentPanel>(*this, L"Panel_Status");
  Label_PC = Named<TInstrumentLabel>(*this, L"Label_PC");
  Label_SP = Named<TInstrumentLabel>(*this, L"Label_SP");
  Label_Status = Named<TInstrumentLabel>(*this, L"Label_Status");
  Label_Edit_PC = Named<TInstrumentLabel>(*this, L"Label_Edit_PC");
  Label_Edit_SP = Named<TInstrumentLabel>(*this, L"Label_Edit_SP");
  Label_Edit_Instruction = Named<TInstrumentLabel>(*this, L"Label_Edit_Instruction");
  Label_Edit_Assembler = Named<TInstrumentLabel>(*this, L"Label_Edit_Assembler");
  Timer_Polling = Named<TTimer>(*this, L"Timer_Polling");

  Panel_Main->SetStyle(ipsDarkGray);
  Panel_Main->SetPortID(-1);
  Panel_Status->SetDisplayStyle(dsGray);
  Timer_Polling->SetInterval(kPollingMilliseconds);
  Timer_Polling->SetEnabled(true);

  Button_Reset->OnClick = [this](TControl* ASender) { Button_ResetClick(ASender); };
  Button_Pause->OnClick = [this](TControl* ASender) { Button_PauseClick(ASender); };
  Button_Continue->OnClick = [this](TControl* ASender) { Button_ContinueClick(ASender); };
  Button_Step->OnClick = [this](TControl* ASender) { Button_StepClick(ASender); };
  Button_TarvoDebugger->OnClick = [this](TControl* ASender) { Button_TarvoDebuggerClick(ASender); };
  CheckBox_Polling->OnClick = [this](TControl* ASender) { CheckBox_PollingClick(ASender); };
  Timer_Polling->SetOnTimer([this](TTimer* ASender) { Timer_PollingTimer(ASender); });
  loading.End();
}

int TARM_BaseInstrumentForm::GetPreferredHeight() {
  return Panel_Main->Height();
}

void TARM_BaseInstrumentForm::SetMouseHandler(const TRackMouseHandler& AHandler) {
  Panel_Main->OnMouseDown = AHandler;
}

void TARM_BaseInstrumentForm::BlankInstruction() {
  ShowRegisterValue(IProcessorRegister(), *Label_Edit_Instruction, true, false, false, 0, 32);
  ShowRegisterValue(IProcessorRegister(), *Label_Edit_Assembler, true, false, false, 0, 32);
}

void TARM_BaseInstrumentForm::BlankValues() {
  ShowRegisterValue(IProcessorRegister(), *Label_Edit_PC, true, false, false, 0, 32);
  ShowRegisterValue(IProcessorRegister(), *Label_Edit_SP, true, false, false, 0, 32);
  BlankInstruction();
}

void TARM_BaseInstrumentForm::UpdateStatus() {
  const ITarvoDevice device = TarvoDevice();
  if (device.IsEmpty()) {
    BlankValues();
    return;
  }
  const std::wstring state = device.GetProcessorState();
  const bool running = SameTextIgnoringCase(state, L"Running");
  const bool reset = SameTextIgnoringCase(state, L"Reset");
  if (running) {
    BlankValues();
  } else {
    const IProcessorRegister spRegister = device.GetRegister_SP();
    const IProcessorRegister pcRegister = device.GetRegister_PC();
    const int32_t pc = pcRegister.IsEmpty() ? 0 : pcRegister.GetValue();
    const int32_t sp = spRegister.IsEmpty() ? 0 : spRegister.GetValue();
    ShowRegisterValue(pcRegister, *Label_Edit_PC, true, false, false, pc, 32);
    ShowRegisterValue(spRegister, *Label_Edit_SP, true, false, false, sp, 32);
    ShowInstructionAt(std::uint64_t(std::uint32_t(pc)));
  }
  CheckBox_Running->SetChecked(running);
  CheckBox_Reset->SetChecked(reset);
}

std::uint32_t TARM_BaseInstrumentForm::BytesToWord(const std::uint32_t* ACells, unsigned ACount,
                                                   bool ALittleEndian) {
  std::uint32_t word = 0;
  for (unsigned i = 0; i < ACount; ++i)
    word = (word << 8) | (ACells[ALittleEndian ? ACount - 1 - i : i] & 0xFF);
  return word;
}

void TARM_BaseInstrumentForm::ShowInstructionAt(std::uint64_t AAddress) {
  const ITarvoDevice device = TarvoDevice();
  // No bytes to read means no instruction to show: what the labels held
  // belongs to another address.
  if (device.IsEmpty()) {
    BlankInstruction();
    return;
  }
  const ITarvoDriver driver = device.GetDriver();
  if (driver.IsEmpty()) {
    BlankInstruction();
    return;
  }
  const IMemorySpace space = device.GetMemorySpace_Program();
  if (space.IsEmpty()) {
    BlankInstruction();
    return;
  }
  const bool thumb = driver.ProcessorIsUsingReducedInstructionSet();
  const bool little = device.LittleEndian();
  const unsigned count = thumb ? 2 : 4;

  TComPtr<IMemoryAccess> access;
  if (const TComPtr<IUnknown> object = space.AsInterface())
    object->QueryInterface(IID_IMemoryAccess, reinterpret_cast<void**>(access.Receive()));
  if (!access) {
    BlankInstruction();
    return;
  }
  // Four bytes also for Thumb code: the second half of a 32-bit Thumb
  // instruction is part of what the disassembler reads.
  std::uint32_t cells[4] = {};
  TLongBool success = LongFalse;
  const HRESULT hr = access->MemoryRead(-1, cells, std::int64_t(AAddress), 4, &success);
  if (FAILED(hr)) {
    BlankInstruction();
    throw EOleSysError(hr, L"The instruction at the PC could not be read.");
  }
  if (success == LongFalse) {
    BlankInstruction();
    return;
  }
  const std::wstring text =
      TOneLineDisassembler::GetDisassembly(L"arm", cells, 4, AAddress, thumb, little);
  Label_Edit_Instruction->SetCaption(
      IntToHex0x(std::int64_t(BytesToWord(cells, count, little)), int(count * 2)));
  Label_Edit_Assembler->SetCaption(text);
}

// ---- the controls' handlers -----------------------------------------------------

void TARM_BaseInstrumentForm::Button_ResetClick(TControl*) {
  if (const ITarvoDevice device = TarvoDevice(); !device.IsEmpty())
    device.ResetProcessor();
}

void TARM_BaseInstrumentForm::Button_PauseClick(TControl*) {
  if (const ITarvoDevice device = TarvoDevice(); !device.IsEmpty())
    device.PauseProcessor();
}

void TARM_BaseInstrumentForm::Button_ContinueClick(TControl*) {
  if (const ITarvoDevice device = TarvoDevice(); !device.IsEmpty())
    device.ContinueProcessor();
}

void TARM_BaseInstrumentForm::Button_StepClick(TControl*) {
  const ITarvoDevice device = TarvoDevice();
  if (device.IsEmpty())
    return;
  // The lamp is lit for the step and a moment after it.
  CheckBox_Running->SetChecked(true);
  CheckBox_Running->Repaint();
  struct TLampOff {
    TInstrumentCheckBox* Lamp;
    ~TLampOff() {
      Lamp->SetChecked(false);
      Lamp->Repaint();
    }
  } lampOff{CheckBox_Running};
  device.SingleStepProcessor();
  SleepFor(kStepLampMilliseconds);
}

void TARM_BaseInstrumentForm::Button_TarvoDebuggerClick(TControl*) {
  // Without a device there is no debugger panel to open, and asking the
  // empty record for its id would only raise.
  const ITarvoDevice device = TarvoDevice();
  if (device.IsEmpty())
    return;
  std::wstring parameters = L"ObjectKind=Panel|Action=Show|Id=TarvoDebugger" + device.GetDeviceId();
  RunProcess(L"Client:CustomizeResources", parameters, IServerDocumentView());
}

void TARM_BaseInstrumentForm::CheckBox_PollingClick(TControl*) {
  Timer_Polling->SetEnabled(CheckBox_Polling->Checked());
}

void TARM_BaseInstrumentForm::Timer_PollingTimer(TTimer*) {
  if (FPolling || !Showing() || !CheckBox_Polling->Checked())
    return;
  FPolling = true;
  struct TPollingEnd {
    bool& Flag;
    ~TPollingEnd() { Flag = false; }
  } end{FPolling};
  UpdateStatus();
}

TARM_BaseInstrumentForm* CreateARMBaseInstrumentForm(const ITarvoDevice& ADevice,
                                                     const IJTagDevice& AChainDevice) {
  auto* form = new TARM_BaseInstrumentForm(ADevice, AChainDevice);
  try {
    form->SetCaption(L"  JTag Index: " + std::to_wstring(ADevice.GetJTagIndex()));
  } catch (...) {
    TComponent::Free(form);
    throw;
  }
  return form;
}
