#pragma once

// The in-memory description of one chip's boundary scan: the entity with its
// scan pins, pin mappings, boundary cells, instruction op-codes and register
// associations. An entity is filled once by a builder and then only read; the
// host may store sampled values into the pins' and cells' CurrentValue.
//
// Ownership: every part made with its class's Create belongs to the entity it
// was made for and lives exactly as long as the entity. The entity's lists and
// all links between parts are plain pointers, so one part may sit in a list
// more than once (the BYPASS op-code does) and is still freed once.

#include "bsdl-types.h"
#include "vhdl-object.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TBSDLEntity;
class TScanPin;
class TPinMapping;
class TBoundaryCell;
class TInstructionOpCode;

// Base of the five part classes.
class TBSDLObject {
public:
  explicit TBSDLObject(TBSDLEntity* AEntity) : FEntity(AEntity) {}
  virtual ~TBSDLObject() = default;
  TBSDLObject(const TBSDLObject&) = delete;
  TBSDLObject& operator=(const TBSDLObject&) = delete;

  virtual std::wstring GetDescription() const { return {}; }
  virtual std::wstring GetShortDescription() const { return {}; }
  virtual std::int32_t GetObjectCode() const { return 4; }

  // The owning entity; not owned.
  TBSDLEntity* FEntity;
};

class TScanPin : public TBSDLObject {
public:
  explicit TScanPin(TBSDLEntity* AEntity) : TBSDLObject(AEntity), Entity(AEntity) {}
  // A new pin that belongs to AEntity; not added to its list.
  static TScanPin* Create(TBSDLEntity& AEntity);

  std::wstring GetDescription() const override;
  std::wstring GetShortDescription() const override;
  std::int32_t GetObjectCode() const override { return 19; }

  void SetDirection(TPinElectrical ADirection) { Direction = ADirection; }
  void SetPinName(std::wstring ANewPinName) { PinName = std::move(ANewPinName); }
  void SetPinNumber(std::wstring APinNumber) { PinNumber = std::move(APinNumber); }
  void SetKind(TScanPinKind AKind) { Kind = AKind; }
  void SetPinMapping(TPinMapping* APinMapping) { PinMapping = APinMapping; }
  void AddBoundaryCell(TBoundaryCell* ABoundaryCell) { BoundaryCells.push_back(ABoundaryCell); }

  TPinElectrical Direction = eElectricPassive;
  std::wstring PinName;
  // The package pin (or ball) this scan pin sits on.
  std::wstring PinNumber;
  TScanPinKind Kind = eScanPinKind_Normal;
  TBSDLEntity* Entity;
  TPinMapping* PinMapping = nullptr;
  // The last value the host stored.
  std::int32_t CurrentValue = 0;
  // The pin's cells, output before input; the cells belong to the entity.
  std::vector<TBoundaryCell*> BoundaryCells;
  std::int32_t LinkedPortBitIndex = -1;
};

class TPinMapping : public TBSDLObject {
public:
  explicit TPinMapping(TBSDLEntity* AEntity) : TBSDLObject(AEntity) {}
  static TPinMapping* Create(TBSDLEntity& AEntity);

  void SetPinName(std::wstring APinName) { PinName = std::move(APinName); }
  void SetPinNumber(std::wstring APinNumber) { PinNumber = std::move(APinNumber); }
  void SetScanPin(TScanPin* AScanPin) { ScanPin = AScanPin; }

  std::wstring PinName;
  std::wstring PinNumber;
  TScanPin* ScanPin = nullptr;
};

class TBoundaryCell : public TBSDLObject {
public:
  explicit TBoundaryCell(TBSDLEntity* AEntity) : TBSDLObject(AEntity) {}
  static TBoundaryCell* Create(TBSDLEntity& AEntity);

  // Long and short alike.
  std::wstring GetDescription() const override;
  std::wstring GetShortDescription() const override { return GetDescription(); }
  std::int32_t GetObjectCode() const override { return 41; }

  void SetCellNumber(std::int32_t ACellNumber) { CellNumber = ACellNumber; }
  void SetCellKind(TCellKind ACellKind) { CellKind = ACellKind; }
  void SetPortId(std::wstring APortId) { PortId = std::move(APortId); }
  void SetCellFunction(TCellFunction ACellFunction) { CellFunction = ACellFunction; }
  void SetSafeBit(TBitValue ASafeBit) { SafeBit = ASafeBit; }
  void SetControlCellNumber(std::int32_t AControlCellNumber) {
    ControlCellNumber = AControlCellNumber;
  }
  void SetDisableValue(TBitValue ADisableValue) { DisableValue = ADisableValue; }
  void SetDisableResult(TDisableResult ADisableResult) { DisableResult = ADisableResult; }
  void SetPin(TScanPin* APin) { Pin = APin; }
  void SetControlCell(TBoundaryCell* AControlCell) { ControlCell = AControlCell; }
  void SetTargetCell(TBoundaryCell* ATargetCell) { TargetCell = ATargetCell; }

  std::int32_t CellNumber = -1;
  TCellKind CellKind = eCellKind_Undefined;
  // "*" when the cell serves no port.
  std::wstring PortId = L"*";
  TBitValue SafeBit = eBit_X;
  // -1 when the cell has no control cell.
  std::int32_t ControlCellNumber = -1;
  TBitValue DisableValue = eBit_0;
  TDisableResult DisableResult = eDisableResult_Undefined;
  TScanPin* Pin = nullptr;
  TBoundaryCell* ControlCell = nullptr;
  // For a control cell: the output cell it enables.
  TBoundaryCell* TargetCell = nullptr;
  TCellFunction CellFunction = eCellFunction_Undefined;
  std::int32_t CurrentValue = 0;
};

class TInstructionOpCode : public TBSDLObject {
public:
  explicit TInstructionOpCode(TBSDLEntity* AEntity) : TBSDLObject(AEntity) {}
  static TInstructionOpCode* Create(TBSDLEntity& AEntity);

  std::wstring GetDescription() const override;
  std::wstring GetShortDescription() const override { return GetDescription(); }
  std::int32_t GetObjectCode() const override { return 72; }

  void SetInstructionName(std::wstring AInstructionName) {
    InstructionName = std::move(AInstructionName);
  }
  void SetOpCodePattern(std::wstring AOpCodePattern) { OpCodePattern = std::move(AOpCodePattern); }

  std::wstring InstructionName;
  // The op-code as written: a string of bit characters.
  std::wstring OpCodePattern;
  std::uint32_t InstructionCode = 0;
};

class TRegisterAssociation : public TBSDLObject {
public:
  explicit TRegisterAssociation(TBSDLEntity* AEntity) : TBSDLObject(AEntity) {}
  static TRegisterAssociation* Create(TBSDLEntity& AEntity);

  std::wstring GetDescription() const override;
  std::wstring GetShortDescription() const override { return GetDescription(); }
  std::int32_t GetObjectCode() const override { return 99; }

  void SetRegisterName(std::wstring ARegisterName) { RegisterName = std::move(ARegisterName); }
  void SetRegisterLength(std::int32_t ARegisterLength) { RegisterLength = ARegisterLength; }
  // Appends the op-code under its instruction name; throws
  // std::invalid_argument for a missing op-code.
  void AddOpCode(TInstructionOpCode* AOpCode);

  std::wstring RegisterName;
  std::int32_t RegisterLength = 0;
  // One entry per selecting instruction, in order of addition: the
  // instruction name and its op-code (which belongs to the entity).
  std::vector<std::pair<std::wstring, TInstructionOpCode*>> InstructionOpCodes;
};

// The keywords of the BSDL standard; the lazy evaluation reads the
// attributes named by entries 6 ("Boundary_Length") and 7
// ("Boundary_Register").
extern const std::array<std::wstring_view, 78> BSDLKeywords;
inline constexpr int BSDLKeyword_Boundary_Length = 6;
inline constexpr int BSDLKeyword_Boundary_Register = 7;

class TBSDLEntity : public TEntity {
public:
  // All ones: the instruction is not defined.
  static constexpr std::uint32_t UndefinedInstruction = 0xFFFFFFFF;

  // The entity a builder fills.
  TBSDLEntity();
  // The entity a text reader fills, evaluating its boundary register lazily.
  TBSDLEntity(TVHDLParser* AParser, std::wstring AFilename);

  // Where a device's BSDL file lives (Windows only, bsdl-lookup.cpp). A
  // relative file name is placed in the library tree: ALibraryFolder (the
  // plug-in's "Library\" when empty), "BSDL\", vendor, family; any other
  // name is answered unchanged. The disk is not consulted.
  static std::wstring DetermineFullPath(const std::wstring& ABSDLFileName,
                                        const std::wstring& ADeviceVendorName,
                                        const std::wstring& ADeviceFamilyName,
                                        const std::wstring& ALibraryFolder);
  // An existing copy of that file: the path itself, else its copy in the
  // temporary folder, else that copy unpacked from the ".Zip" archive of the
  // same name; empty when there is none.
  static std::wstring FindFullBSDLPath(const std::wstring& ASourcePath);

  // Each appends to the end of its list; the position is the index the host
  // uses. No check for duplicates.
  void AddPin(TScanPin* APin) { Pins.push_back(APin); }
  void AddBoundaryCell(TBoundaryCell* ACell) { BoundaryCells.push_back(ACell); }
  void AddInstructionOpCode(TInstructionOpCode* AOpCode) { InstructionOpCodes.push_back(AOpCode); }
  void AddRegisterAssociation(TRegisterAssociation* ARA) { RegisterAssociations.push_back(ARA); }

  // The boundary length and the boundary cells of an entity a reader made,
  // computed from its "Boundary_Length" and "Boundary_Register" attributes
  // the first time they are asked for; nothing for a builder's entity or
  // once done. The register's entries are numbered from 0; a number left
  // out gives an empty slot, and an entry that cannot be read ends the
  // register with the cells read so far.
  void EvaluateBoundaryInfo();

  // Takes a part made for this entity; answers it.
  template <typename T> T* Adopt(std::unique_ptr<T> APart) {
    T* part = APart.get();
    FParts.push_back(std::move(APart));
    return part;
  }
  // How many parts the entity owns (each once, however often it is listed).
  std::size_t PartCount() const { return FParts.size(); }

  std::int32_t InstructionLength = 0;
  std::uint32_t IdCode = 0;
  std::vector<TPinMapping*> PinMappings;
  std::wstring Instruction_Capture;
  std::vector<std::wstring> Instruction_Private;
  std::wstring Register_IDCode;
  std::wstring Register_UserCode;
  std::wstring RegisterAccessDescriptor;
  std::wstring DesignWarning;
  std::uint32_t Instruction_BYPASS = UndefinedInstruction;
  std::uint32_t Instruction_EXTEST = UndefinedInstruction;
  std::uint32_t Instruction_IDCODE = UndefinedInstruction;
  std::uint32_t Instruction_USERCODE = UndefinedInstruction;
  std::uint32_t Instruction_CLAMP = UndefinedInstruction;
  std::uint32_t Instruction_HIGHZ = UndefinedInstruction;
  bool FProcessedBoundaryInfo = false;
  bool UsingLazyEvaluation = false;
  std::vector<TScanPin*> Pins;
  std::vector<TInstructionOpCode*> InstructionOpCodes;
  std::vector<TRegisterAssociation*> RegisterAssociations;
  std::vector<TBoundaryCell*> BoundaryCells;
  std::int32_t BoundaryLength = 0;
  // Hz.
  double ScanClockMaxSpeed = 0.0;
  TScanClockHaltMode ScanClockHaltMode = eScanClockHaltMode_None;
  std::wstring ConformanceStatement;
  std::wstring CompliancePattern;
  std::wstring Filename;
  // The test-access pins: entries of Pins, or nullptr.
  TScanPin* TAP_TDI = nullptr;
  TScanPin* TAP_TDO = nullptr;
  TScanPin* TAP_TMS = nullptr;
  TScanPin* TAP_TCK = nullptr;
  TScanPin* TAP_TRST = nullptr;
  std::uint32_t Instruction_SAMPLE = UndefinedInstruction;

private:
  void ParseBoundaryRegister(std::wstring_view AText);

  std::vector<std::unique_ptr<TBSDLObject>> FParts;
};
