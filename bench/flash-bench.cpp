// Flash programming cost on the simulated chip through the whole ARM road:
// the Stellaris writer drives its loader through the Cortex-M3 driver, whose
// scans go through the test host's JTAG channel to the chip. For a full image
// of each of the seven flash sizes it prints, per KB written and verified
// (a verify that finds any difference fails the run), the debug-port
// transactions, the simulated JTAG time (TCK cycles at the chip's 10 MHz) and
// the host's wall time.
//
// Usage: flash_bench

#include "armv7m-registers.h"
#include "cortex-m3.h"
#include "sector-flash-writers.h"
#include "sim-scan-target.h"
#include "test-host.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct TSize {
  unsigned Kb;
  const wchar_t* Writer;
};
// Every flash size of the family, each written in full.
constexpr TSize kSizes[] = {
    {8, L"TFLASH_LUMINARY_8"},   {16, L"TFLASH_LUMINARY_16"},   {32, L"TFLASH_LUMINARY_32"},
    {64, L"TFLASH_LUMINARY_64"}, {96, L"TFLASH_LUMINARY_96"},   {128, L"TFLASH_LUMINARY_128"},
    {256, L"TFLASH_LUMINARY_256"}};

double Seconds(const LARGE_INTEGER& AFrom, const LARGE_INTEGER& ATo) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(ATo.QuadPart - AFrom.QuadPart) / double(frequency.QuadPart);
}

} // namespace

int main() {
  std::printf("%8s %16s %14s %14s %14s\n", "image", "DAP per KB", "TCK per KB", "JTAG ms per KB",
              "wall ms per KB");
  for (const TSize& size : kSizes) {
    TSimConfig config;
    config.FlashKb = size.Kb;
    // A loader command ends within one poll, so the wait adds no idle polls.
    config.StepsPerAccess = 200000;
    TSimChipTarget target(config);
    TTestHost host(target);
    TARM_Cortex_M3 driver;
    TBoolean bound;
    driver.SetTarvoDevice(ITarvoDevice::FromDispatch(host.Device(0).Dispatch()), &bound);
    TComPtr<TFLASH_LUMINARY> writer = CreateStellarisFlashWriter(
        size.Writer, ITarvoDriver::FromDispatch(static_cast<IDispatch*>(&driver)));
    if (!writer || !writer->IsDriverLoaded()) {
      std::fprintf(stderr, "flash_bench: the loader is not beside the program\n");
      return 1;
    }
    TDataChunkImage image;
    image.DataLen = size.Kb * 1024;
    image.DataArray.resize(image.DataLen);
    for (uint32_t i = 0; i < image.DataLen; ++i)
      image.DataArray[i] = (i * 13 + 7) & 0xFF;

    const TSimCounters before = target.Sim().Counters();
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const uint32_t status = writer->FlashWrite(0, image, false, false, false, true);
    const uint32_t compare = writer->FlashCompare(0, image, 0, image.DataLen, false);
    QueryPerformanceCounter(&end);
    if (status != 0 || compare != 0) {
      std::fprintf(stderr, "flash_bench: %u KB failed (write %u, verify %u)\n", size.Kb, status,
                   compare);
      return 1;
    }
    const TSimCounters& after = target.Sim().Counters();
    const double kb = size.Kb;
    const double tck = double(after.TckCycles - before.TckCycles);
    std::printf("%5u KB %16.0f %14.0f %14.2f %14.2f\n", size.Kb,
                double(after.DapTransactions - before.DapTransactions) / kb, tck / kb,
                tck / double(config.TckHz) * 1000.0 / kb, Seconds(start, end) * 1000.0 / kb);
  }
  return 0;
}
