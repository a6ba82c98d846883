#pragma once

// The ARM controller panel's status display: the processor's PC, SP, the
// instruction word at the PC and its one-line disassembly, read through the
// host's device object, refreshed at construction and every 250 ms while
// the panel is visible. Its buttons and lamps are not built.

#include "arm-panel-ids.h"
#include "rack-form.h"

#include <windows.h>

#include <cstdint>
#include <string>

class TARM_BaseInstrumentForm : public TInstrumentForm {
public:
  using TStatusLabel = TARMPanelLabel;
  static constexpr UINT kPollingMilliseconds = 250;

  TARM_BaseInstrumentForm(const ITarvoDevice& ADevice, const IJTagDevice& AChainDevice);
  ~TARM_BaseInstrumentForm() override;

  // Reads the state, PC, SP and the instruction at the PC from the device.
  void UpdateStatus();
  void ShowInstructionAt(std::uint64_t AAddress);

  // The first ACount cells (one byte each) as one word in the target's
  // byte order.
  static std::uint32_t BytesToWord(const std::uint32_t* ACells, unsigned ACount,
                                   bool ALittleEndian);

private:
  static void CALLBACK PollingTimer(HWND AWindow, UINT, UINT_PTR, DWORD);
  void SetLabel(TStatusLabel ALabel, const std::wstring& AText);
  void BlankLabels();

  // The panel's own copy: a later device change by the driver leaves it.
  ITarvoDevice FTarvoDevice;
  bool FPolling = false; // a timer refresh is running
  HWND FLabels[4] = {};
};
