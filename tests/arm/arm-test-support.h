#pragma once

// A Cortex-M3 driver bound to chain device 0 of a test host whose scans go
// to the simulated chip, with every debug-port scan recorded as data.

#include "cortex-m3.h"
#include "sim-scan-target.h"
#include "test-host.h"

#include <oleauto.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The driver as the product's device class will use it; tests reach the
// debug-port layer through it.
class TTestCortexM3 : public TARM_Cortex_M3 {
public:
  using TARM_Cortex_M3::TARM_Cortex_M3;
  using TARMADI_V5::DebugPortInit;
  using TARMADI_V5::MemApBankedRead;
  using TARMADI_V5::MemApBankedReadAndCheck;
  using TARMADI_V5::MemApBankedWriteAndCheck;
  using TARMADI_V5::MemApReadWord;
};

// One debug-port scan as it went to the chip: instruction and 35-bit text.
struct TDapScan {
  uint32_t Instruction;
  std::string Bits;
  bool operator==(const TDapScan&) const = default;
};

class TTracingSimTarget : public IScanTarget {
public:
  explicit TTracingSimTarget(const TSimConfig& AConfig = TSimConfig()) : FSim(AConfig) {}
  TStellarisSim& Sim() { return FSim.Sim(); }
  std::vector<TDapScan> Scans;
  std::vector<uint32_t> Instructions;

  unsigned DeviceCount() const override { return FSim.DeviceCount(); }
  unsigned IrLength(unsigned APosition) const override { return FSim.IrLength(APosition); }
  void MoveToState(int AState) override { FSim.MoveToState(AState); }
  std::string ShiftIR(unsigned APosition, const std::string& ABits) override {
    FInstruction = uint32_t(ValueOfBits(ABits));
    Instructions.push_back(FInstruction);
    return FSim.ShiftIR(APosition, ABits);
  }
  std::string ShiftDR(unsigned APosition, const std::string& ABits) override {
    Scans.push_back({FInstruction, ABits});
    return FSim.ShiftDR(APosition, ABits);
  }

private:
  TSimChipTarget FSim;
  uint32_t FInstruction = 0;
};

// The expected text of a scan.
inline TDapScan Dap(uint32_t AInstruction, uint32_t AData, uint8_t AAddress, bool ARead) {
  const std::wstring text = DapScanText(ARead ? 0 : AData, AAddress, ARead);
  return {AInstruction, std::string(text.begin(), text.end())};
}

// Integer arguments of calls by DISPID.
inline VARIANT I4(int32_t AValue) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = AValue;
  return v;
}

inline VARIANT I8(int64_t AValue) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I8;
  v.llVal = AValue;
  return v;
}

// Invoke by DISPID as the host does; arguments in declaration order.
HRESULT InvokeDispId(IDispatch& AObject, DISPID ADispId, std::vector<VARIANT> AArgs,
                     VARIANT* AResult);

// Everything written to a temporary file so far.
std::string Contents(std::FILE* AFile);
// ACount reproducible pseudo-random bytes, different for each seed.
std::vector<uint8_t> PatternBytes(size_t ACount, uint32_t ASeed);
// Intel HEX text of bytes at an address below 64 KB, 16 bytes a line.
std::string HexText(uint32_t AAddress, const std::vector<uint8_t>& ABytes);
