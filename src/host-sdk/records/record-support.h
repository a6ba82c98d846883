#pragma once

#include "com-ptr.h"

#include <oaidl.h>

// A record passed by reference: the host reads the object the record holds
// and may replace it (or release it and hand back nothing). The slot owns one
// reference while the call runs; afterwards the record holds whatever the
// slot holds, also when the call failed after the host wrote it.
template <class TRecord> class TVarDispatch {
public:
  explicit TVarDispatch(TRecord& ARecord)
      : FRecord(ARecord), FSlot(ARecord.ToDispatch().Detach()) {}
  TVarDispatch(const TVarDispatch&) = delete;
  TVarDispatch& operator=(const TVarDispatch&) = delete;
  ~TVarDispatch() {
    FRecord = TRecord::FromDispatch(FSlot);
    if (FSlot)
      FSlot->Release();
  }

  IDispatch** Slot() { return &FSlot; }

private:
  TRecord& FRecord;
  IDispatch* FSlot;
};
