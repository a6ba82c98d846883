#pragma once

// Turns a compiled-in boundary-scan record into a TBSDLEntity, and keeps the
// entities a driver object has built, one per BSDL file.

#include "bsdl-model.h"
#include "bsdl-records.h"

#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A record that cannot be turned into an entity: a count out of its range or
// a part that names a cell or op-code the record does not have.
class EBSDLBuildError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The record index of a BSDL file name, ignoring ASCII letter case; the last
// matching name wins, and 0 answers a name that is in no record.
int BSDLNameIndex(std::wstring_view AName, std::span<const TBSDLRecord> ARecords = TBSDLParameters);

// One build. The index lists live only as long as the builder, so a build
// that failed leaves nothing that a later build could pick up.
class TBSDLEntityBuilder {
public:
  explicit TBSDLEntityBuilder(const TBSDLRecord& ARecord) : FRecord(ARecord) {}
  // Throws EBSDLBuildError; nothing of a failed build survives it.
  std::unique_ptr<TBSDLEntity> Build();

private:
  // Lookups ignore letter case; a part is registered only when its key was
  // not found, so no key is held twice.
  template <typename T> using TIndex = std::map<std::wstring, T*>;

  TBoundaryCell* FindCell(std::int32_t ACellNumber) const;
  TScanPin* FindScanPin(std::wstring_view APinNumber) const;
  TPinMapping* FindPinMapping(std::wstring_view APinNumber) const;
  TInstructionOpCode* FindOpCode(std::wstring_view AInstructionName) const;
  TRegisterAssociation* FindRegisterAssociation(std::wstring_view ARegisterName) const;

  TBoundaryCell* FindOrMakeCell(const TBoundaryCellParameters& ACell);
  TScanPin* FindOrMakeScanPin(const TScanPinParameters& APin);
  TPinMapping* FindOrMakePinMapping(const TPinMappingParameters& AMapping);
  TInstructionOpCode* FindOrMakeOpCode(const TOpCodeParameters& AOpCode);
  TRegisterAssociation* FindOrMakeRegisterAssociation(const TRegisterAssociationParameters& ARA);

  TBoundaryCell* CellOrThrow(std::int32_t ACellNumber) const;

  const TBSDLRecord& FRecord;
  TBSDLEntity* FEntity = nullptr;
  TIndex<TScanPin> FScanPins;
  TIndex<TBoundaryCell> FBoundaryCells;
  TIndex<TPinMapping> FPinMappings;
  TIndex<TInstructionOpCode> FOpCodes;
  TIndex<TRegisterAssociation> FRegisterAssociations;
};

inline std::unique_ptr<TBSDLEntity> BuildBSDLEntity(const TBSDLRecord& ARecord) {
  return TBSDLEntityBuilder(ARecord).Build();
}

// The entities one driver object has built: one slot per record, filled on
// the first request and kept for the cache's life. Drivers do not share
// entities; each builds its own.
class TBSDLEntityCache {
public:
  explicit TBSDLEntityCache(std::span<const TBSDLRecord> ARecords = TBSDLParameters);

  // The entity of a BSDL file (name compared ignoring case); nullptr for a
  // name that is in no record. A failed build throws EBSDLBuildError and
  // leaves the slot empty, so the next request builds afresh.
  TBSDLEntity* GetEntity(std::wstring_view AFilename);
  // The entity of a device kind's BSDL file; throws std::out_of_range for a
  // kind outside the catalogue.
  TBSDLEntity* GetEntityForKind(int AKind);

private:
  std::span<const TBSDLRecord> FRecords;
  std::vector<std::unique_ptr<TBSDLEntity>> FSlots;
};
