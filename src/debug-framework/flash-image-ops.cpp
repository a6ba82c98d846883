#include "flash-image-ops.h"

#include "dialogs.h"
#include "flash-writer.h"
#include "image-collector.h"

#include <algorithm>

std::wstring FlashWriteErrorQuestion(uint32_t AStatus) {
  return std::wstring(L"Error: ") + RemoteStatusText(AStatus) + L"\r\n" + L" OK to continue?";
}

namespace {

// Moves the progress to its end when an operation leaves, whichever way.
class TProgressEnd {
public:
  explicit TProgressEnd(TProgressUpdaterHelper& AProgress) : FProgress(AProgress) {}
  ~TProgressEnd() {
    try {
      FProgress.Update(1000);
    } catch (...) {
    }
  }

private:
  TProgressUpdaterHelper& FProgress;
};

} // namespace

void TVEKAbstractRemoteExecuteBaseDriver::BuildFlashImage(uint32_t AIndex,
                                                          const TDataChunkImage& AImage,
                                                          bool APreserveSectorData,
                                                          TDataChunkImage& AResult) {
  if (AIndex >= FFlashMemorySpaceArray.size())
    AIndex = 0;
  auto unitOf = [&](uint32_t AAddress) {
    return APreserveSectorData ? FlashSectorFromAddress(AIndex, AAddress)
                               : GetFlashPageFromAddress(AIndex, AAddress);
  };
  auto addressOf = [&](uint32_t AUnit) {
    return APreserveSectorData ? FlashAddressFromSector(AIndex, AUnit)
                               : GetFlashAddressFromPage(AIndex, AUnit);
  };
  const uint32_t first = unitOf(AImage.TargetAddr);
  const uint32_t last = unitOf(AImage.TargetAddr + AImage.DataLen - 1);
  const uint32_t start = addressOf(first);
  const uint32_t end = addressOf(last + 1) - 1;
  const uint32_t length = end - start + 1;
  const uint32_t lead = AImage.TargetAddr - start;
  const uint32_t trail = end + 1 - (AImage.TargetAddr + AImage.DataLen);

  TDataChunkImage result;
  result.DataArray.assign(length, 0xFFFFFFFF);
  if (APreserveSectorData) {
    // A read-back that fails must stop the write: the units it left would be
    // written over the flash contents the user asked to keep.
    auto preserve = [&](uint32_t* AUnits, uint32_t AAddress, uint32_t ACount) {
      uint32_t status = 0;
      try {
        status = InternalFlashRead(AIndex, AUnits, AAddress, ACount);
      } catch (const EFlashWriterError& e) {
        throw EFlashWriterError(L"Reading the flash contents to keep around the image failed (" +
                                e.Message() + L"). Nothing was erased or written.");
      }
      if (status != 0)
        throw EFlashWriterError(L"Reading the flash contents to keep around the image failed (" +
                                std::wstring(RemoteStatusText(status)) +
                                L"). Nothing was erased or written.");
    };
    if (lead > 0)
      preserve(result.DataArray.data(), start, lead);
    if (trail > 0)
      preserve(result.DataArray.data() + lead + AImage.DataLen, AImage.TargetAddr + AImage.DataLen,
               trail);
  }
  std::copy(AImage.DataArray.begin(), AImage.DataArray.begin() + AImage.DataLen,
            result.DataArray.begin() + lead);
  result.TargetAddr = start;
  result.DataLen = length;
  AResult = std::move(result);
}

uint32_t TVEKAbstractRemoteExecuteBaseDriver::FlashWrite(uint32_t AIndex, TDataChunkImage AImage,
                                                         bool AAutoChecksum,
                                                         bool APreserveSectorData,
                                                         bool AResetAfterLoad, bool AVerify) {
  if (!FInternalIsDriverLoaded)
    return 1;
  if (AImage.DataLen == 0)
    return 0; // nothing to program
  AImage.DataArray.resize(std::max<size_t>(AImage.DataArray.size(), AImage.DataLen), 0);
  TProgressUpdaterHelper progress(FInternalFlashWriterCallbackInterface, 0);
  bool completed = false;
  uint32_t status = 0;
  {
    TDriverTransaction transaction(*this);
    TProgressEnd progressEnd(progress);
    [&] {
      if (DoAbortCheck()) {
        status = 1;
        return;
      }
      if (AAutoChecksum)
        InjectChecksum(AImage);
      TDataChunkImage built;
      BuildFlashImage(0, AImage, APreserveSectorData, built);
      progress.UpdateStep(50);
      if (DoAbortCheck()) {
        status = 1;
        return;
      }
      // A failed erase leaves old bits under the new data; the user decides,
      // and a write that goes on still answers the failure.
      const uint32_t eraseStatus =
          FlashErase(0, built.TargetAddr, built.TargetAddr + built.DataLen - 1, false);
      if (eraseStatus != 0 && !ConfirmOkCancel(FlashWriteErrorQuestion(eraseStatus))) {
        status = eraseStatus;
        return;
      }
      progress.UpdateStep(50);

      const uint32_t chunk = GetDataBufferSize();
      const uint32_t chunks = built.DataLen / chunk;
      const uint32_t step = 900 / std::max<uint32_t>(chunks, 1);
      uint32_t chunkStatus = 0;
      for (uint32_t offset = 0; offset < built.DataLen; offset += chunk) {
        if (DoAbortCheck()) {
          status = 1;
          return;
        }
        const uint32_t count = std::min(chunk, built.DataLen - offset);
        RemoteDataWrite(FDataBaseAddress, built.DataArray.data() + offset, count, false);
        chunkStatus =
            InternalFlashWrite(AIndex, FDataBaseAddress, built.TargetAddr + offset, count, AVerify);
        if (chunkStatus != 0 && !ConfirmOkCancel(FlashWriteErrorQuestion(chunkStatus))) {
          status = chunkStatus;
          return;
        }
        progress.UpdateStep(step);
      }
      status = chunkStatus != 0 ? chunkStatus : eraseStatus;
      completed = true;
    }();
  }
  // Started only once the saved RAM is back, so the program is not
  // disturbed by the restore.
  if (completed && AResetAfterLoad) {
    Driver().ResetProcessor();
    Driver().ContinueProcessor();
  }
  return status;
}

uint32_t TVEKAbstractRemoteExecuteBaseDriver::FlashErase(uint32_t AIndex, uint32_t AStart,
                                                         uint32_t AEnd, bool AByWriting) {
  if (!FInternalIsDriverLoaded)
    return 1;
  TDriverTransaction transaction(*this);
  if (DoAbortCheck())
    return 1;
  if (AByWriting) {
    // The end is inside the range, as for an erase through the loader.
    TDataChunkImage image;
    image.TargetAddr = AStart;
    image.DataLen = AEnd - AStart + 1;
    image.DataArray.assign(image.DataLen, 0xFFFFFFFF);
    return FlashWrite(AIndex, std::move(image), false, true, false, false);
  }
  return InternalFlashErase(AIndex, AStart, AEnd);
}

uint32_t TVEKAbstractRemoteExecuteBaseDriver::FlashCompare(uint32_t AIndex, TDataChunkImage AImage,
                                                           uint32_t AAddress, uint32_t ACount,
                                                           bool AAutoChecksum) {
  if (!FInternalIsDriverLoaded)
    return 1;
  TProgressUpdaterHelper progress(FInternalFlashWriterCallbackInterface, 0);
  TDriverTransaction transaction(*this);
  TProgressEnd progressEnd(progress);
  const uint32_t block = GetCompareBlockSize();
  uint32_t blocks = 1, size = ACount;
  if (block < ACount) {
    blocks = ACount / block;
    size = block;
  }
  const uint32_t step = 1000 / blocks;
  if (AAutoChecksum)
    InjectChecksum(AImage);
  std::vector<uint32_t> flash(ACount, 0);
  // Flash that could not be read is not compared: its units are unknown.
  auto read = [&](uint32_t AAt, uint32_t ACountRead) {
    const uint32_t status =
        InternalFlashRead(AIndex, flash.data() + AAt, uint64_t(AAddress) + AAt, ACountRead);
    if (status != 0)
      throw EFlashWriterError(L"Reading the flash to compare it with the image failed (" +
                              std::wstring(RemoteStatusText(status)) + L").");
  };
  for (uint32_t b = 0; b < blocks; ++b) {
    if (size != 0)
      read(b * size, size);
    progress.UpdateStep(step);
  }
  const uint32_t rest = ACount - blocks * size;
  if (rest != 0)
    read(blocks * size, rest);
  // Units the image does not have cannot be shown to match.
  uint32_t differences = 0;
  const uint32_t known = std::min<uint32_t>(
      ACount, std::min<uint32_t>(AImage.DataLen, uint32_t(AImage.DataArray.size())));
  for (uint32_t i = 0; i < ACount; ++i)
    if (i >= known || flash[i] != AImage.DataArray[i])
      ++differences;
  return differences;
}

uint32_t TVEKAbstractRemoteExecuteBaseDriver::DoBlankCheckSectors(uint32_t AIndex, uint32_t AFirst,
                                                                  uint32_t ALast) {
  (void)AIndex;
  if (!FInternalIsDriverLoaded)
    return 1;
  TDriverTransaction transaction(*this);
  if (DoAbortCheck())
    return 1;
  TRemoteCommandResult result;
  return DispatchRemoteCommand(eRemoteCmd_BlankCheck, result, {AFirst, ALast, 0});
}

uint32_t TVEKAbstractRemoteExecuteBaseDriver::DoEraseEntireDevice(uint32_t AIndex) {
  (void)AIndex;
  if (!FInternalIsDriverLoaded)
    return 1;
  TDriverTransaction transaction(*this);
  if (DoAbortCheck())
    return 1;
  TRemoteCommandResult result;
  return DispatchRemoteCommand(eRemoteCmd_EraseAll, result, {0});
}
