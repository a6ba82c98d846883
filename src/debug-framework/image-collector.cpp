#include "image-collector.h"

#include "flash-writer.h"

#include <algorithm>
#include <exception>

TLoadFileCallBackHelper::TLoadFileCallBackHelper(TMainRequestFunction AMainFunction)
    : FMainFunction(AMainFunction), FBuffer(1, 0) {}

bool TLoadFileCallBackHelper::ProcessFile(const std::wstring& AFilePath) {
  FBuffer.assign(1, 0);
  return FMainFunction(AFilePath, [this](int64_t AAddress, int64_t ASize, PMemoryArray ABuffer) {
    Callback(AAddress, ASize, ABuffer);
  });
}

void TLoadFileCallBackHelper::Callback(int64_t AAddress, int64_t ASize, PMemoryArray ABuffer) {
  if (ASize <= 0)
    return;
  // The first piece overwrites the single initial unit.
  int64_t pos = FBuffer.size() > 1 ? int64_t(FBuffer.size()) : 0;
  if (AAddress > pos && AAddress <= pos + ASize)
    pos = AAddress;
  FBuffer.resize(size_t(pos + ASize), 0);
  std::copy(ABuffer, ABuffer + ASize, FBuffer.begin() + pos);
}

TDriverTransaction::TDriverTransaction(TVEKAbstractRemoteExecuteBaseDriver& AWriter)
    : FDriver(AWriter), FUncaught(std::uncaught_exceptions()) {
  FDriver.ClearAbort();
  if (!FDriver.IsDriverInstalled()) {
    FDriver.DoInstallDriver();
    FNeedToUninstallDriver = true;
  }
}

TDriverTransaction::~TDriverTransaction() noexcept(false) {
  FDriver.ClearAbort();
  if (!FNeedToUninstallDriver)
    return;
  // A failing restore raises like any transfer, unless the operation is
  // already leaving by an exception: that one is the failure to report.
  if (std::uncaught_exceptions() > FUncaught) {
    try {
      FDriver.DoUninstallDriver();
    } catch (...) {
    }
  } else {
    FDriver.DoUninstallDriver();
  }
}

TProgressUpdaterHelper::TProgressUpdaterHelper(const IFlashWriterCallback& ACallback,
                                               uint32_t AInitial)
    : FInternalCallBackInterface(ACallback) {
  Update(AInitial);
}

void TProgressUpdaterHelper::Update(uint32_t AAmount) {
  FInternalProgress = AAmount;
  if (!FInternalCallBackInterface.IsEmpty())
    FInternalCallBackInterface.SetProgress(int32_t(AAmount));
}
