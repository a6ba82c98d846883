#pragma once

#include "host-scan-target.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// The test host's JTAG channel to one scan chain: what the plug-in's channel
// calls do, on a pluggable scan target. The host objects serve the channel's
// DISPIDs by calling these.
class TTestJtagChannel {
public:
  explicit TTestJtagChannel(IScanTarget& ATarget) : FTarget(ATarget) {}

  bool OpenChannel();
  // Also sends what the target holds back, at every depth.
  void CloseChannel();
  bool IsOpen() const { return FOpenDepth > 0; }

  void MoveToState(int AFrom, int ATo);
  // TAP already in IRSHIFT: the instruction of the device at AIndex.
  void ShiftInstruction(int32_t AInstruction, int32_t AIndex);
  // A complete IR scan from IDLE back to IDLE.
  void SendInstruction(int32_t AInstruction, int32_t AIndex);
  void ShiftData(int32_t AValue, int32_t ABitCount, int32_t AIndex);
  int32_t ShiftDataCapture(int32_t AValue, int32_t ABitCount, int32_t AIndex);
  std::wstring ShiftDataBits(const std::wstring& ABits, int32_t AIndex);
  // The same into the caller's text, reusing its room and the channel's.
  void ShiftDataBits(std::wstring_view ABits, int32_t AIndex, std::wstring& ACaptured);

  unsigned Opens() const { return FOpens; }
  unsigned DataScans() const { return FDataScans; }
  unsigned InstructionScans() const { return FInstructionScans; }

private:
  unsigned Position(int32_t AIndex) const;

  IScanTarget& FTarget;
  int FOpenDepth = 0;
  unsigned FOpens = 0;
  unsigned FDataScans = 0;
  unsigned FInstructionScans = 0;
  std::string FBits, FCapturedBits, FInstruction;
};

// A channel call the target cannot carry out (bad index, bad bit text).
class EJtagChannelError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
