#include "scan-target.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr unsigned kStateCount = 17;

// Shortest TMS sequence from one state to another (breadth-first over the
// state diagram; at most a handful of steps).
std::string SearchTmsPath(TTapState AFrom, TTapState ATo) {
  if (AFrom == ATo)
    return {};
  std::string path[kStateCount];
  bool seen[kStateCount] = {};
  TTapState queue[kStateCount];
  unsigned head = 0, tail = 0;
  queue[tail++] = AFrom;
  seen[static_cast<unsigned>(AFrom)] = true;
  while (head < tail) {
    const TTapState s = queue[head++];
    for (const bool tms : {false, true}) {
      const TTapState n = NextTapState(s, tms);
      const unsigned i = static_cast<unsigned>(n);
      if (seen[i])
        continue;
      seen[i] = true;
      path[i] = path[static_cast<unsigned>(s)] + (tms ? '1' : '0');
      if (n == ATo)
        return path[i];
      queue[tail++] = n;
    }
  }
  throw std::invalid_argument("TAP state cannot be reached");
}

// Every state pair's path, searched once: a scan makes several moves.
std::string TmsPath(TTapState AFrom, TTapState ATo) {
  struct TPaths {
    std::string Path[kStateCount][kStateCount];
    bool Reachable[kStateCount][kStateCount] = {};
    TPaths() {
      for (unsigned from = 1; from < kStateCount; ++from)
        for (unsigned to = 1; to < kStateCount; ++to) {
          try {
            Path[from][to] =
                SearchTmsPath(static_cast<TTapState>(from), static_cast<TTapState>(to));
            Reachable[from][to] = true;
          } catch (const std::invalid_argument&) {
          }
        }
    }
  };
  static const TPaths paths;
  const unsigned from = static_cast<unsigned>(AFrom), to = static_cast<unsigned>(ATo);
  if (from >= kStateCount || to >= kStateCount || !paths.Reachable[from][to])
    return SearchTmsPath(AFrom, ATo);
  return paths.Path[from][to];
}

void CheckBits(const std::string& ABits) {
  if (ABits.empty())
    throw std::invalid_argument("empty bit string");
  for (const char c : ABits)
    if (c != '0' && c != '1')
      throw std::invalid_argument("bit strings hold only '0' and '1'");
}

} // namespace

unsigned TSimScanTarget::IrLength(unsigned APosition) const {
  return FSim.Chain().At(APosition).IrLength();
}

void TSimScanTarget::ResetTap() {
  for (int i = 0; i < 5; ++i)
    FSim.ClockBit(true, false);
  FSim.ClockBit(false, false);
}

void TSimScanTarget::MoveToState(TTapState AState) {
  if (AState == TTapState::Undefined)
    throw std::invalid_argument("no such TAP state");
  if (AState == State())
    return;
  if (AState == TTapState::DrShift || AState == TTapState::IrShift) {
    // A move into a shift state starts a new scan: through Capture, never
    // back through Pause/Exit2.
    const TTapState capture =
        AState == TTapState::DrShift ? TTapState::DrCapture : TTapState::IrCapture;
    for (const char tms : TmsPath(State(), capture))
      FSim.ClockBit(tms == '1', false);
    FSim.ClockBit(false, false);
    return;
  }
  for (const char tms : TmsPath(State(), AState))
    FSim.ClockBit(tms == '1', false);
}

std::string TSimScanTarget::ShiftIR(unsigned APosition, const std::string& ABits) {
  if (ABits.size() != IrLength(APosition))
    throw std::invalid_argument("instruction length does not match the device");
  return Shift(APosition, ABits, true);
}

std::string TSimScanTarget::ShiftDR(unsigned APosition, const std::string& ABits) {
  return Shift(APosition, ABits, false);
}

std::string TSimScanTarget::Shift(unsigned APosition, const std::string& ABits, bool AInstruction) {
  std::string captured;
  ShiftInto(APosition, ABits, AInstruction, captured);
  return captured;
}

void TSimScanTarget::ShiftIRInto(unsigned APosition, const std::string& ABits,
                                 std::string& ACaptured) {
  if (ABits.size() != IrLength(APosition))
    throw std::invalid_argument("instruction length does not match the device");
  ShiftInto(APosition, ABits, true, ACaptured);
}

void TSimScanTarget::ShiftDRInto(unsigned APosition, const std::string& ABits,
                                 std::string& ACaptured) {
  ShiftInto(APosition, ABits, false, ACaptured);
}

void TSimScanTarget::ShiftInto(unsigned APosition, const std::string& ABits, bool AInstruction,
                               std::string& ACaptured) {
  CheckBits(ABits);
  const TTapChain& chain = FSim.Chain();
  if (APosition >= chain.Count())
    throw std::out_of_range("no device at that chain position");
  MoveToState(AInstruction ? TTapState::IrShift : TTapState::DrShift);

  // Bits in shifting order: the device nearest TDO must receive the first ones.
  std::string& in = FIn;
  in.clear();
  size_t offset = 0;
  for (unsigned i = 0; i < chain.Count(); ++i) {
    if (i == APosition) {
      offset = in.size();
      in.append(ABits.rbegin(), ABits.rend());
    } else if (AInstruction) {
      in.append(chain.At(i).IrLength(), '1');
    } else {
      in.append(chain.At(i).DrLength(), '0');
    }
  }
  // The device's part of the answer, put back into text order as it comes.
  ACaptured.resize(ABits.size());
  const size_t last = offset + ABits.size() - 1;
  for (size_t i = 0; i < in.size(); ++i) {
    const bool bit = FSim.ClockBit(i + 1 == in.size(), in[i] == '1');
    if (i >= offset && i <= last)
      ACaptured[last - i] = bit ? '1' : '0';
  }
}

std::string TSimScanTarget::ToBits(uint64_t AValue, unsigned ACount) {
  std::string s(ACount, '0');
  for (unsigned i = 0; i < ACount && i < 64; ++i)
    if ((AValue >> i) & 1)
      s[ACount - 1 - i] = '1';
  return s;
}

uint64_t TSimScanTarget::FromBits(const std::string& ABits) {
  uint64_t v = 0;
  for (const char c : ABits)
    v = (v << 1) | (c == '1' ? 1 : 0);
  return v;
}
