#pragma once

// The boundary-scan descriptions of every BSDL file the devices name,
// compiled in as pre-parsed records, one per entry of TBSDLNames and in the
// same order. Written at build time by tools/gen/bsdl/gen-bsdl-records.py.

#include "bsdl-types.h"
#include "device-tables.h"

#include <cstdint>

inline constexpr int MaxBSDLPins = 108;
inline constexpr int MaxBSDLCells = 204;
inline constexpr int MaxBSDLOpCodes = 16;
inline constexpr int MaxBSDLRegisterAssociations = 1;
inline constexpr int MaxBSDLRegisterOpCodes = 1;

struct TPinMappingParameters {
  const wchar_t* PinName;
  const wchar_t* PinNumber;
};

struct TScanPinParameters {
  TPinElectrical Direction;
  const wchar_t* PinName;
  const wchar_t* PinNumber;
  TScanPinKind Kind;
  TPinMappingParameters PinMapping;
  // 0 to 2: the output cell before the input cell, or one clock-input cell.
  std::int32_t BoundaryCellCount;
  // Cell numbers; -1 for an empty entry.
  std::int32_t BoundaryCells[2];
};

struct TBoundaryCellParameters {
  std::int32_t CellNumber;
  TCellKind CellKind;
  const wchar_t* PortId;
  TCellFunction CellFunction;
  TBitValue SafeBit;
  TBitValue DisableValue;
  TDisableResult DisableResult;
  // Empty for a cell without a pin.
  const wchar_t* PinNumber;
  // -1 for none.
  std::int32_t ControlCellNumber;
  std::int32_t TargetCellNumber;
};

struct TOpCodeParameters {
  const wchar_t* InstructionName;
  const wchar_t* OpCodePattern;
};

struct TRegisterAssociationParameters {
  const wchar_t* RegisterName;
  std::int32_t RegisterLength;
  std::int32_t OpCodeCount;
  TOpCodeParameters OpCodes[MaxBSDLRegisterOpCodes];
};

struct TBSDLRecord {
  // The entity name.
  const wchar_t* Name;
  std::int32_t BoundaryLength;
  // Hz.
  double ScanClockMaxSpeed;
  TScanClockHaltMode ScanClockHaltMode;
  const wchar_t* ConformanceStatement;
  const wchar_t* CompliancePattern;
  const wchar_t* Filename;
  std::uint32_t Instruction_SAMPLE;
  // Empty when the chip has no such pin.
  const wchar_t* PinNumber_TDI;
  const wchar_t* PinNumber_TDO;
  const wchar_t* PinNumber_TMS;
  const wchar_t* PinNumber_TCK;
  const wchar_t* PinNumber_TRST;
  std::int32_t PinCount;
  TScanPinParameters Pins[MaxBSDLPins];
  std::int32_t BoundaryCellCount;
  TBoundaryCellParameters BoundaryCells[MaxBSDLCells];
  std::int32_t OpCodeCount;
  TOpCodeParameters OpCodes[MaxBSDLOpCodes];
  std::int32_t RegisterAssociationCount;
  TRegisterAssociationParameters RegisterAssociations[MaxBSDLRegisterAssociations];
};

extern const TBSDLRecord TBSDLParameters[BSDLNameCount];
