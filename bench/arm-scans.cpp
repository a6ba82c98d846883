// Scans per operation and the plug-in's own CPU time per 35-bit scan for the
// Cortex-M3 driver on the simulated chip, through the whole stack: the test
// host calls the driver by DISPID (memory through the IMemoryAccess face),
// the driver sends its scans to the host's JTAG channel by DISPID, and the
// channel passes them to the simulated chip.
//
// CPU time is the thread's (GetThreadTimes); the chip's share of it is the
// fraction of elapsed time spent inside the scan target, measured with the
// performance counter, and is taken out. Everything runs on one thread.
//
// Usage: arm_scans_bench [repetition factor, default 1]

#include "cortex-m3.h"
#include "memory-access.h"
#include "sim-scan-target.h"
#include "test-host.h"

#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr DISPID kSetRegister = 503766, kGetRegister = 503767, kPause = 503797, kContinue = 503798,
                 kStep = 503794, kIsPaused = 503800, kWriteHalf = 509037;
constexpr uint32_t kSram = 0x20000000;

// The simulated chip, with the scans and the time spent inside it counted.
class TCountingSimTarget : public IScanTarget {
public:
  uint64_t DataScans35 = 0;
  uint64_t InstructionScans = 0;
  int64_t ChipTicks = 0;

  unsigned DeviceCount() const override { return FSim.DeviceCount(); }
  unsigned IrLength(unsigned APosition) const override { return FSim.IrLength(APosition); }
  void MoveToState(int AState) override {
    TTimed timed(ChipTicks);
    FSim.MoveToState(AState);
  }
  std::string ShiftIR(unsigned APosition, const std::string& ABits) override {
    TTimed timed(ChipTicks);
    ++InstructionScans;
    return FSim.ShiftIR(APosition, ABits);
  }
  std::string ShiftDR(unsigned APosition, const std::string& ABits) override {
    TTimed timed(ChipTicks);
    DataScans35 += ABits.size() == 35;
    return FSim.ShiftDR(APosition, ABits);
  }
  void Forget() { DataScans35 = InstructionScans = 0, ChipTicks = 0; }

private:
  struct TTimed {
    int64_t& Sum;
    LARGE_INTEGER Start;
    explicit TTimed(int64_t& ASum) : Sum(ASum) { QueryPerformanceCounter(&Start); }
    ~TTimed() {
      LARGE_INTEGER end;
      QueryPerformanceCounter(&end);
      Sum += end.QuadPart - Start.QuadPart;
    }
  };
  TSimChipTarget FSim;
};

int64_t Ticks() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// The thread's CPU time in 100 ns units.
int64_t ThreadCpu() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto value = [](const FILETIME& ATime) {
    return int64_t((uint64_t(ATime.dwHighDateTime) << 32) | ATime.dwLowDateTime);
  };
  return value(kernel) + value(user);
}

VARIANT I4(int32_t AValue) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = AValue;
  return v;
}

class TBench {
public:
  TBench() {
    TBoolean bound;
    FDriver.SetTarvoDevice(ITarvoDevice::FromDispatch(FHost.Device(0).Dispatch()), &bound);
  }

  uint32_t Call(DISPID ADispId, std::vector<VARIANT> AArgs = {}) {
    std::vector<VARIANT> reversed(AArgs.rbegin(), AArgs.rend());
    DISPPARAMS params{reversed.data(), nullptr, UINT(reversed.size()), 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = FDriver.Invoke(ADispId, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                      &params, &result, nullptr, nullptr);
    if (FAILED(hr)) {
      fprintf(stderr, "DISPID %ld failed: 0x%08lx\n", long(ADispId), long(hr));
      exit(2);
    }
    const uint32_t value = result.vt == VT_BOOL ? (result.boolVal ? 1 : 0) : uint32_t(result.lVal);
    VariantClear(&result);
    return value;
  }

  IMemoryAccess& Memory() {
    if (!FMemory) {
      void* memory = nullptr;
      if (FAILED(FDriver.QueryInterface(IID_IMemoryAccess, &memory))) {
        fprintf(stderr, "the driver offers no IMemoryAccess\n");
        exit(2);
      }
      FMemory = static_cast<IMemoryAccess*>(memory);
    }
    return *FMemory;
  }

  // Halted at a Thumb loop in SRAM: a few NOPs and a branch to itself.
  void Prepare() {
    Call(kIsPaused);
    Call(kPause);
    if (!Call(kIsPaused)) {
      fprintf(stderr, "the core does not halt\n");
      exit(2);
    }
    for (uint32_t i = 0; i < 64; ++i)
      Call(kWriteHalf, {I4(int32_t(kSram + 0x100 + 2 * i)), I4(0xBF00)});
    Call(kWriteHalf, {I4(int32_t(kSram + 0x180)), I4(0xE7FE)});
    Call(kSetRegister, {I4(29), I4(int32_t(kSram + 0x100))});
  }

  // Runs AOperation ARepeats times, each after AUnmeasured, and prints a row.
  void Measure(const char* AName, int ARepeats, const std::function<void()>& AUnmeasured,
               const std::function<void()>& AOperation) {
    uint64_t scans = 0, instructions = 0;
    int64_t cpu = 0, wall = 0, chip = 0;
    for (int i = 0; i < ARepeats; ++i) {
      if (AUnmeasured)
        AUnmeasured();
      FTarget.Forget();
      const int64_t cpuStart = ThreadCpu(), wallStart = Ticks();
      AOperation();
      wall += Ticks() - wallStart;
      cpu += ThreadCpu() - cpuStart;
      chip += FTarget.ChipTicks;
      scans += FTarget.DataScans35;
      instructions += FTarget.InstructionScans;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double chipShare = wall > 0 ? double(chip) / double(wall) : 0;
    const double cpuUs = double(cpu) / 10.0;
    const double pluginUsPerScan = scans ? cpuUs * (1 - chipShare) / double(scans) : 0;
    const double chipUsPerScan = scans ? cpuUs * chipShare / double(scans) : 0;
    printf("| %-22s | %7d | %9.1f | %9.1f | %15.2f | %12.2f |\n", AName, ARepeats,
           double(scans) / ARepeats, double(instructions) / ARepeats, pluginUsPerScan,
           chipUsPerScan);
    FTotalScans += scans;
    FTotalPluginUs += cpuUs * (1 - chipShare);
  }

  void Summary() {
    printf("\nall operations: %llu scans, plug-in CPU %.2f us per 35-bit scan\n",
           (unsigned long long)FTotalScans, FTotalScans ? FTotalPluginUs / FTotalScans : 0.0);
  }

private:
  TCountingSimTarget FTarget;
  TTestHost FHost{FTarget};
  TARM_Cortex_M3 FDriver;
  IMemoryAccess* FMemory = nullptr;
  uint64_t FTotalScans = 0;
  double FTotalPluginUs = 0;
};

} // namespace

int main(int AArgc, char** AArgv) {
  const int factor = AArgc > 1 ? std::max(1, atoi(AArgv[1])) : 1;
  TBench bench;
  bench.Prepare();

  std::vector<uint32_t> cells(1024);
  for (size_t i = 0; i < cells.size(); ++i)
    cells[i] = uint32_t(i * 13 + 5) & 0xFF;
  std::vector<uint32_t> back(1024);

  printf("| %-22s | %7s | %9s | %9s | %15s | %12s |\n", "operation", "repeats", "scans/op", "IR/op",
         "plug-in us/scan", "chip us/scan");
  printf("|%s|%s|%s|%s|%s|%s|\n", std::string(24, '-').c_str(), std::string(9, '-').c_str(),
         std::string(11, '-').c_str(), std::string(11, '-').c_str(), std::string(16, '-').c_str(),
         std::string(14, '-').c_str());
  bench.Measure(
      "halt", 10 * factor, [&] { bench.Call(kContinue); }, [&] { bench.Call(kPause); });
  bench.Measure(
      "step", 10 * factor,
      [&] {
        bench.Call(kSetRegister, {I4(29), I4(int32_t(kSram + 0x100))});
      },
      [&] { bench.Call(kStep); });
  bench.Measure("30-register read", 3 * factor, nullptr, [&] {
    for (int32_t index = 0; index < 30; ++index)
      bench.Call(kGetRegister, {I4(index)});
  });
  bench.Measure("1 KB memory write", 2 * factor, nullptr, [&] {
    TLongBool ok = LongFalse;
    bench.Memory().MemoryWrite(0, cells.data(), kSram + 0x400, 1024, &ok);
  });
  bench.Measure("1 KB memory read", 2 * factor, nullptr, [&] {
    TLongBool ok = LongFalse;
    bench.Memory().MemoryRead(0, back.data(), kSram + 0x400, 1024, &ok);
  });
  bench.Summary();
  if (back != cells) {
    fprintf(stderr, "the memory read back differs from what was written\n");
    return 1;
  }
  return 0;
}
