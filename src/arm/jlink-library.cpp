#include "jlink-library.h"

#include "host-utilities.h"
#include "structured-guard.h"

const char* const kJlinkFunctionNames[kJlinkFunctionCount] = {
    "JLINKARM_Open",
    "JLINKARM_Close",
    "JLINKARM_GetIdData",
    "JLINKARM_SetInitRegsOnReset",
    "JLINKARM_SetMaxSpeed",
    "JLINKARM_SetSpeed",
    "JLINKARM_GetHWStatus",
    "JLINKARM_GetId",
    "JLINKARM_JTAG_GetDeviceId",
    "JLINKARM_JTAG_GetDeviceInfo",
    "JLINKARM_JTAG_GetData",
    "JLINKARM_JTAG_GetU8",
    "JLINKARM_JTAG_GetU16",
    "JLINKARM_JTAG_GetU32",
    "JLINKARM_JTAG_StoreGetData",
    "JLINKARM_JTAG_StoreGetRaw",
    "JLINKARM_JTAG_StoreInst",
    "JLINKARM_JTAG_StoreData",
    "JLINKARM_JTAG_StoreRaw",
    "JLINKARM_JTAG_SyncBits",
    "JLINKARM_JTAG_SyncBytes",
    "JLINKARM_JTAG_WriteData",
    "JLINKARM_Go",
    "JLINKARM_GoEx",
    "JLINKARM_Halt",
    "JLINKARM_IsConnected",
    "JLINKARM_IsHalted",
    "JLINKARM_IsOpen",
    "JLINKARM_Reset",
    "JLINKARM_ResetNoHalt",
    "JLINKARM_ResetPullsRESET",
    "JLINKARM_ResetPullsTRST",
    "JLINKARM_ResetTRST",
    "JLINKARM_SetResetType",
    "JLINKARM_Step",
    "JLINKARM_ReadMem",
    "JLINKARM_ReadMemU8",
    "JLINKARM_ReadMemU16",
    "JLINKARM_ReadMemU32",
    "JLINKARM_ReadMemU64",
    "JLINKARM_WriteMem",
    "JLINKARM_WriteU8",
    "JLINKARM_WriteU16",
    "JLINKARM_WriteU32",
    "JLINKARM_WriteU64",
    "JLINKARM_ReadReg",
    "JLINKARM_WriteReg",
    "JLINKARM_GetNumBPUnits",
    "JLINKARM_GetNumWPUnits",
    "JLINKARM_ClrBP",
    "JLINKARM_ClrBPEx",
    "JLINKARM_SetBP",
    "JLINKARM_SetBPEx",
    "JLINKARM_TIF_Select",
    "JLINKARM_CORE_GetFound",
    "JLINKARM_EMU_GetNumDevices",
    "JLINKARM_EMU_GetList",
};

TJlink::TJlink(HMODULE AJlinkHandle, bool AOwnsHandle)
    : FJlinkHandle(AJlinkHandle), FOwnsHandle(AOwnsHandle) {}

TJlink* TJlink::OpenJlinkDriver() {
  const std::wstring path = GetHostSystemFolder() + L"JLINKARM.dll";
  const HMODULE handle = LoadLibraryW(path.c_str());
  if (!handle)
    return nullptr;
  TJlink* binding = new TJlink(handle, true);
  binding->ImportJlinkFunctions();
  return binding;
}

TJlink* TJlink::CreateJlinkDriver(HMODULE AJlinkHandle) {
  TJlink* binding = new TJlink(AJlinkHandle, false);
  binding->ImportJlinkFunctions();
  return binding;
}

TJlink::~TJlink() {
  // A library the host loaded stays loaded: the handle is the host's.
  if (FOwnsHandle && FJlinkHandle)
    FreeLibrary(FJlinkHandle);
  FFunctionList.clear();
  FDeviceInfoList.clear();
  FDeviceCount = 0;
  FInitialized = false;
}

void TJlink::Rebind(HMODULE AJlinkHandle) {
  if (FOwnsHandle && FJlinkHandle)
    FreeLibrary(FJlinkHandle);
  FJlinkHandle = AJlinkHandle;
  FOwnsHandle = false;
  ImportJlinkFunctions();
}

namespace {

// Whether a handle is the base of a module loaded in this process. A handle
// the host passed in 32 bits may name nothing in a 64-bit process (a
// library loaded above 4 GB); such a binding gets no functions.
bool IsLoadedModule(HMODULE AHandle) {
  HMODULE found = nullptr;
  return AHandle &&
         GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(AHandle), &found) &&
         found == AHandle;
}

} // namespace

void TJlink::ImportJlinkFunctions() {
  FFunctionList.assign(size_t(kJlinkFunctionCount), TJlinkFunctionEntry());
  const bool loaded = IsLoadedModule(FJlinkHandle);
  try {
    for (int i = 0; i < kJlinkFunctionCount; ++i) {
      FFunctionList[size_t(i)].Name = kJlinkFunctionNames[i];
      if (loaded)
        FFunctionList[size_t(i)].Func =
            reinterpret_cast<void*>(GetProcAddress(FJlinkHandle, kJlinkFunctionNames[i]));
    }
  } catch (...) {
    // The entries not reached stay without a function.
  }
}

HRESULT TJlink::GetJlinkHandle(uint32_t* AResult) {
  // The host's interface carries the handle in 32 bits.
  *AResult = uint32_t(reinterpret_cast<uintptr_t>(FJlinkHandle));
  return S_OK;
}

void* TJlink::Entry(TJlinkFunction AFunction) const {
  const size_t index = size_t(AFunction);
  return index < FFunctionList.size() ? FFunctionList[index].Func : nullptr;
}

int TJlink::Run(void (*AThunk)(void*), void* AContext) {
  return CallStructuredGuarded(AThunk, AContext) ? kJlinkOk : kJlinkRaised;
}

bool TJlink::Initialize() {
  try {
    if (FInitialized) {
      TJlinkHwStatus status{};
      if (JLINKARM_GetHWStatus(&status) == kJlinkOk)
        FInitialized = status.VTarget > kJlinkMinTargetMillivolts;
      return FInitialized;
    }
    TJlinkEmuConnectInfo info{};
    int found = 0;
    if (JLINKARM_EMU_GetList(kJlinkHostIfUsb, &info, 1, &found) != kJlinkOk)
      return false;
    uint8_t open = 0;
    if (JLINKARM_IsOpen(&open) != kJlinkOk)
      return false;
    if (open)
      JLINKARM_Close();
    if (found == 0)
      return false;
    if (JLINKARM_SetInitRegsOnReset(1) != kJlinkOk || JLINKARM_Open() != kJlinkOk)
      return false;
    TJlinkHwStatus status{};
    if (JLINKARM_GetHWStatus(&status) == kJlinkOk && status.VTarget > kJlinkMinTargetMillivolts)
      FInitialized = true;
    // A failed speed setting closes the probe but leaves it counted as ready.
    if (!FInitialized || JLINKARM_SetSpeed(kJlinkSpeedAuto) != kJlinkOk)
      JLINKARM_Close();
    return FInitialized;
  } catch (...) {
    return false;
  }
}

int TJlink::CreateDeviceInfoList() {
  try {
    FDeviceCount = 0;
    FDeviceInfoList.clear();
    if (!Initialize())
      return kJlinkMissing;
    int code = JLINKARM_GetId();
    if (code != kJlinkOk)
      return code;
    TJlinkIdData idData{};
    code = JLINKARM_GetIdData(&idData);
    if (code != kJlinkOk)
      return code;
    for (int i = 0; i < idData.NumDevices; ++i) {
      uint32_t id = 0;
      if (JLINKARM_JTAG_GetDeviceId(unsigned(i), &id) != kJlinkOk || id == 0)
        continue;
      TJlinkJtagDeviceInfo info{};
      int answer = -1;
      code = JLINKARM_JTAG_GetDeviceInfo(unsigned(i), &info, &answer);
      if (code == kJlinkOk && answer >= 0) {
        FDeviceInfoList.push_back({info.sName, info.IRLen, info.IRPrint, id});
        FDeviceCount = int(FDeviceInfoList.size());
      }
    }
    if (idData.NumDevices > 0 && !FDeviceInfoList.empty())
      return code;
    // No JTAG chain answered: ask the serial wire interface for its core.
    code = JLINKARM_TIF_Select(kJlinkTifSwd);
    if (code != kJlinkOk) {
      FInitialized = false;
      return code;
    }
    uint32_t core = 0;
    code = JLINKARM_CORE_GetFound(&core);
    if (code == kJlinkOk && (core == kJlinkCoreCortexM0 || core == kJlinkCoreCortexM3)) {
      FDeviceInfoList.push_back(
          {nullptr, 0, 0, core == kJlinkCoreCortexM0 ? kJlinkIdCortexM0 : kJlinkIdCortexM3});
      FDeviceCount = 1;
      code = JLINKARM_SetSpeed(kJlinkSpeedAuto);
    } else {
      FInitialized = false;
    }
    return code;
  } catch (...) {
    FDeviceInfoList.clear();
    FDeviceCount = 0;
    return kJlinkRaised;
  }
}
