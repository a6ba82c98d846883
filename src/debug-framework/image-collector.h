#pragma once

#include "host-records.h"
#include "image-loaders.h"

#include <cstdint>
#include <string>
#include <vector>

class TVEKAbstractRemoteExecuteBaseDriver;

// Collects the pieces an image loader delivers into one buffer of units,
// relative to the first piece: a piece that lies just above the data
// collected keeps its distance, any other follows the data directly.
class TLoadFileCallBackHelper {
public:
  explicit TLoadFileCallBackHelper(TMainRequestFunction AMainFunction);

  bool ProcessFile(const std::wstring& AFilePath);
  void Callback(int64_t AAddress, int64_t ASize, PMemoryArray ABuffer);
  const std::vector<uint32_t>& GetBuffer() const { return FBuffer; }

private:
  TMainRequestFunction FMainFunction;
  std::vector<uint32_t> FBuffer;
};

// Brackets one flash-writer operation: installs the loader when it is not
// installed and uninstalls it at the end, which restores the saved RAM.
class TDriverTransaction {
public:
  explicit TDriverTransaction(TVEKAbstractRemoteExecuteBaseDriver& AWriter);
  ~TDriverTransaction() noexcept(false);
  TDriverTransaction(const TDriverTransaction&) = delete;
  TDriverTransaction& operator=(const TDriverTransaction&) = delete;

private:
  bool FNeedToUninstallDriver = false;
  TVEKAbstractRemoteExecuteBaseDriver& FDriver;
  int FUncaught = 0;
};

// Reports progress positions 0 to 1000 to the host's flash-writer callback.
class TProgressUpdaterHelper {
public:
  TProgressUpdaterHelper(const IFlashWriterCallback& ACallback, uint32_t AInitial);
  void Update(uint32_t AAmount);
  void UpdateStep(uint32_t AStep) { Update(FInternalProgress + AStep); }
  uint32_t Progress() const { return FInternalProgress; }

private:
  IFlashWriterCallback FInternalCallBackInterface;
  uint32_t FInternalProgress = 0;
};
