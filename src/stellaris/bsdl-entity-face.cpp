#include "bsdl-entity-face.h"

#include "bsdl-entity-builder.h"
#include "bsdl-file-entity.h"
#include "device-catalogue.h"
#include "vhdl-reader-host.h"

#include <exception>

namespace {

bool NamesARecord(std::wstring_view AName, std::span<const TBSDLRecord> ARecords) {
  for (const TBSDLRecord& record : ARecords)
    if (record.Filename && SameTextIgnoringCase(record.Filename, AName))
      return true;
  return false;
}

} // namespace

TBSDLEntitySlots::TBSDLEntitySlots(std::span<const TBSDLRecord> ARecords)
    : FRecords(ARecords), FSlots(ARecords.size()) {}

std::wstring FindDeviceBSDLFile(const std::wstring& ABSDLFilename, const std::wstring& AVendor,
                                const std::wstring& AFamily) {
  return TBSDLEntity::FindFullBSDLPath(
      TBSDLEntity::DetermineFullPath(ABSDLFilename, AVendor, AFamily, std::wstring()));
}

HRESULT TBSDLEntitySlots::GetBSDLEntity(std::wstring_view ABSDLFilename, IBSDLEntity* AResult,
                                        const TBSDLFileLocator& ALocate) noexcept {
  if (!AResult)
    return E_POINTER;
  *AResult = IBSDLEntity();
  return Guarded([&] {
    if (!NamesARecord(ABSDLFilename, FRecords))
      return;
    TComPtr<TBSDLEntityObject>& slot = FSlots[BSDLNameIndex(ABSDLFilename, FRecords)];
    if (!slot && ALocate) {
      const std::wstring path = ALocate();
      THostReaderSurroundings host;
      // A read the host breaks off (its status bar, messages panel or
      // editor failing a call) is a file that could not be read: the
      // compiled-in record answers.
      try {
        if (!path.empty())
          if (std::unique_ptr<TBSDLEntity> read = ReadCompleteBSDLEntity(path, &host))
            slot = TComPtr<TBSDLEntityObject>(new TBSDLEntityObject(std::move(read)));
      } catch (const std::exception&) {
        slot = TComPtr<TBSDLEntityObject>();
      }
    }
    if (!slot) {
      // Each build has its own index lists (TBSDLEntityBuilder), so a build
      // that failed leaves nothing a later one could pick up.
      auto entity = BuildBSDLEntity(FRecords[BSDLNameIndex(ABSDLFilename, FRecords)]);
      slot = TComPtr<TBSDLEntityObject>(new TBSDLEntityObject(std::move(entity)));
    }
    *AResult = IBSDLEntity::FromDispatch(slot.Get());
  });
}

HRESULT TBSDLEntitySlots::GetBSDLEntityForKind(int AKind, IBSDLEntity* AResult) noexcept {
  if (!AResult)
    return E_POINTER;
  *AResult = IBSDLEntity();
  if (AKind < 0 || AKind >= DeviceKindCount)
    return S_OK;
  return Guarded([&] { return GetBSDLEntity(DeviceBSDLName(AKind), AResult); });
}
