#include "arm-instrument-form.h"

#include "disassembler.h"
#include "exceptions.h"
#include "host-utilities.h"
#include "memory-access.h"
#include "numeric-text.h"

#include <cwctype>

namespace {

constexpr UINT_PTR kPollingTimerId = 1;

struct TLabelPlace {
  const wchar_t* Legend; // nullptr: the disassembly follows the instruction word
  int Top;
};

constexpr TLabelPlace kLabelPlaces[4] = {
    {L"PC :", 40}, {L"SP :", 60}, {L"IR :", 80}, {nullptr, 80}};

bool SameTextIgnoringCase(const std::wstring& AText, const wchar_t* AOther) {
  std::size_t i = 0;
  for (; i < AText.size() && AOther[i]; ++i)
    if (std::towupper(AText[i]) != std::towupper(AOther[i]))
      return false;
  return i == AText.size() && !AOther[i];
}

} // namespace

TARM_BaseInstrumentForm::TARM_BaseInstrumentForm(const ITarvoDevice& ADevice,
                                                 const IJTagDevice& /*AChainDevice*/)
    : TInstrumentForm(L"ARM Controller"), FTarvoDevice(ADevice) {
  SetTarvoDevice(ADevice);
  if (HWND form = Handle()) {
    SetWindowLongPtrW(form, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    for (int i = 0; i < 4; ++i) {
      const TLabelPlace& place = kLabelPlaces[i];
      if (place.Legend)
        CreateWindowExW(0, L"STATIC", place.Legend, WS_CHILD | WS_VISIBLE, 420, place.Top, 40, 18,
                        form, nullptr, GetModuleInstance(), nullptr);
      FLabels[i] =
          CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, place.Legend ? 460 : 560,
                          place.Top, place.Legend ? 96 : 160, 18, form,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kARMPanelLabelIds[i])),
                          GetModuleInstance(), nullptr);
    }
    SetTimer(form, kPollingTimerId, kPollingMilliseconds, PollingTimer);
  }
  if (!FTarvoDevice.IsEmpty())
    UpdateStatus();
}

TARM_BaseInstrumentForm::~TARM_BaseInstrumentForm() {
  if (HWND form = Handle()) {
    KillTimer(form, kPollingTimerId);
    SetWindowLongPtrW(form, GWLP_USERDATA, 0);
  }
}

void CALLBACK TARM_BaseInstrumentForm::PollingTimer(HWND AWindow, UINT, UINT_PTR, DWORD) {
  auto* form =
      reinterpret_cast<TARM_BaseInstrumentForm*>(GetWindowLongPtrW(AWindow, GWLP_USERDATA));
  if (!form || form->FPolling || !IsWindowVisible(AWindow))
    return;
  form->FPolling = true;
  // A failing host call ends this refresh only; nothing may leave the timer.
  try {
    form->UpdateStatus();
  } catch (...) {
  }
  form->FPolling = false;
}

void TARM_BaseInstrumentForm::SetLabel(TStatusLabel ALabel, const std::wstring& AText) {
  if (HWND label = FLabels[int(ALabel)])
    SetWindowTextW(label, AText.c_str());
}

void TARM_BaseInstrumentForm::BlankLabels() {
  for (TStatusLabel label :
       {TStatusLabel::PC, TStatusLabel::SP, TStatusLabel::Instruction, TStatusLabel::Assembler})
    SetLabel(label, L"");
}

void TARM_BaseInstrumentForm::UpdateStatus() {
  if (FTarvoDevice.IsEmpty()) {
    BlankLabels();
    return;
  }
  const std::wstring state = FTarvoDevice.GetProcessorState();
  if (SameTextIgnoringCase(state, L"Running")) {
    BlankLabels();
    return;
  }
  const IProcessorRegister spRegister = FTarvoDevice.GetRegister_SP();
  const IProcessorRegister pcRegister = FTarvoDevice.GetRegister_PC();
  const std::uint32_t pc = pcRegister.IsEmpty() ? 0 : std::uint32_t(pcRegister.GetValue());
  const std::uint32_t sp = spRegister.IsEmpty() ? 0 : std::uint32_t(spRegister.GetValue());
  SetLabel(TStatusLabel::PC, IntToHex0x(pc, 8));
  SetLabel(TStatusLabel::SP, IntToHex0x(sp, 8));
  ShowInstructionAt(pc);
}

std::uint32_t TARM_BaseInstrumentForm::BytesToWord(const std::uint32_t* ACells, unsigned ACount,
                                                   bool ALittleEndian) {
  std::uint32_t word = 0;
  for (unsigned i = 0; i < ACount; ++i)
    word = (word << 8) | (ACells[ALittleEndian ? ACount - 1 - i : i] & 0xFF);
  return word;
}

void TARM_BaseInstrumentForm::ShowInstructionAt(std::uint64_t AAddress) {
  if (FTarvoDevice.IsEmpty())
    return;
  const ITarvoDriver driver = FTarvoDevice.GetDriver();
  if (driver.IsEmpty())
    return;
  const IMemorySpace space = FTarvoDevice.GetMemorySpace_Program();
  const auto blankInstruction = [this] {
    SetLabel(TStatusLabel::Instruction, L"");
    SetLabel(TStatusLabel::Assembler, L"");
  };
  if (space.IsEmpty()) {
    blankInstruction();
    return;
  }
  const bool thumb = driver.ProcessorIsUsingReducedInstructionSet();
  const bool little = FTarvoDevice.LittleEndian();
  const unsigned count = thumb ? 2 : 4;

  TComPtr<IMemoryAccess> access;
  if (const TComPtr<IUnknown> object = space.AsInterface())
    object->QueryInterface(IID_IMemoryAccess, reinterpret_cast<void**>(access.Receive()));
  if (!access) {
    blankInstruction();
    return;
  }
  // Four bytes also for Thumb code: the second half of a 32-bit Thumb
  // instruction is part of what the disassembler reads.
  std::uint32_t cells[4] = {};
  TLongBool success = LongFalse;
  const HRESULT hr = access->MemoryRead(-1, cells, std::int64_t(AAddress), 4, &success);
  if (FAILED(hr))
    throw EOleSysError(hr, L"The instruction at the PC could not be read.");
  // Bytes the target did not give are no instruction to show.
  if (success == LongFalse) {
    blankInstruction();
    return;
  }
  const std::wstring text =
      TOneLineDisassembler::GetDisassembly(L"arm", cells, 4, AAddress, thumb, little);
  SetLabel(TStatusLabel::Instruction,
           IntToHex0x(BytesToWord(cells, count, little), int(count * 2)));
  SetLabel(TStatusLabel::Assembler, text);
}

TInstrumentForm* CreateARMBaseInstrumentForm(const ITarvoDevice& ADevice,
                                             const IJTagDevice& AChainDevice) {
  auto* form = new TARM_BaseInstrumentForm(ADevice, AChainDevice);
  try {
    form->SetCaption(L"  JTag Index: " + std::to_wstring(ADevice.GetJTagIndex()));
  } catch (...) {
    delete form;
    throw;
  }
  return form;
}
