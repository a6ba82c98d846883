#pragma once

// The ARM controller panel: buttons to reset, halt, run and single-step the
// processor, a button that opens the host's debugger panel, the Running and
// Reset lamps, and the status display of PC, SP, the instruction word at
// the PC and its one-line disassembly, read through the host's device
// object every 250 ms while the panel is visible and Polling is checked.
// Buttons and polling work on the device the form is bound to now, so a
// driver that is bound to another device drives the one the panel shows.

#include "instrument-forms.h"

#include <cstdint>
#include <string>

class TInstrumentBackgroundPanel;
class TInstrumentPanel;
class TInstrumentCaption;
class TInstrumentButton;
class TInstrumentCheckBox;
class TInstrumentLabel;
class TTimer;

class TARM_BaseInstrumentForm : public TRackInstrumentForm {
public:
  static constexpr unsigned kPollingMilliseconds = 250;
  // How long the Running lamp stays lit after a single step.
  static constexpr unsigned kStepLampMilliseconds = 100;

  TARM_BaseInstrumentForm(const ITarvoDevice& ADevice, const IJTagDevice& AChainDevice);
  std::wstring ClassName() const override { return L"TARM_BaseInstrumentForm"; }

  int GetPreferredHeight() override;
  void SetMouseHandler(const TRackMouseHandler& AHandler) override;

  // Reads the state and, unless the processor runs, PC, SP and the
  // instruction at the PC; the lamps follow the state.
  void UpdateStatus();
  // The instruction word at AAddress and its disassembly; blanked when the
  // bytes cannot be read.
  void ShowInstructionAt(std::uint64_t AAddress);
  // The first ACount cells (one byte each) as one word in the target's
  // byte order.
  static std::uint32_t BytesToWord(const std::uint32_t* ACells, unsigned ACount,
                                   bool ALittleEndian);

  // The handlers of the layout's controls.
  void Button_ResetClick(TControl* ASender);
  void Button_PauseClick(TControl* ASender);
  void Button_ContinueClick(TControl* ASender);
  void Button_StepClick(TControl* ASender);
  void Button_TarvoDebuggerClick(TControl* ASender);
  void CheckBox_PollingClick(TControl* ASender);
  void Timer_PollingTimer(TTimer* ASender);

  // The layout's controls, made by the form's layout routine and owned by it.
  TInstrumentBackgroundPanel* Panel_Main = nullptr;
  TInstrumentCaption* Header_ProcessorControl = nullptr;
  TInstrumentCaption* Header_Status = nullptr;
  TInstrumentButton* Button_Reset = nullptr;
  TInstrumentButton* Button_Pause = nullptr;
  TInstrumentButton* Button_Continue = nullptr;
  TInstrumentButton* Button_Step = nullptr;
  TInstrumentButton* Button_TarvoDebugger = nullptr;
  TInstrumentCheckBox* CheckBox_Polling = nullptr;
  TInstrumentCheckBox* CheckBox_Running = nullptr;
  TInstrumentLabel* Label_Running = nullptr;
  TInstrumentCheckBox* CheckBox_Reset = nullptr;
  TInstrumentLabel* Label_Reset = nullptr;
  TInstrumentPanel* Panel_Status = nullptr;
  TInstrumentLabel* Label_PC = nullptr;
  TInstrumentLabel* Label_SP = nullptr;
  TInstrumentLabel* Label_Status = nullptr;
  TInstrumentLabel* Label_Edit_PC = nullptr;
  TInstrumentLabel* Label_Edit_SP = nullptr;
  TInstrumentLabel* Label_Edit_Instruction = nullptr;
  TInstrumentLabel* Label_Edit_Assembler = nullptr;
  TTimer* Timer_Polling = nullptr;

  // True while a timer-driven refresh runs.
  bool Polling() const { return FPolling; }

private:
  // Makes the layout's controls inside one loading bracket.
  void CreateLayout();
  void BlankValues();
  void BlankInstruction();

  bool FPolling = false;
};

// The panel for ADevice, captioned "  JTag Index: " + its chain position;
// the caller owns the form.
TARM_BaseInstrumentForm* CreateARMBaseInstrumentForm(const ITarvoDevice& ADevice,
                                                     const IJTagDevice& AChainDevice);
