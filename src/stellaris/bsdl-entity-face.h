#pragma once

// GetBSDLEntity of a Stellaris driver: the boundary-scan entity of the
// driver's BSDL file, built from the compiled-in record on the first request
// and handed out as the same object from then on. Each driver object keeps
// its own slots, so drivers never share an entity.
//
// A driver answers the host's DISPID 503406 in one line:
//   HRESULT GetBSDLEntity(IBSDLEntity* AResult) override {
//     return FBSDLEntities.GetBSDLEntity(BSDLFilename(), AResult);
//   }

#include "bsdl-faces.h"
#include "bsdl-records.h"

#include <span>
#include <string_view>
#include <vector>

class TBSDLEntitySlots {
public:
  explicit TBSDLEntitySlots(std::span<const TBSDLRecord> ARecords = TBSDLParameters);

  // The entity of a BSDL file (name compared ignoring case) as the host gets
  // it. A name in no record gives the empty entity and S_OK. A failed build
  // answers E_UNEXPECTED with the empty entity and leaves the slot empty, so
  // the next request builds afresh from nothing of the failed one.
  HRESULT GetBSDLEntity(std::wstring_view ABSDLFilename, IBSDLEntity* AResult) noexcept;
  // The same for a device kind's BSDL file; a kind outside the catalogue
  // gives the empty entity and S_OK.
  HRESULT GetBSDLEntityForKind(int AKind, IBSDLEntity* AResult) noexcept;

private:
  std::span<const TBSDLRecord> FRecords;
  std::vector<TComPtr<TBSDLEntityObject>> FSlots;
};
