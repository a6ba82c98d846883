#pragma once

#include "contracts.h"
#include "jlink-api.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

// The library functions in binding order.
enum class TJlinkFunction : int {
  Open,
  Close,
  GetIdData,
  SetInitRegsOnReset,
  SetMaxSpeed,
  SetSpeed,
  GetHWStatus,
  GetId,
  JTAG_GetDeviceId,
  JTAG_GetDeviceInfo,
  JTAG_GetData,
  JTAG_GetU8,
  JTAG_GetU16,
  JTAG_GetU32,
  JTAG_StoreGetData,
  JTAG_StoreGetRaw,
  JTAG_StoreInst,
  JTAG_StoreData,
  JTAG_StoreRaw,
  JTAG_SyncBits,
  JTAG_SyncBytes,
  JTAG_WriteData,
  Go,
  GoEx,
  Halt,
  IsConnected,
  IsHalted,
  IsOpen,
  Reset,
  ResetNoHalt,
  ResetPullsRESET,
  ResetPullsTRST,
  ResetTRST,
  SetResetType,
  Step,
  ReadMem,
  ReadMemU8,
  ReadMemU16,
  ReadMemU32,
  ReadMemU64,
  WriteMem,
  WriteU8,
  WriteU16,
  WriteU32,
  WriteU64,
  ReadReg,
  WriteReg,
  GetNumBPUnits,
  GetNumWPUnits,
  ClrBP,
  ClrBPEx,
  SetBP,
  SetBPEx,
  TIF_Select,
  CORE_GetFound,
  EMU_GetNumDevices,
  EMU_GetList,
  Count
};
constexpr int kJlinkFunctionCount = int(TJlinkFunction::Count);
static_assert(kJlinkFunctionCount == 57);

// The library's entry point names, in binding order.
extern const char* const kJlinkFunctionNames[kJlinkFunctionCount];

struct TJlinkFunctionEntry {
  std::string Name;
  void* Func = nullptr; // nullptr: the library lacks the function
};

// One device of the chain as the probe reports it.
struct TJlinkDeviceInfo {
  const char* sName = nullptr; // the library's text
  uint32_t IRLen = 0;
  uint32_t IRPrint = 0;
  uint32_t Id = 0;
};

// The wrapper codes: every call of the library answers one of them.
constexpr int kJlinkOk = 0;
constexpr int kJlinkMissing = 224; // the library lacks the function: nothing was called
constexpr int kJlinkRaised = 225;  // the function raised a structured exception

// A binding of the J-Link probe library: each of its functions found by
// name, each called through a wrapper that answers a code (kJlinkOk,
// kJlinkMissing, kJlinkRaised) and delivers the function's own result
// through an out parameter, left untouched unless the call returned.
// A structured exception inside the library ends that call only.
//
// Bindings are never freed by reference counting: the ARM adapter keeps
// the one it adopts for the driver's life.
class TJlink : public TAbstractJlinkDriver {
public:
  // Loads "JLINKARM.dll" from the host's System folder; nullptr when it
  // cannot be loaded. Such a binding frees the library when destroyed.
  static TJlink* OpenJlinkDriver();
  // Adopts a library the host loaded; the handle stays the host's.
  static TJlink* CreateJlinkDriver(HMODULE AJlinkHandle);
  ~TJlink() override;

  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(-1); }
  ULONG STDMETHODCALLTYPE Release() override { return ULONG(-1); }

  HRESULT GetJlinkHandle(uint32_t* AResult) override;

  HMODULE Handle() const { return FJlinkHandle; }
  // Takes another library handle (the adopted kind) and binds its functions.
  void Rebind(HMODULE AJlinkHandle);
  void ImportJlinkFunctions();
  const std::vector<TJlinkFunctionEntry>& Functions() const { return FFunctionList; }

  // The probe found, opened, and showing a target supply above 500 mV.
  bool Initialize();
  bool Initialized() const { return FInitialized; }
  int Close() { return JLINKARM_Close(); }
  // The chain's devices through the probe (JTAG first, then the serial
  // wire core); the last wrapper code.
  int CreateDeviceInfoList();
  int GetDeviceCount() const { return int(FDeviceInfoList.size()); }
  TJlinkDeviceInfo GetDeviceInfo(int AIndex) const { return FDeviceInfoList.at(size_t(AIndex)); }

  // ---- one wrapper per library function ------------------------------------
  int JLINKARM_Open(const char** AResult = nullptr) {
    return Call<TJlinkOpen>(TJlinkFunction::Open, AResult);
  }
  int JLINKARM_Close() { return CallVoid<TJlinkClose>(TJlinkFunction::Close); }
  int JLINKARM_GetIdData(TJlinkIdData* AIdData) {
    return CallVoid<TJlinkGetIdData>(TJlinkFunction::GetIdData, AIdData);
  }
  int JLINKARM_SetInitRegsOnReset(int AOnOff, int* AResult = nullptr) {
    return Call<TJlinkSetInitRegsOnReset>(TJlinkFunction::SetInitRegsOnReset, AResult, AOnOff);
  }
  int JLINKARM_SetMaxSpeed() { return CallVoid<TJlinkSetMaxSpeed>(TJlinkFunction::SetMaxSpeed); }
  int JLINKARM_SetSpeed(uint32_t ASpeed) {
    return CallVoid<TJlinkSetSpeed>(TJlinkFunction::SetSpeed, ASpeed);
  }
  int JLINKARM_GetHWStatus(TJlinkHwStatus* AStatus, int* AResult = nullptr) {
    return Call<TJlinkGetHWStatus>(TJlinkFunction::GetHWStatus, AResult, AStatus);
  }
  int JLINKARM_GetId(uint32_t* AResult = nullptr) {
    return Call<TJlinkGetId>(TJlinkFunction::GetId, AResult);
  }
  int JLINKARM_JTAG_GetDeviceId(unsigned AIndex, uint32_t* AResult) {
    return Call<TJlinkJtagGetDeviceId>(TJlinkFunction::JTAG_GetDeviceId, AResult, AIndex);
  }
  int JLINKARM_JTAG_GetDeviceInfo(unsigned AIndex, TJlinkJtagDeviceInfo* AInfo, int* AResult) {
    return Call<TJlinkJtagGetDeviceInfo>(TJlinkFunction::JTAG_GetDeviceInfo, AResult, AIndex,
                                         AInfo);
  }
  int JLINKARM_JTAG_GetData(uint8_t* ADest, int ABitPos, int ANumBits) {
    return CallVoid<TJlinkJtagGetData>(TJlinkFunction::JTAG_GetData, ADest, ABitPos, ANumBits);
  }
  int JLINKARM_JTAG_GetU8(int ABitPos, uint8_t* AResult) {
    return Call<TJlinkJtagGetU8>(TJlinkFunction::JTAG_GetU8, AResult, ABitPos);
  }
  int JLINKARM_JTAG_GetU16(int ABitPos, uint16_t* AResult) {
    return Call<TJlinkJtagGetU16>(TJlinkFunction::JTAG_GetU16, AResult, ABitPos);
  }
  int JLINKARM_JTAG_GetU32(int ABitPos, uint32_t* AResult) {
    return Call<TJlinkJtagGetU32>(TJlinkFunction::JTAG_GetU32, AResult, ABitPos);
  }
  int JLINKARM_JTAG_StoreGetData(const uint8_t* ATdi, uint8_t* ATdo, int ANumBits) {
    return CallVoid<TJlinkJtagStoreGetData>(TJlinkFunction::JTAG_StoreGetData, ATdi, ATdo,
                                            ANumBits);
  }
  int JLINKARM_JTAG_StoreGetRaw(const uint8_t* ATdi, uint8_t* ATdo, const uint8_t* ATms,
                                uint32_t ANumBits) {
    return CallVoid<TJlinkJtagStoreGetRaw>(TJlinkFunction::JTAG_StoreGetRaw, ATdi, ATdo, ATms,
                                           ANumBits);
  }
  int JLINKARM_JTAG_StoreInst(const uint8_t* ATdi, int AIRLen, int* AResult = nullptr) {
    return Call<TJlinkJtagStoreInst>(TJlinkFunction::JTAG_StoreInst, AResult, ATdi, AIRLen);
  }
  int JLINKARM_JTAG_StoreData(const uint8_t* ATdi, int ANumBits, int* AResult = nullptr) {
    return Call<TJlinkJtagStoreData>(TJlinkFunction::JTAG_StoreData, AResult, ATdi, ANumBits);
  }
  int JLINKARM_JTAG_StoreRaw(const uint8_t* ATdi, const uint8_t* ATms, uint32_t ANumBits,
                             int* AResult = nullptr) {
    return Call<TJlinkJtagStoreRaw>(TJlinkFunction::JTAG_StoreRaw, AResult, ATdi, ATms, ANumBits);
  }
  int JLINKARM_JTAG_SyncBits() {
    return CallVoid<TJlinkJtagSyncBits>(TJlinkFunction::JTAG_SyncBits);
  }
  int JLINKARM_JTAG_SyncBytes() {
    return CallVoid<TJlinkJtagSyncBytes>(TJlinkFunction::JTAG_SyncBytes);
  }
  int JLINKARM_JTAG_WriteData(const uint8_t* ATdi, uint8_t* ATdo, int ANumBits,
                              int* AResult = nullptr) {
    return Call<TJlinkJtagWriteData>(TJlinkFunction::JTAG_WriteData, AResult, ATdi, ATdo, ANumBits);
  }
  int JLINKARM_Go() { return CallVoid<TJlinkGo>(TJlinkFunction::Go); }
  int JLINKARM_GoEx(uint32_t AMaxEmulInsts, uint32_t AFlags) {
    return CallVoid<TJlinkGoEx>(TJlinkFunction::GoEx, AMaxEmulInsts, AFlags);
  }
  int JLINKARM_Halt(uint8_t* AResult = nullptr) {
    return Call<TJlinkHalt>(TJlinkFunction::Halt, AResult);
  }
  // Never asks the library.
  int JLINKARM_IsConnected(uint8_t* = nullptr) { return kJlinkMissing; }
  int JLINKARM_IsHalted(uint8_t* AResult) {
    return Call<TJlinkIsHalted>(TJlinkFunction::IsHalted, AResult);
  }
  int JLINKARM_IsOpen(uint8_t* AResult) {
    return Call<TJlinkIsOpen>(TJlinkFunction::IsOpen, AResult);
  }
  int JLINKARM_Reset(int* AResult = nullptr) {
    return Call<TJlinkReset>(TJlinkFunction::Reset, AResult);
  }
  // Never asks the library.
  int JLINKARM_ResetNoHalt() { return kJlinkMissing; }
  int JLINKARM_ResetPullsRESET(uint8_t AOnOff) {
    return CallVoid<TJlinkResetPullsRESET>(TJlinkFunction::ResetPullsRESET, AOnOff);
  }
  int JLINKARM_ResetPullsTRST(uint8_t AOnOff) {
    return CallVoid<TJlinkResetPullsTRST>(TJlinkFunction::ResetPullsTRST, AOnOff);
  }
  int JLINKARM_ResetTRST() { return CallVoid<TJlinkResetTRST>(TJlinkFunction::ResetTRST); }
  int JLINKARM_SetResetType(int AType, int* AResult = nullptr) {
    return Call<TJlinkSetResetType>(TJlinkFunction::SetResetType, AResult, AType);
  }
  int JLINKARM_Step(uint8_t* AResult = nullptr) {
    return Call<TJlinkStep>(TJlinkFunction::Step, AResult);
  }
  int JLINKARM_ReadMem(uint32_t AAddress, uint32_t ACount, void* AData, int* AResult = nullptr) {
    return Call<TJlinkReadMem>(TJlinkFunction::ReadMem, AResult, AAddress, ACount, AData);
  }
  int JLINKARM_ReadMemU8(uint32_t AAddress, uint32_t AItems, uint8_t* AData, uint8_t* AStatus,
                         int* AResult = nullptr) {
    return Call<TJlinkReadMemU8>(TJlinkFunction::ReadMemU8, AResult, AAddress, AItems, AData,
                                 AStatus);
  }
  int JLINKARM_ReadMemU16(uint32_t AAddress, uint32_t AItems, uint16_t* AData, uint8_t* AStatus,
                          int* AResult = nullptr) {
    return Call<TJlinkReadMemU16>(TJlinkFunction::ReadMemU16, AResult, AAddress, AItems, AData,
                                  AStatus);
  }
  int JLINKARM_ReadMemU32(uint32_t AAddress, uint32_t AItems, uint32_t* AData, uint8_t* AStatus,
                          int* AResult = nullptr) {
    return Call<TJlinkReadMemU32>(TJlinkFunction::ReadMemU32, AResult, AAddress, AItems, AData,
                                  AStatus);
  }
  int JLINKARM_ReadMemU64(uint32_t AAddress, uint32_t AItems, uint64_t* AData, uint8_t* AStatus,
                          int* AResult = nullptr) {
    return Call<TJlinkReadMemU64>(TJlinkFunction::ReadMemU64, AResult, AAddress, AItems, AData,
                                  AStatus);
  }
  int JLINKARM_WriteMem(uint32_t AAddress, uint32_t ACount, const void* AData,
                        int* AResult = nullptr) {
    return Call<TJlinkWriteMem>(TJlinkFunction::WriteMem, AResult, AAddress, ACount, AData);
  }
  int JLINKARM_WriteU8(uint32_t AAddress, uint8_t AValue, int* AResult = nullptr) {
    return Call<TJlinkWriteU8>(TJlinkFunction::WriteU8, AResult, AAddress, AValue);
  }
  int JLINKARM_WriteU16(uint32_t AAddress, uint16_t AValue, int* AResult = nullptr) {
    return Call<TJlinkWriteU16>(TJlinkFunction::WriteU16, AResult, AAddress, AValue);
  }
  int JLINKARM_WriteU32(uint32_t AAddress, uint32_t AValue, int* AResult = nullptr) {
    return Call<TJlinkWriteU32>(TJlinkFunction::WriteU32, AResult, AAddress, AValue);
  }
  int JLINKARM_WriteU64(uint32_t AAddress, uint64_t AValue, int* AResult = nullptr) {
    return Call<TJlinkWriteU64>(TJlinkFunction::WriteU64, AResult, AAddress, AValue);
  }
  int JLINKARM_ReadReg(int ARegister, uint32_t* AResult) {
    return Call<TJlinkReadReg>(TJlinkFunction::ReadReg, AResult, ARegister);
  }
  int JLINKARM_WriteReg(int ARegister, uint32_t AValue, uint8_t* AResult = nullptr) {
    return Call<TJlinkWriteReg>(TJlinkFunction::WriteReg, AResult, ARegister, AValue);
  }
  int JLINKARM_GetNumBPUnits(uint32_t AType, int* AResult) {
    return Call<TJlinkGetNumBPUnits>(TJlinkFunction::GetNumBPUnits, AResult, AType);
  }
  int JLINKARM_GetNumWPUnits(int* AResult) {
    return Call<TJlinkGetNumWPUnits>(TJlinkFunction::GetNumWPUnits, AResult);
  }
  int JLINKARM_ClrBP(unsigned AIndex) {
    return CallVoid<TJlinkClrBP>(TJlinkFunction::ClrBP, AIndex);
  }
  int JLINKARM_ClrBPEx(int AHandle, int* AResult) {
    return Call<TJlinkClrBPEx>(TJlinkFunction::ClrBPEx, AResult, AHandle);
  }
  int JLINKARM_SetBP(unsigned AIndex, uint32_t AAddress) {
    return CallVoid<TJlinkSetBP>(TJlinkFunction::SetBP, AIndex, AAddress);
  }
  int JLINKARM_SetBPEx(uint32_t AAddress, uint32_t AType, int* AResult) {
    return Call<TJlinkSetBPEx>(TJlinkFunction::SetBPEx, AResult, AAddress, AType);
  }
  int JLINKARM_TIF_Select(int AInterface, int* AResult = nullptr) {
    return Call<TJlinkTifSelect>(TJlinkFunction::TIF_Select, AResult, AInterface);
  }
  int JLINKARM_CORE_GetFound(uint32_t* AResult) {
    return Call<TJlinkCoreGetFound>(TJlinkFunction::CORE_GetFound, AResult);
  }
  int JLINKARM_EMU_GetNumDevices(int* AResult) {
    return Call<TJlinkEmuGetNumDevices>(TJlinkFunction::EMU_GetNumDevices, AResult);
  }
  int JLINKARM_EMU_GetList(int AHostIfs, TJlinkEmuConnectInfo* AInfos, int AMaxInfos,
                           int* AResult) {
    return Call<TJlinkEmuGetList>(TJlinkFunction::EMU_GetList, AResult, AHostIfs, AInfos,
                                  AMaxInfos);
  }

private:
  TJlink(HMODULE AJlinkHandle, bool AOwnsHandle);

  void* Entry(TJlinkFunction AFunction) const;
  // Runs one library call under the structured-exception guard.
  static int Run(void (*AThunk)(void*), void* AContext);

  template <class TFn, class... A> struct TCall {
    TFn Fn;
    std::tuple<A...> Args;
    decltype(std::apply(std::declval<TFn>(), std::declval<std::tuple<A...>>())) Result{};
    static void Thunk(void* AContext) {
      TCall& call = *static_cast<TCall*>(AContext);
      call.Result = std::apply(call.Fn, call.Args);
    }
  };
  template <class TFn, class... A> struct TVoidCall {
    TFn Fn;
    std::tuple<A...> Args;
    static void Thunk(void* AContext) {
      TVoidCall& call = *static_cast<TVoidCall*>(AContext);
      std::apply(call.Fn, call.Args);
    }
  };

  template <class TFn, class R, class... A>
  int Call(TJlinkFunction AFunction, R* AResult, A... AArgs) {
    void* entry = Entry(AFunction);
    if (!entry)
      return kJlinkMissing;
    TCall<TFn, A...> call{reinterpret_cast<TFn>(entry), std::tuple<A...>(AArgs...)};
    const int code = Run(&TCall<TFn, A...>::Thunk, &call);
    if (code == kJlinkOk && AResult)
      *AResult = static_cast<R>(call.Result);
    return code;
  }
  template <class TFn, class... A> int CallVoid(TJlinkFunction AFunction, A... AArgs) {
    void* entry = Entry(AFunction);
    if (!entry)
      return kJlinkMissing;
    TVoidCall<TFn, A...> call{reinterpret_cast<TFn>(entry), std::tuple<A...>(AArgs...)};
    return Run(&TVoidCall<TFn, A...>::Thunk, &call);
  }

  HMODULE FJlinkHandle = nullptr;
  bool FOwnsHandle = false;
  std::vector<TJlinkFunctionEntry> FFunctionList;
  int FDeviceCount = 0;
  std::vector<TJlinkDeviceInfo> FDeviceInfoList;
  bool FInitialized = false;
};
