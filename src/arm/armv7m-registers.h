#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The host's view of the ARMv7-M register file: 30 rows, several of them
// fields of the xPSR or of the special-register word. One routine walks the
// table for reads and one for writes.

enum class TArmRegisterView : uint8_t {
  Core,         // core register Core, read and written as it is
  ProgramCount, // core 15, the read recorded as the saved PC
  Xpsr,         // core 16, cached
  XpsrField,    // Mask of the cached xPSR
  Cfbp,         // core 20, cached
  CfbpField,    // Mask of the cached special-register word, shifted down
  ItState,      // xPSR bits 26-25 and 15-10 as one byte
  ThumbBit,     // xPSR bit 24
};

struct TArmV7MRegisterRow {
  const wchar_t* Name;
  const wchar_t* ShortName;
  uint8_t Width;
  TArmRegisterView View;
  uint8_t Core;
  uint32_t Mask;
  uint8_t Shift;
};

inline constexpr int kArmV7MRegisterCount = 30;
inline constexpr int kArmV7MRegisterIndexPC = 29;
inline constexpr int kArmV7MRegisterIndexSP = 13;
// The whole xPSR row: a flash writer sets the Thumb bit through it, by the
// driver's register DISPIDs, when it starts its loader.
inline constexpr int kArmV7MRegisterIndexXPSR = 16;

namespace armv7m_rows {
using enum TArmRegisterView;
inline constexpr TArmV7MRegisterRow kRows[kArmV7MRegisterCount] = {
    {L"R0", L"R0", 32, Core, 0, 0, 0},
    {L"R1", L"R1", 32, Core, 1, 0, 0},
    {L"R2", L"R2", 32, Core, 2, 0, 0},
    {L"R3", L"R3", 32, Core, 3, 0, 0},
    {L"R4", L"R4", 32, Core, 4, 0, 0},
    {L"R5", L"R5", 32, Core, 5, 0, 0},
    {L"R6", L"R6", 32, Core, 6, 0, 0},
    {L"R7", L"R7", 32, Core, 7, 0, 0},
    {L"R8", L"R8", 32, Core, 8, 0, 0},
    {L"R9", L"R9", 32, Core, 9, 0, 0},
    {L"R10", L"R10", 32, Core, 10, 0, 0},
    {L"R11", L"R11", 32, Core, 11, 0, 0},
    {L"R12/IP", L"R12", 32, Core, 12, 0, 0},
    {L"R13/SP", L"R13", 32, Core, 13, 0, 0},
    {L"R14/LR", L"R14", 32, Core, 14, 0, 0},
    {L"R15/PC", L"R15", 32, ProgramCount, 15, 0, 0},
    {L"XPSR", L"XPSR", 32, Xpsr, 16, 0, 0},
    {L"APSR", L"APSR", 32, XpsrField, 16, 0xF8000000, 0},
    {L"EPSR", L"EPSR", 32, XpsrField, 16, 0x0700FC00, 0},
    {L"IPSR", L"IPSR", 32, XpsrField, 16, 0x000001FF, 0},
    {L"CFBP", L"CFBP", 32, Cfbp, 20, 0, 0},
    {L"CONTROL", L"CONTROL", 8, CfbpField, 20, 0xFF000000, 24},
    {L"FAULTMASK", L"FAULTMASK", 8, CfbpField, 20, 0x00FF0000, 16},
    {L"BASEPRI", L"BASEPRI", 8, CfbpField, 20, 0x0000FF00, 8},
    {L"PRIMASK", L"PRIMASK", 8, CfbpField, 20, 0x000000FF, 0},
    {L"MSP", L"MSP", 32, Core, 25, 0, 0},
    {L"PSP", L"PSP", 32, Core, 26, 0, 0},
    {L"ITSTATE", L"ITSTATE", 8, ItState, 16, 0, 0},
    {L"TBIT (pseudo)", L"TBIT", 1, ThumbBit, 16, 0, 0},
    {L"LC (pseudo)", L"LC", 32, Core, 15, 0, 0},
};
} // namespace armv7m_rows
inline constexpr const TArmV7MRegisterRow (&kArmV7MRegisters)[kArmV7MRegisterCount] =
    armv7m_rows::kRows;

// The ITSTATE byte of an xPSR and an xPSR with its ITSTATE bits replaced.
constexpr uint32_t ItStateOf(uint32_t AXpsr) {
  return (((AXpsr >> 25) & 3) << 6) | ((AXpsr >> 10) & 0x3F);
}
constexpr uint32_t WithItState(uint32_t AXpsr, uint32_t AValue) {
  return (AXpsr & ~0x0600FC00u) | (((AValue >> 6) & 3) << 25) | ((AValue & 0x3F) << 10);
}

// ---- the 35-bit debug-port scan as text ------------------------------------

inline constexpr uint8_t kDpacc = 10, kApacc = 11;
inline constexpr uint8_t kAckWait = 1, kAckOkFault = 2;

// Data bits 31..0, then register address bits 3 and 2, then RnW; the most
// significant bit first, so the last character is scan bit 0.
std::wstring DapScanText(uint32_t AData, uint8_t AAddress, bool ARead);
// The same text into the caller's room of kDapScanBits characters.
inline constexpr unsigned kDapScanBits = 35;
void DapScanTextInto(uint32_t AData, uint8_t AAddress, bool ARead, wchar_t* AText);
// The captured data (characters 1-32) and acknowledge (33-35); a part that
// does not read as a bit string gives 0.
uint32_t DapCapturedData(std::wstring_view ACaptured);
uint8_t DapCapturedAck(std::wstring_view ACaptured);
