#pragma once

#include "host-scan-target.h"
#include "jtag-channel.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Where a remote_bitbang server listens and what the chain behind it is.
struct TRemoteBitbangOptions {
  std::string Host = "127.0.0.1";
  uint16_t Port = 0;
  // IR length of each device, position 0 (nearest TDO) first; empty: the
  // client measures them.
  std::vector<unsigned> IrLengths;
  unsigned ConnectTimeoutMs = 5000;
  // Longest wait for the server's answer to one batch of reads.
  unsigned ReceiveTimeoutMs = 5000;
};

// Reads "remote_bitbang:[HOST:]PORT[:IR,IR,...]" (an empty host is the
// loopback address); raises ERemoteBitbangError naming what is wrong.
TRemoteBitbangOptions ParseRemoteBitbangSpec(const std::string& ASpec);

// The connection failed, timed out, the server went away, or the chain
// cannot be made out. Channel calls report it to the plug-in as a refused scan.
class ERemoteBitbangError : public EJtagChannelError {
public:
  using EJtagChannelError::EJtagChannelError;
};

// A JTAG chain behind a remote_bitbang server (TCP, one character per pin
// command). Pin writes that need no answer (state moves, instructions nobody
// reads) are held back and go out in one send with the next scan that reads
// TDO, whose answers are collected afterwards: a debug-port access costs one
// send and one receive. Flush() sends what is held back without a scan. The
// client keeps its own copy of the TAP state and of each device's selected
// data register length, so it can walk TMS paths and pad the other devices
// the way the in-process chip does.
class TRemoteBitbangTarget : public IScanTarget {
public:
  // Connects, resets the chain and reads the IDCODEs; measures the IR
  // lengths unless the options give them. The TAP ends in Run-Test/Idle.
  explicit TRemoteBitbangTarget(const TRemoteBitbangOptions& AOptions);
  ~TRemoteBitbangTarget() override;
  TRemoteBitbangTarget(const TRemoteBitbangTarget&) = delete;
  TRemoteBitbangTarget& operator=(const TRemoteBitbangTarget&) = delete;

  unsigned DeviceCount() const override { return unsigned(FDevices.size()); }
  unsigned IrLength(unsigned APosition) const override;
  // The IDCODE found at connection time; 0 for a device that has none.
  uint32_t Idcode(unsigned APosition) const;
  // State 1 clocks five TMS-high cycles whatever the tracked state is.
  void MoveToState(int AState) override;
  std::string ShiftIR(unsigned APosition, const std::string& ABits) override;
  std::string ShiftDR(unsigned APosition, const std::string& ABits) override;
  void ShiftIRBlind(unsigned APosition, const std::string& ABits) override;
  void Flush() override;

  // Batches sent that waited for answers.
  uint64_t RoundTrips() const { return FRoundTrips; }
  // Batches sent, with or without reads.
  uint64_t Sends() const { return FSends; }

private:
  struct TDevice {
    unsigned IrLength = 0;
    uint32_t Idcode = 0;
    // The instruction held (bit text; "reset" after Test-Logic-Reset, empty
    // when unknown) and the one shifted in, which takes effect at Update-IR.
    std::string Instruction;
    std::string Pending;
    // Data register length per instruction: BYPASS and the reset
    // instruction from discovery, the others as data scans show them.
    std::map<std::string, unsigned> DrLengths;
  };

  void Connect(const TRemoteBitbangOptions& AOptions);
  void Discover(const std::vector<unsigned>& AIrLengths);
  void Clock(bool ATms, bool ATdi, bool ARead);
  void WalkTo(unsigned AState);
  void ResetTap();
  // ACapture false: nothing is read, and the bits go out without a wait.
  std::string Shift(unsigned APosition, const std::string& ABits, bool AInstruction,
                    bool ACapture = true);
  // Sends what is queued; when it holds reads, waits for their answers.
  std::string Exchange();
  void SendAll(const std::string& AData);
  void ReceiveInto(std::string& AAnswers, size_t ACount);
  [[noreturn]] void Fail(const std::string& AText);

  uintptr_t FSocket;
  bool FSocketsStarted = false;
  bool FBroken = false;
  unsigned FReceiveTimeoutMs = 5000;
  std::string FEndpoint;
  std::vector<TDevice> FDevices;
  unsigned FState = 0; // TTapState numbering; 0 until the first reset
  std::string FQueued;
  size_t FQueuedReads = 0;
  std::string FAnswers; // answers of batches sent before their scan asked for them
  uint64_t FRoundTrips = 0;
  uint64_t FSends = 0;
};
