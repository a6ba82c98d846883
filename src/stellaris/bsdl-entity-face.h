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

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Answers the path of the device's own BSDL file when one is on disk, else
// the empty text; asked only when an entity is to be made.
using TBSDLFileLocator = std::function<std::wstring()>;

// The device's BSDL file in the library tree ("Library\BSDL\" + vendor +
// "\" + family), its copy in the temporary folder, or that copy unpacked
// from the ".Zip" archive beside it; empty when there is none.
std::wstring FindDeviceBSDLFile(const std::wstring& ABSDLFilename, const std::wstring& AVendor,
                                const std::wstring& AFamily);

class TBSDLEntitySlots {
public:
  explicit TBSDLEntitySlots(std::span<const TBSDLRecord> ARecords = TBSDLParameters);

  // The entity of a BSDL file (name compared ignoring case) as the host gets
  // it. A name in no record gives the empty entity and S_OK. A failed build
  // answers E_UNEXPECTED with the empty entity and leaves the slot empty, so
  // the next request builds afresh from nothing of the failed one.
  //
  // When ALocate finds the device's BSDL file, the entity is read from it
  // (its boundary register evaluated on first use); a file that cannot be
  // read leaves the compiled-in record to answer.
  HRESULT GetBSDLEntity(std::wstring_view ABSDLFilename, IBSDLEntity* AResult,
                        const TBSDLFileLocator& ALocate = {}) noexcept;
  // The same for a device kind's BSDL file; a kind outside the catalogue
  // gives the empty entity and S_OK.
  HRESULT GetBSDLEntityForKind(int AKind, IBSDLEntity* AResult) noexcept;

private:
  std::span<const TBSDLRecord> FRecords;
  std::vector<TComPtr<TBSDLEntityObject>> FSlots;
};
