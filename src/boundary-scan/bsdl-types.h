#pragma once

// The boundary-scan enumerations and their display names. The host exchanges
// these values by ordinal, so each one is stored in one byte and keeps its
// order; index 0 of the BSDL tables is the empty text, meaning undefined.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

enum TPinElectrical : std::uint8_t {
  eElectricInput,
  eElectricIO,
  eElectricOutput,
  eElectricOpenCollector,
  eElectricPassive,
  eElectricHiZ,
  eElectricOpenEmitter,
  eElectricPower,
};

enum TScanPinKind : std::uint8_t {
  eScanPinKind_Normal,
  eScanPinKind_TRST,
  eScanPinKind_TCK,
  eScanPinKind_TDO,
  eScanPinKind_TDI,
  eScanPinKind_TMS,
  eScanPinKind_Power,
  eScanPinKind_Ground,
};

enum TCellKind : std::uint8_t {
  eCellKind_Undefined,
  eCellKind_BC_0,
  eCellKind_BC_1,
  eCellKind_BC_2,
  eCellKind_BC_3,
  eCellKind_BC_4,
  eCellKind_BC_5,
  eCellKind_BC_6,
  eCellKind_BC_7,
  eCellKind_BC_8,
  eCellKind_BC_9,
  eCellKind_BC_10,
};

enum TCellFunction : std::uint8_t {
  eCellFunction_Undefined,
  eCellFunction_Input,
  eCellFunction_Clock,
  eCellFunction_Output2,
  eCellFunction_Output3,
  eCellFunction_Control,
  eCellFunction_ControlR,
  eCellFunction_Internal,
  eCellFunction_BiDir,
  eCellFunction_ObserveOnly,
};

enum TBitValue : std::uint8_t {
  eBit_Undefined,
  eBit_0,
  eBit_1,
  eBit_X,
};

enum TDisableResult : std::uint8_t {
  eDisableResult_Undefined,
  eDisableResult_HiZ,
  eDisableResult_Weak0,
  eDisableResult_Weak1,
  eDisableResult_Pull0,
  eDisableResult_Pull1,
  eDisableResult_Keeper,
};

enum TScanClockHaltMode : std::uint8_t {
  eScanClockHaltMode_None,
  eScanClockHaltMode_Low,
  eScanClockHaltMode_Both,
};

static_assert(sizeof(TPinElectrical) == 1 && sizeof(TScanPinKind) == 1 && sizeof(TCellKind) == 1 &&
              sizeof(TCellFunction) == 1 && sizeof(TBitValue) == 1 && sizeof(TDisableResult) == 1 &&
              sizeof(TScanClockHaltMode) == 1);

inline constexpr std::array<std::wstring_view, 8> PinElectricalNames = {
    L"Input", L"I/O", L"Output", L"Open Collector", L"Passive", L"HiZ", L"Open Emitter", L"Power"};

inline constexpr std::array<std::wstring_view, 12> CellKindNames = {
    L"",     L"BC_0", L"BC_1", L"BC_2", L"BC_3", L"BC_4",
    L"BC_5", L"BC_6", L"BC_7", L"BC_8", L"BC_9", L"BC_10"};

inline constexpr std::array<std::wstring_view, 10> CellFunctionNames = {
    L"",        L"Input",    L"Clock",    L"Output2", L"Output3",
    L"Control", L"ControlR", L"Internal", L"BiDir",   L"ObserveOnly"};

inline constexpr std::array<std::wstring_view, 4> BitValueNames = {L"", L"0", L"1", L"X"};

inline constexpr std::array<std::wstring_view, 7> DisableResultNames = {
    L"", L"Z", L"Weak0", L"Weak1", L"Pull0", L"Pull1", L"Keeper"};

// Display names. A value outside its type (only reachable by a cast) gives
// the empty text instead of reading past the table.
std::wstring_view PinElectricalName(TPinElectrical AValue);
std::wstring_view CellKindName(TCellKind AValue);
std::wstring_view CellFunctionName(TCellFunction AValue);
std::wstring_view BitValueName(TBitValue AValue);
std::wstring_view DisableResultName(TDisableResult AValue);

// Text to value: the first display name equal to the text, ignoring letter
// case; 0 (undefined) when none is.
TCellKind CellKindFromName(std::wstring_view AName);
TCellFunction CellFunctionFromName(std::wstring_view AName);
TBitValue BitValueFromName(std::wstring_view AName);
TDisableResult DisableResultFromName(std::wstring_view AName);

// Spaces appended up to AWidth characters; a longer text is kept whole.
std::wstring PadRight(std::wstring_view AText, std::size_t AWidth);

// Equal texts, ignoring the letter case of ASCII letters only.
bool SameTextIgnoringCase(std::wstring_view ALeft, std::wstring_view ARight);
// ASCII letters upper-cased; other characters kept.
std::wstring UpperCaseAscii(std::wstring_view AText);
