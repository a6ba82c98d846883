#pragma once

// The stand-in J-Link library as a test loads and steers it: the module
// the host's J-Link port hands out, and the stand-in's controls.

#include "jlink-api.h"

#include <windows.h>

#include <cstdint>
#include <string>

class TJlinkStandIn {
public:
  // AFolder: the folder beside the test program ("System": the whole
  // library; "jlink-without-setbpex": the one lacking JLINKARM_SetBPEx).
  // The stand-in starts afresh: closed, one probe, 3.3 V, nothing logged.
  explicit TJlinkStandIn(const std::wstring& AFolder = L"System");

  HMODULE Module() const { return FModule; }
  bool Loaded() const { return FModule != nullptr; }

  void Reset() const { Control<void(JLINK_API*)()>("JLinkStandIn_Reset")(); }
  void SetRaising(const char* AName) const {
    Control<void(JLINK_API*)(const char*)>("JLinkStandIn_SetRaising")(AName);
  }
  void SetTargetMillivolts(int AMillivolts) const {
    Control<void(JLINK_API*)(int)>("JLinkStandIn_SetTargetMillivolts")(AMillivolts);
  }
  void SetProbeCount(int ACount) const {
    Control<void(JLINK_API*)(int)>("JLinkStandIn_SetProbeCount")(ACount);
  }
  void SetChain(int ADevices, uint32_t ACore) const {
    Control<void(JLINK_API*)(int, uint32_t)>("JLinkStandIn_SetChain")(ADevices, ACore);
  }
  // The library calls so far, one a line.
  std::string Log() const;
  void ClearLog() const { Control<void(JLINK_API*)()>("JLinkStandIn_ClearLog")(); }
  // Whether a call of the named function was logged since the last clear.
  bool Called(const std::string& AName) const {
    return Log().find(AName + "(") != std::string::npos;
  }

  // The chip behind the probe, seen without it.
  uint32_t ChipWord(uint32_t AAddress) const;
  uint8_t ChipByte(uint32_t AAddress) const;
  uint32_t ChipCoreRegister(unsigned ASelector) const {
    return Control<uint32_t(JLINK_API*)(unsigned)>("JLinkStandIn_ChipCoreRegister")(ASelector);
  }
  bool ChipHalted() const { return Control<BOOL(JLINK_API*)()>("JLinkStandIn_ChipHalted")() != 0; }

private:
  template <class TFn> TFn Control(const char* AName) const {
    return reinterpret_cast<TFn>(reinterpret_cast<void*>(GetProcAddress(FModule, AName)));
  }

  HMODULE FModule = nullptr;
};
