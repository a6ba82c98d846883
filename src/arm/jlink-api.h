#pragma once

// The J-Link probe library's functions as this program calls them: their
// calling convention, the records they fill and their signatures. The
// library and every stand-in for it are built against this one header.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define JLINK_API __cdecl
#else
#define JLINK_API
#endif

// The library fills records whose tails this program never reads; each
// record is given room well beyond the fields named, so a library that
// writes a longer record than the one read here writes into our own slack.
constexpr unsigned kJlinkRecordSlack = 256;

// Probe status: the target supply in millivolts comes first.
struct TJlinkHwStatus {
  int16_t VTarget;
  uint8_t Rest[kJlinkRecordSlack];
};

// Chain identification: the number of devices on the chain comes first.
struct TJlinkIdData {
  int16_t NumDevices;
  uint8_t Rest[kJlinkRecordSlack];
};

// One chain device: its name (the library's text) and instruction length.
struct TJlinkJtagDeviceInfo {
  const char* sName;
  uint32_t IRLen;
  uint32_t IRPrint;
  uint8_t Rest[kJlinkRecordSlack];
};

// One probe found on a host interface; its contents are the library's.
struct TJlinkEmuConnectInfo {
  uint32_t SerialNumber;
  uint32_t Connection;
  uint8_t Rest[kJlinkRecordSlack];
};

static_assert(offsetof(TJlinkHwStatus, VTarget) == 0 && sizeof(TJlinkHwStatus::VTarget) == 2);
static_assert(offsetof(TJlinkIdData, NumDevices) == 0 && sizeof(TJlinkIdData::NumDevices) == 2);
static_assert(offsetof(TJlinkJtagDeviceInfo, sName) == 0);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(TJlinkJtagDeviceInfo, IRLen) == 4 &&
              sizeof(TJlinkJtagDeviceInfo::IRLen) == 4);
#endif

// Arguments of the calls this program makes.
constexpr int kJlinkHostIfUsb = 1;
constexpr int kJlinkTifSwd = 1;
constexpr uint32_t kJlinkSpeedAuto = 0;
constexpr int16_t kJlinkMinTargetMillivolts = 500; // a supply at or below: no target
// Breakpoint types: any hardware unit; software, either mode, ARM, Thumb.
constexpr uint32_t kJlinkBpTypeHardware = 0xFFFFFF00;
constexpr uint32_t kJlinkBpTypeSoftware = 0xF0, kJlinkBpTypeSoftwareArm = 0xF1,
                   kJlinkBpTypeSoftwareThumb = 0xF2;
// Run until halted, letting up to five instructions be emulated.
constexpr uint32_t kJlinkGoMaxEmulInsts = 5, kJlinkGoFlags = 1;
// Cores CORE_GetFound answers that this program knows, and the chain
// identification code each stands for.
constexpr uint32_t kJlinkCoreCortexM0 = 0x060000FF, kJlinkCoreCortexM3 = 0x030000FF;
constexpr uint32_t kJlinkIdCortexM0 = 0x0BB11477, kJlinkIdCortexM3 = 0x3BA00477;

// The library's register numbers of a Cortex-M core.
enum class TJlinkCmReg : int {
  R0 = 0,
  R15 = 15,
  XPSR = 16,
  MSP = 17,
  PSP = 18,
  RAZ = 19,
  CFBP = 20,
  APSR = 21,
  EPSR = 22,
  IPSR = 23,
  PRIMASK = 24,
  BASEPRI = 25,
  FAULTMASK = 26,
  CONTROL = 27,
};

// The signatures, one per library function.
extern "C" {
using TJlinkOpen = const char*(JLINK_API*)();
using TJlinkClose = void(JLINK_API*)();
using TJlinkGetIdData = void(JLINK_API*)(TJlinkIdData* pIdData);
using TJlinkSetInitRegsOnReset = int(JLINK_API*)(int OnOff);
using TJlinkSetMaxSpeed = void(JLINK_API*)();
using TJlinkSetSpeed = void(JLINK_API*)(uint32_t Speed);
using TJlinkGetHWStatus = int(JLINK_API*)(TJlinkHwStatus* pStatus);
using TJlinkGetId = uint32_t(JLINK_API*)();
using TJlinkJtagGetDeviceId = uint32_t(JLINK_API*)(unsigned DeviceIndex);
using TJlinkJtagGetDeviceInfo = int(JLINK_API*)(unsigned DeviceIndex, TJlinkJtagDeviceInfo* pInfo);
using TJlinkJtagGetData = void(JLINK_API*)(uint8_t* pDest, int BitPos, int NumBits);
using TJlinkJtagGetU8 = uint8_t(JLINK_API*)(int BitPos);
using TJlinkJtagGetU16 = uint16_t(JLINK_API*)(int BitPos);
using TJlinkJtagGetU32 = uint32_t(JLINK_API*)(int BitPos);
using TJlinkJtagStoreGetData = void(JLINK_API*)(const uint8_t* pTDI, uint8_t* pTDO, int NumBits);
using TJlinkJtagStoreGetRaw = void(JLINK_API*)(const uint8_t* pTDI, uint8_t* pTDO,
                                               const uint8_t* pTMS, uint32_t NumBits);
using TJlinkJtagStoreInst = int(JLINK_API*)(const uint8_t* pTDI, int IRLen);
using TJlinkJtagStoreData = int(JLINK_API*)(const uint8_t* pTDI, int NumBits);
using TJlinkJtagStoreRaw = int(JLINK_API*)(const uint8_t* pTDI, const uint8_t* pTMS,
                                           uint32_t NumBits);
using TJlinkJtagSyncBits = void(JLINK_API*)();
using TJlinkJtagSyncBytes = void(JLINK_API*)();
using TJlinkJtagWriteData = int(JLINK_API*)(const uint8_t* pTDI, uint8_t* pTDO, int NumBits);
using TJlinkGo = void(JLINK_API*)();
using TJlinkGoEx = void(JLINK_API*)(uint32_t MaxEmulInsts, uint32_t Flags);
using TJlinkHalt = uint8_t(JLINK_API*)();
using TJlinkIsConnected = uint8_t(JLINK_API*)();
using TJlinkIsHalted = uint8_t(JLINK_API*)();
using TJlinkIsOpen = uint8_t(JLINK_API*)();
using TJlinkReset = int(JLINK_API*)();
using TJlinkResetNoHalt = void(JLINK_API*)();
using TJlinkResetPullsRESET = void(JLINK_API*)(uint8_t OnOff);
using TJlinkResetPullsTRST = void(JLINK_API*)(uint8_t OnOff);
using TJlinkResetTRST = void(JLINK_API*)();
using TJlinkSetResetType = int(JLINK_API*)(int ResetType);
using TJlinkStep = uint8_t(JLINK_API*)();
using TJlinkReadMem = int(JLINK_API*)(uint32_t Addr, uint32_t NumBytes, void* pData);
using TJlinkReadMemU8 = int(JLINK_API*)(uint32_t Addr, uint32_t NumItems, uint8_t* pData,
                                        uint8_t* pStatus);
using TJlinkReadMemU16 = int(JLINK_API*)(uint32_t Addr, uint32_t NumItems, uint16_t* pData,
                                         uint8_t* pStatus);
using TJlinkReadMemU32 = int(JLINK_API*)(uint32_t Addr, uint32_t NumItems, uint32_t* pData,
                                         uint8_t* pStatus);
using TJlinkReadMemU64 = int(JLINK_API*)(uint32_t Addr, uint32_t NumItems, uint64_t* pData,
                                         uint8_t* pStatus);
using TJlinkWriteMem = int(JLINK_API*)(uint32_t Addr, uint32_t NumBytes, const void* pData);
using TJlinkWriteU8 = int(JLINK_API*)(uint32_t Addr, uint8_t Data);
using TJlinkWriteU16 = int(JLINK_API*)(uint32_t Addr, uint16_t Data);
using TJlinkWriteU32 = int(JLINK_API*)(uint32_t Addr, uint32_t Data);
using TJlinkWriteU64 = int(JLINK_API*)(uint32_t Addr, uint64_t Data);
using TJlinkReadReg = uint32_t(JLINK_API*)(int RegIndex);
using TJlinkWriteReg = uint8_t(JLINK_API*)(int RegIndex, uint32_t Data);
using TJlinkGetNumBPUnits = int(JLINK_API*)(uint32_t Type);
using TJlinkGetNumWPUnits = int(JLINK_API*)();
using TJlinkClrBP = void(JLINK_API*)(unsigned BPIndex);
using TJlinkClrBPEx = int(JLINK_API*)(int BPHandle);
using TJlinkSetBP = void(JLINK_API*)(unsigned BPIndex, uint32_t Addr);
using TJlinkSetBPEx = int(JLINK_API*)(uint32_t Addr, uint32_t Type);
using TJlinkTifSelect = int(JLINK_API*)(int Interface);
using TJlinkCoreGetFound = uint32_t(JLINK_API*)();
using TJlinkEmuGetNumDevices = int(JLINK_API*)();
using TJlinkEmuGetList = int(JLINK_API*)(int HostIFs, TJlinkEmuConnectInfo* paConnectInfo,
                                         int MaxInfos);
}
