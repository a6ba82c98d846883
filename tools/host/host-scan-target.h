#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the test host's JTAG channels scan into: the simulated chip in
// process, a remote JTAG server, or a recording target. Bit strings are
// "0"/"1" text, most significant bit first (the last character is shifted
// in first); TAP states use the channel's numbering (1 RESET ... 16 IRUPDATE).
class IScanTarget {
public:
  virtual ~IScanTarget() = default;
  virtual unsigned DeviceCount() const = 0;
  virtual unsigned IrLength(unsigned APosition) const = 0;
  virtual void MoveToState(int AState) = 0;
  // Shift the instruction / data register of one device; the others get
  // BYPASS / are padded. Answers the captured bits.
  virtual std::string ShiftIR(unsigned APosition, const std::string& ABits) = 0;
  virtual std::string ShiftDR(unsigned APosition, const std::string& ABits) = 0;
  // The same into the caller's text, whose room is reused from scan to scan;
  // a target that can answer without a fresh string says so here.
  virtual void ShiftIRInto(unsigned APosition, const std::string& ABits, std::string& ACaptured) {
    ACaptured = ShiftIR(APosition, ABits);
  }
  virtual void ShiftDRInto(unsigned APosition, const std::string& ABits, std::string& ACaptured) {
    ACaptured = ShiftDR(APosition, ABits);
  }
  // An instruction whose captured bits nobody reads: a target on a wire
  // sends it without waiting for them.
  virtual void ShiftIRBlind(unsigned APosition, const std::string& ABits) {
    ShiftIR(APosition, ABits);
  }
  // A target on a wire may hold back moves and instructions nobody reads
  // until something needs an answer; this sends what it holds. The channel
  // calls it where time may pass before the next scan.
  virtual void Flush() {}
};

// Remembers every call and answers zeros: a target for tests that only look
// at the traffic.
class TRecordingScanTarget : public IScanTarget {
public:
  struct TScan {
    char Kind; // 'M' move, 'I' instruction, 'D' data
    unsigned Position;
    std::string Bits; // for a move: the state number in decimal
  };
  std::vector<TScan> Scans;
  unsigned Devices = 1;
  unsigned IrBits = 4;

  unsigned DeviceCount() const override { return Devices; }
  unsigned IrLength(unsigned) const override { return IrBits; }
  void MoveToState(int AState) override { Scans.push_back({'M', 0, std::to_string(AState)}); }
  std::string ShiftIR(unsigned APosition, const std::string& ABits) override {
    Scans.push_back({'I', APosition, ABits});
    return std::string(ABits.size(), '0');
  }
  std::string ShiftDR(unsigned APosition, const std::string& ABits) override {
    Scans.push_back({'D', APosition, ABits});
    return std::string(ABits.size(), '0');
  }
};

std::string BitsOf(uint64_t AValue, unsigned ACount);
// The same into a text whose room is reused.
void BitsInto(uint64_t AValue, unsigned ACount, std::string& ABits);
uint64_t ValueOfBits(const std::string& ABits);
