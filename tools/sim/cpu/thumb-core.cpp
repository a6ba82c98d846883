#include "thumb-core.h"

#include <array>
#include <bit>

// The instruction set of a Cortex-M3 (ARMv7-M without the DSP extension and
// without floating point). Decoding walks two tables of (mask, match,
// handler) rows: the 16-bit one is expanded once into a 64K lookup, the
// 32-bit one has a dozen group rows whose handlers finish the decode. A
// handler either completes (registers written, FNextPc chosen) or fails
// before it changes any register, so a faulting instruction leaves the core
// as it was; a store multiple may have written part of its memory, as the
// hardware may.

using TStepResult = TThumbCore::TStepResult;
using TFaultKind = TThumbCore::TFaultKind;

namespace {

constexpr uint32_t Bits(uint32_t AValue, unsigned AHigh, unsigned ALow) {
  return (AValue >> ALow) & (0xFFFFFFFFu >> (31 - (AHigh - ALow)));
}
constexpr bool Bit(uint32_t AValue, unsigned AIndex) {
  return ((AValue >> AIndex) & 1) != 0;
}
constexpr uint32_t SignExtend(uint32_t AValue, unsigned AWidth) {
  const uint32_t sign = 1u << (AWidth - 1);
  return ((AValue & ((sign << 1) - 1)) ^ sign) - sign;
}

constexpr uint32_t ByteSwap(uint32_t AValue) {
  return (AValue >> 24) | ((AValue >> 8) & 0xFF00u) | ((AValue << 8) & 0xFF0000u) | (AValue << 24);
}

enum class TShift : uint8_t { Lsl, Lsr, Asr, Ror, Rrx };

struct TShifted {
  uint32_t Value;
  bool Carry;
};

TShifted ShiftC(uint32_t AValue, TShift AType, unsigned AAmount, bool ACarryIn) {
  if (AType == TShift::Rrx)
    return {(uint32_t(ACarryIn) << 31) | (AValue >> 1), (AValue & 1) != 0};
  if (AAmount == 0)
    return {AValue, ACarryIn};
  switch (AType) {
  case TShift::Lsl:
    if (AAmount < 32)
      return {AValue << AAmount, Bit(AValue, 32 - AAmount)};
    return {0, AAmount == 32 && (AValue & 1)};
  case TShift::Lsr:
    if (AAmount < 32)
      return {AValue >> AAmount, Bit(AValue, AAmount - 1)};
    return {0, AAmount == 32 && Bit(AValue, 31)};
  case TShift::Asr:
    if (AAmount < 32)
      return {uint32_t(int32_t(AValue) >> AAmount), Bit(AValue, AAmount - 1)};
    return {uint32_t(int32_t(AValue) >> 31), Bit(AValue, 31)};
  default: {
    const uint32_t rotated = std::rotr(AValue, int(AAmount & 31));
    return {rotated, Bit(rotated, 31)};
  }
  }
}

struct TImmShift {
  TShift Type;
  unsigned Amount;
};

// A shift encoded as type and a five-bit amount, where 0 means 32 for LSR and
// ASR and means RRX for ROR.
TImmShift DecodeImmShift(unsigned AType, unsigned AImm5) {
  switch (AType) {
  case 0:
    return {TShift::Lsl, AImm5};
  case 1:
    return {TShift::Lsr, AImm5 ? AImm5 : 32};
  case 2:
    return {TShift::Asr, AImm5 ? AImm5 : 32};
  default:
    return AImm5 ? TImmShift{TShift::Ror, AImm5} : TImmShift{TShift::Rrx, 1};
  }
}

// The modified-immediate constant of the 32-bit data-processing encodings.
TShifted ThumbExpandImmC(uint32_t AImm12, bool ACarryIn) {
  const uint32_t imm8 = AImm12 & 0xFF;
  if ((AImm12 >> 10) == 0) {
    static constexpr uint32_t kSplat[4] = {1, 0x00010001u, 0x01000100u, 0x01010101u};
    return {imm8 * kSplat[(AImm12 >> 8) & 3], ACarryIn};
  }
  const uint32_t value = std::rotr(0x80u | (AImm12 & 0x7F), int(AImm12 >> 7));
  return {value, Bit(value, 31)};
}

struct TSum {
  uint32_t Value;
  bool Carry, Overflow;
};

TSum AddWithCarry(uint32_t AX, uint32_t AY, bool ACarry) {
  const uint64_t wide = uint64_t(AX) + AY + (ACarry ? 1 : 0);
  const uint32_t value = uint32_t(wide);
  return {value, (wide >> 32) != 0, (((AX ^ value) & (AY ^ value)) >> 31) != 0};
}

// Data-processing operations shared by the 16-bit and the 32-bit encodings.
enum class TAlu : uint8_t { And, Bic, Orr, Orn, Eor, Mov, Mvn, Add, Adc, Sub, Sbc, Rsb, None };

// 32-bit data-processing op field (modified immediate and shifted register).
constexpr TAlu kWideAlu[16] = {TAlu::And,  TAlu::Bic,  TAlu::Orr, TAlu::Orn,  TAlu::Eor, TAlu::None,
                               TAlu::None, TAlu::None, TAlu::Add, TAlu::None, TAlu::Adc, TAlu::Sbc,
                               TAlu::None, TAlu::Sub,  TAlu::Rsb, TAlu::None};

struct TAccess {
  uint8_t Size;
  bool Load, Signed;
};

// 16-bit load/store register offset, opB field.
constexpr TAccess kRegisterOffsetAccess[8] = {
    {4, false, false}, {2, false, false}, {1, false, false}, {1, true, true},
    {4, true, false},  {2, true, false},  {1, true, false},  {2, true, true}};

} // namespace

struct TThumbExec {
  using TCore = TThumbCore;
  using THandler = TStepResult (*)(TCore&, uint32_t);

  struct TRow {
    uint32_t Mask, Match;
    THandler Handler;
  };

  // ---- state helpers ----

  static TStepResult Fail(TCore& c, TFaultKind AKind, uint32_t AAddress) {
    c.FLastFaultKind = AKind;
    c.FLastFaultAddress = AAddress;
    return TStepResult::Fault;
  }
  static TStepResult Undefined(TCore& c, uint32_t) {
    return Fail(c, TFaultKind::Undefined, c.FR[15]);
  }

  // Register as an operand: PC reads as the instruction address plus 4.
  static uint32_t Reg(const TCore& c, unsigned AIndex) {
    return AIndex == 15 ? c.FR[15] + 4 : c.FR[AIndex];
  }
  static uint32_t AlignedPc(const TCore& c) { return (c.FR[15] + 4) & ~3u; }

  static void SetReg(TCore& c, unsigned AIndex, uint32_t AValue) {
    if (AIndex == 15)
      c.FNextPc = AValue & ~1u; // a data-processing write to PC is a plain branch
    else if (AIndex == 13)
      c.FR[13] = AValue & ~3u; // SP bits [1:0] are fixed at zero
    else
      c.FR[AIndex] = AValue;
  }

  static void SetNZ(TCore& c, uint32_t AValue) {
    c.FN = Bit(AValue, 31);
    c.FZ = AValue == 0;
  }

  static bool ConditionPassed(const TCore& c, unsigned ACond) {
    bool result;
    switch (ACond >> 1) {
    case 0:
      result = c.FZ;
      break;
    case 1:
      result = c.FC;
      break;
    case 2:
      result = c.FN;
      break;
    case 3:
      result = c.FV;
      break;
    case 4:
      result = c.FC && !c.FZ;
      break;
    case 5:
      result = c.FN == c.FV;
      break;
    case 6:
      result = c.FN == c.FV && !c.FZ;
      break;
    default:
      return true;
    }
    return (ACond & 1) ? !result : result;
  }

  static bool Privileged(const TCore& c) { return c.FIpsr != 0 || (c.FControl & 1) == 0; }

  // Interworking branch (BX, BLX, and loads into PC). A target with bit 0
  // clear clears EPSR.T, and the next instruction then faults with
  // INVSTATE as the hardware does. EXC_RETURN values would start an exception
  // return, which is not modelled.
  static bool IsExceptionReturn(uint32_t ATarget) { return (ATarget >> 28) == 0xF; }
  static void BxWritePc(TCore& c, uint32_t ATarget) {
    c.FThumb = (ATarget & 1) != 0;
    c.FNextPc = ATarget & ~1u;
  }

  // ---- memory ----

  // MemU semantics: unaligned halfword and word accesses are allowed and go
  // to the bus as bytes (the bus itself only sees naturally aligned accesses).
  static bool Load(TCore& c, uint32_t AAddress, unsigned ASize, uint32_t& AValue) {
    if ((AAddress & (ASize - 1)) == 0) {
      if (c.FBus.Read(AAddress, ASize, AValue))
        return true;
      Fail(c, TFaultKind::DataBusError, AAddress);
      return false;
    }
    uint32_t value = 0;
    for (unsigned i = 0; i < ASize; ++i) {
      uint32_t byte = 0;
      if (!c.FBus.Read(AAddress + i, 1, byte)) {
        Fail(c, TFaultKind::DataBusError, AAddress + i);
        return false;
      }
      value |= (byte & 0xFF) << (8 * i);
    }
    AValue = value;
    return true;
  }
  static bool Store(TCore& c, uint32_t AAddress, unsigned ASize, uint32_t AValue) {
    if ((AAddress & (ASize - 1)) == 0) {
      if (c.FBus.Write(AAddress, ASize, AValue))
        return true;
      Fail(c, TFaultKind::DataBusError, AAddress);
      return false;
    }
    for (unsigned i = 0; i < ASize; ++i) {
      if (!c.FBus.Write(AAddress + i, 1, (AValue >> (8 * i)) & 0xFF)) {
        Fail(c, TFaultKind::DataBusError, AAddress + i);
        return false;
      }
    }
    return true;
  }
  // MemA semantics: misaligned is an UNALIGNED usage fault.
  static bool CheckAligned(TCore& c, uint32_t AAddress, unsigned ASize) {
    if ((AAddress & (ASize - 1)) == 0)
      return true;
    Fail(c, TFaultKind::Unaligned, c.FR[15]);
    return false;
  }

  static uint32_t Extend(uint32_t AValue, const TAccess& AAccess) {
    if (AAccess.Size == 4)
      return AValue;
    const unsigned bits = AAccess.Size * 8;
    return AAccess.Signed ? SignExtend(AValue, bits) : AValue & ((1u << bits) - 1);
  }

  // One load or store of a single register with optional writeback; the
  // common tail of every LDR/STR form.
  static TStepResult LoadStore(TCore& c, const TAccess& AAccess, unsigned ARt, unsigned ARn,
                               uint32_t AAddress, bool AWriteback, uint32_t AOffsetAddress) {
    if (AAccess.Load) {
      uint32_t value = 0;
      if (!Load(c, AAddress, AAccess.Size, value))
        return TStepResult::Fault;
      value = Extend(value, AAccess);
      if (ARt == 15 && IsExceptionReturn(value))
        return Fail(c, TFaultKind::ExceptionReturn, c.FR[15]);
      if (AWriteback)
        SetReg(c, ARn, AOffsetAddress);
      if (ARt == 15)
        BxWritePc(c, value);
      else
        SetReg(c, ARt, value);
    } else {
      if (!Store(c, AAddress, AAccess.Size, Reg(c, ARt)))
        return TStepResult::Fault;
      if (AWriteback)
        SetReg(c, ARn, AOffsetAddress);
    }
    return TStepResult::Executed;
  }

  // LDM/POP (all registers read before any is written) and STM/PUSH.
  static TStepResult LoadMultiple(TCore& c, unsigned ARn, uint32_t AList, bool AIncrement,
                                  bool AWriteback) {
    const unsigned count = unsigned(std::popcount(AList));
    const uint32_t base = Reg(c, ARn);
    uint32_t address = AIncrement ? base : base - 4 * count;
    if (!CheckAligned(c, address, 4))
      return TStepResult::Fault;
    uint32_t values[16];
    for (unsigned r = 0; r < 16; ++r) {
      if (!Bit(AList, r))
        continue;
      if (!Load(c, address, 4, values[r]))
        return TStepResult::Fault;
      address += 4;
    }
    if (Bit(AList, 15) && IsExceptionReturn(values[15]))
      return Fail(c, TFaultKind::ExceptionReturn, c.FR[15]);
    if (AWriteback)
      SetReg(c, ARn, AIncrement ? base + 4 * count : base - 4 * count);
    for (unsigned r = 0; r < 15; ++r)
      if (Bit(AList, r))
        SetReg(c, r, values[r]);
    if (Bit(AList, 15))
      BxWritePc(c, values[15]);
    return TStepResult::Executed;
  }
  static TStepResult StoreMultiple(TCore& c, unsigned ARn, uint32_t AList, bool AIncrement,
                                   bool AWriteback) {
    const unsigned count = unsigned(std::popcount(AList));
    const uint32_t base = Reg(c, ARn);
    uint32_t address = AIncrement ? base : base - 4 * count;
    if (!CheckAligned(c, address, 4))
      return TStepResult::Fault;
    for (unsigned r = 0; r < 16; ++r) {
      if (!Bit(AList, r))
        continue;
      if (!Store(c, address, 4, Reg(c, r)))
        return TStepResult::Fault;
      address += 4;
    }
    if (AWriteback)
      SetReg(c, ARn, AIncrement ? base + 4 * count : base - 4 * count);
    return TStepResult::Executed;
  }

  // ---- data processing ----

  // One data-processing operation: AOperand is the shifted/expanded second
  // operand and AShiftCarry its carry-out (used by the logical operations).
  static void Alu(TCore& c, TAlu AOp, unsigned ARd, uint32_t ARn, uint32_t AOperand,
                  bool AShiftCarry, bool ASetFlags, bool AWrite = true) {
    uint32_t result;
    bool logical = true;
    TSum sum{};
    switch (AOp) {
    case TAlu::And:
      result = ARn & AOperand;
      break;
    case TAlu::Bic:
      result = ARn & ~AOperand;
      break;
    case TAlu::Orr:
      result = ARn | AOperand;
      break;
    case TAlu::Orn:
      result = ARn | ~AOperand;
      break;
    case TAlu::Eor:
      result = ARn ^ AOperand;
      break;
    case TAlu::Mov:
      result = AOperand;
      break;
    case TAlu::Mvn:
      result = ~AOperand;
      break;
    default:
      logical = false;
      switch (AOp) {
      case TAlu::Add:
        sum = AddWithCarry(ARn, AOperand, false);
        break;
      case TAlu::Adc:
        sum = AddWithCarry(ARn, AOperand, c.FC);
        break;
      case TAlu::Sub:
        sum = AddWithCarry(ARn, ~AOperand, true);
        break;
      case TAlu::Sbc:
        sum = AddWithCarry(ARn, ~AOperand, c.FC);
        break;
      default:
        sum = AddWithCarry(~ARn, AOperand, true);
        break; // Rsb
      }
      result = sum.Value;
      break;
    }
    if (AWrite)
      SetReg(c, ARd, result);
    if (!ASetFlags)
      return;
    SetNZ(c, result);
    if (logical) {
      c.FC = AShiftCarry;
    } else {
      c.FC = sum.Carry;
      c.FV = sum.Overflow;
    }
  }

  // ---- 16-bit encodings ----

  static TStepResult ShiftImmediate16(TCore& c, uint32_t i) {
    const TImmShift shift = DecodeImmShift(Bits(i, 12, 11), Bits(i, 10, 6));
    const TShifted r = ShiftC(c.FR[Bits(i, 5, 3)], shift.Type, shift.Amount, c.FC);
    c.FR[Bits(i, 2, 0)] = r.Value;
    if (!c.InItBlock()) {
      SetNZ(c, r.Value);
      c.FC = r.Carry;
    }
    return TStepResult::Executed;
  }

  static TStepResult AddSub16(TCore& c, uint32_t i) {
    const uint32_t operand = Bit(i, 10) ? Bits(i, 8, 6) : c.FR[Bits(i, 8, 6)];
    Alu(c, Bit(i, 9) ? TAlu::Sub : TAlu::Add, Bits(i, 2, 0), c.FR[Bits(i, 5, 3)], operand, c.FC,
        !c.InItBlock());
    return TStepResult::Executed;
  }

  static TStepResult Immediate8(TCore& c, uint32_t i) {
    static constexpr TAlu kOps[4] = {TAlu::Mov, TAlu::Sub, TAlu::Add, TAlu::Sub};
    const unsigned op = Bits(i, 12, 11), d = Bits(i, 10, 8);
    const bool compare = op == 1;
    Alu(c, kOps[op], d, c.FR[d], Bits(i, 7, 0), c.FC, compare || !c.InItBlock(), !compare);
    return TStepResult::Executed;
  }

  static TStepResult DataProcessing16(TCore& c, uint32_t i) {
    // AND EOR LSL LSR ASR ADC SBC ROR TST RSB CMP CMN ORR MUL BIC MVN
    static constexpr TAlu kOps[16] = {
        TAlu::And, TAlu::Eor, TAlu::None, TAlu::None, TAlu::None, TAlu::Adc,  TAlu::Sbc, TAlu::None,
        TAlu::And, TAlu::Rsb, TAlu::Sub,  TAlu::Add,  TAlu::Orr,  TAlu::None, TAlu::Bic, TAlu::Mvn};
    const unsigned op = Bits(i, 9, 6), m = Bits(i, 5, 3), d = Bits(i, 2, 0);
    const bool setFlags = !c.InItBlock();
    switch (op) {
    case 2:
    case 3:
    case 4:
    case 7: {
      static constexpr TShift kShift[8] = {TShift::Lsl, TShift::Lsl, TShift::Lsl, TShift::Lsr,
                                           TShift::Asr, TShift::Lsl, TShift::Lsl, TShift::Ror};
      const TShifted r = ShiftC(c.FR[d], kShift[op], c.FR[m] & 0xFF, c.FC);
      c.FR[d] = r.Value;
      if (setFlags) {
        SetNZ(c, r.Value);
        c.FC = r.Carry;
      }
      return TStepResult::Executed;
    }
    case 13: {
      const uint32_t result = c.FR[d] * c.FR[m];
      c.FR[d] = result;
      if (setFlags)
        SetNZ(c, result);
      return TStepResult::Executed;
    }
    case 9:
      Alu(c, TAlu::Rsb, d, c.FR[m], 0, c.FC, setFlags);
      return TStepResult::Executed;
    case 8:
    case 10:
    case 11:
      Alu(c, kOps[op], d, c.FR[d], c.FR[m], c.FC, true, false);
      return TStepResult::Executed;
    default:
      Alu(c, kOps[op], d, c.FR[d], c.FR[m], c.FC, setFlags);
      return TStepResult::Executed;
    }
  }

  static TStepResult SpecialData16(TCore& c, uint32_t i) {
    const unsigned m = Bits(i, 6, 3), dn = (Bits(i, 7, 7) << 3) | Bits(i, 2, 0);
    switch (Bits(i, 9, 8)) {
    case 0:
      SetReg(c, dn, Reg(c, dn) + Reg(c, m));
      break;
    case 1:
      Alu(c, TAlu::Sub, dn, Reg(c, dn), Reg(c, m), c.FC, true, false);
      break;
    case 2:
      SetReg(c, dn, Reg(c, m));
      break;
    default: { // BX / BLX
      if (Bits(i, 2, 0) != 0)
        return Undefined(c, i);
      const uint32_t target = Reg(c, m);
      if (IsExceptionReturn(target))
        return Fail(c, TFaultKind::ExceptionReturn, c.FR[15]);
      if (Bit(i, 7))
        c.FR[14] = (c.FR[15] + 2) | 1;
      BxWritePc(c, target);
      break;
    }
    }
    return TStepResult::Executed;
  }

  static TStepResult LoadLiteral16(TCore& c, uint32_t i) {
    const uint32_t address = AlignedPc(c) + Bits(i, 7, 0) * 4;
    return LoadStore(c, {4, true, false}, Bits(i, 10, 8), 15, address, false, 0);
  }

  static TStepResult RegisterOffset16(TCore& c, uint32_t i) {
    const uint32_t address = c.FR[Bits(i, 5, 3)] + c.FR[Bits(i, 8, 6)];
    return LoadStore(c, kRegisterOffsetAccess[Bits(i, 11, 9)], Bits(i, 2, 0), 0, address, false, 0);
  }

  static TStepResult ImmediateOffset16(TCore& c, uint32_t i) {
    // 0110 word, 0111 byte, 1000 halfword; bit 11 is load.
    static constexpr uint8_t kSize[3] = {4, 1, 2};
    const uint8_t size = kSize[Bits(i, 15, 12) - 6];
    const uint32_t address = c.FR[Bits(i, 5, 3)] + Bits(i, 10, 6) * size;
    return LoadStore(c, {size, Bit(i, 11), false}, Bits(i, 2, 0), 0, address, false, 0);
  }

  static TStepResult SpRelative16(TCore& c, uint32_t i) {
    const uint32_t address = c.FR[13] + Bits(i, 7, 0) * 4;
    return LoadStore(c, {4, Bit(i, 11), false}, Bits(i, 10, 8), 13, address, false, 0);
  }

  static TStepResult AddressGeneration16(TCore& c, uint32_t i) {
    const uint32_t base = Bit(i, 11) ? c.FR[13] : AlignedPc(c);
    c.FR[Bits(i, 10, 8)] = base + Bits(i, 7, 0) * 4;
    return TStepResult::Executed;
  }

  static TStepResult AdjustSp16(TCore& c, uint32_t i) {
    const uint32_t offset = Bits(i, 6, 0) * 4;
    SetReg(c, 13, Bit(i, 7) ? c.FR[13] - offset : c.FR[13] + offset);
    return TStepResult::Executed;
  }

  static TStepResult CompareBranch16(TCore& c, uint32_t i) {
    const bool zero = c.FR[Bits(i, 2, 0)] == 0;
    if (zero != Bit(i, 11))
      c.FNextPc = c.FR[15] + 4 + ((Bits(i, 9, 9) << 6) | (Bits(i, 7, 3) << 1));
    return TStepResult::Executed;
  }

  static uint32_t ExtendValue(uint32_t AValue, unsigned AOp) {
    // SXTH SXTB UXTH UXTB
    switch (AOp) {
    case 0:
      return SignExtend(AValue, 16);
    case 1:
      return SignExtend(AValue, 8);
    case 2:
      return AValue & 0xFFFF;
    default:
      return AValue & 0xFF;
    }
  }

  static TStepResult Extend16(TCore& c, uint32_t i) {
    c.FR[Bits(i, 2, 0)] = ExtendValue(c.FR[Bits(i, 5, 3)], Bits(i, 7, 6));
    return TStepResult::Executed;
  }

  static uint32_t ReverseValue(uint32_t AValue, unsigned AOp) {
    // REV REV16 RBIT REVSH
    switch (AOp) {
    case 0:
      return ByteSwap(AValue);
    case 1:
      return ((AValue & 0x00FF00FFu) << 8) | ((AValue >> 8) & 0x00FF00FFu);
    case 2: {
      uint32_t v = AValue;
      v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
      v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
      v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
      return ByteSwap(v);
    }
    default:
      return (SignExtend(AValue & 0xFF, 8) << 8) | ((AValue >> 8) & 0xFF);
    }
  }

  static TStepResult Reverse16(TCore& c, uint32_t i) {
    const unsigned op = Bits(i, 7, 6);
    if (op == 2)
      return Undefined(c, i);
    c.FR[Bits(i, 2, 0)] = ReverseValue(c.FR[Bits(i, 5, 3)], op);
    return TStepResult::Executed;
  }

  static TStepResult Push16(TCore& c, uint32_t i) {
    return StoreMultiple(c, 13, Bits(i, 7, 0) | (Bits(i, 8, 8) << 14), false, true);
  }
  static TStepResult Pop16(TCore& c, uint32_t i) {
    return LoadMultiple(c, 13, Bits(i, 7, 0) | (Bits(i, 8, 8) << 15), true, true);
  }
  static TStepResult StoreMultiple16(TCore& c, uint32_t i) {
    return StoreMultiple(c, Bits(i, 10, 8), Bits(i, 7, 0), true, true);
  }
  static TStepResult LoadMultiple16(TCore& c, uint32_t i) {
    const unsigned n = Bits(i, 10, 8);
    const uint32_t list = Bits(i, 7, 0);
    return LoadMultiple(c, n, list, true, !Bit(list, n));
  }

  static TStepResult ChangeProcessorState16(TCore& c, uint32_t i) {
    if (Privileged(c)) {
      const uint8_t value = Bit(i, 4) ? 1 : 0;
      if (Bit(i, 1))
        c.FPriMask = value;
      if (Bit(i, 0))
        c.FFaultMask = value;
    }
    return TStepResult::Executed;
  }

  static TStepResult Breakpoint16(TCore&, uint32_t) { return TStepResult::Breakpoint; }

  static TStepResult Hint(TCore& c, unsigned AHint) {
    switch (AHint) {
    case 2: // WFE: a pending event is consumed and execution goes on
      if (c.FEventRegister) {
        c.FEventRegister = false;
        return TStepResult::Executed;
      }
      return TStepResult::WaitForInterrupt;
    case 3: // WFI: no interrupt is modelled; the chip model decides how long waiting lasts
      return TStepResult::WaitForInterrupt;
    case 4:
      c.FEventRegister = true;
      return TStepResult::Executed;
    default:
      return TStepResult::Executed; // NOP, YIELD, DBG and reserved hints
    }
  }

  static TStepResult IfThen16(TCore& c, uint32_t i) {
    if (Bits(i, 3, 0) == 0)
      return Hint(c, Bits(i, 7, 4));
    c.FIt = uint8_t(i & 0xFF);
    return TStepResult::Executed;
  }

  static TStepResult ConditionalBranch16(TCore& c, uint32_t i) {
    const unsigned cond = Bits(i, 11, 8);
    if (cond == 14)
      return Undefined(c, i); // UDF
    // SVC would enter the SVCall handler; exceptions are not modelled, so a
    // program that needs one stops here with PC at the SVC.
    if (cond == 15)
      return Fail(c, TFaultKind::SupervisorCall, c.FR[15]);
    if (ConditionPassed(c, cond))
      c.FNextPc = c.FR[15] + 4 + SignExtend(Bits(i, 7, 0) << 1, 9);
    return TStepResult::Executed;
  }

  static TStepResult Branch16(TCore& c, uint32_t i) {
    c.FNextPc = c.FR[15] + 4 + SignExtend(Bits(i, 10, 0) << 1, 12);
    return TStepResult::Executed;
  }

  static constexpr TRow kRows16[] = {
      {0xF800, 0x0000, ShiftImmediate16},
      {0xF800, 0x0800, ShiftImmediate16},
      {0xF800, 0x1000, ShiftImmediate16},
      {0xF800, 0x1800, AddSub16},
      {0xE000, 0x2000, Immediate8},
      {0xFC00, 0x4000, DataProcessing16},
      {0xFC00, 0x4400, SpecialData16},
      {0xF800, 0x4800, LoadLiteral16},
      {0xF000, 0x5000, RegisterOffset16},
      {0xE000, 0x6000, ImmediateOffset16},
      {0xF000, 0x8000, ImmediateOffset16},
      {0xF000, 0x9000, SpRelative16},
      {0xF000, 0xA000, AddressGeneration16},
      {0xFF00, 0xB000, AdjustSp16},
      {0xF500, 0xB100, CompareBranch16},
      {0xFF00, 0xB200, Extend16},
      {0xFE00, 0xB400, Push16},
      {0xFFEC, 0xB660, ChangeProcessorState16},
      {0xFF00, 0xBA00, Reverse16},
      {0xFE00, 0xBC00, Pop16},
      {0xFF00, 0xBE00, Breakpoint16},
      {0xFF00, 0xBF00, IfThen16},
      {0xF800, 0xC000, StoreMultiple16},
      {0xF800, 0xC800, LoadMultiple16},
      {0xF000, 0xD000, ConditionalBranch16},
      {0xF800, 0xE000, Branch16},
  };
  static constexpr uint8_t kNoRow = 0xFF;

  // Row index for each 16-bit encoding, built once.
  static const std::array<uint8_t, 0x10000>& Lookup16() {
    static const std::array<uint8_t, 0x10000> table = [] {
      std::array<uint8_t, 0x10000> t{};
      for (uint32_t i = 0; i < 0x10000; ++i) {
        t[i] = kNoRow;
        for (uint8_t r = 0; r < std::size(kRows16); ++r)
          if ((i & kRows16[r].Mask) == kRows16[r].Match) {
            t[i] = r;
            break;
          }
      }
      return t;
    }();
    return table;
  }

  static TStepResult Execute16(TCore& c, uint32_t i) {
    const uint8_t row = Lookup16()[i];
    return row == kNoRow ? Undefined(c, i) : kRows16[row].Handler(c, i);
  }

  // ---- 32-bit encodings (i = first halfword << 16 | second halfword) ----

  static TStepResult LoadStoreMultiple32(TCore& c, uint32_t i) {
    const unsigned op = Bits(i, 24, 23), n = Bits(i, 19, 16);
    if (op == 0 || op == 3)
      return Undefined(c, i); // SRS/RFE do not exist on M-profile
    const bool increment = op == 1, writeback = Bit(i, 21);
    const uint32_t list = Bits(i, 15, 0);
    if (Bit(i, 20))
      return LoadMultiple(c, n, list, increment, writeback);
    return StoreMultiple(c, n, list, increment, writeback);
  }

  static TStepResult Exclusive(TCore& c, uint32_t i, unsigned ASize, uint32_t AAddress,
                               unsigned ARd) {
    if (!CheckAligned(c, AAddress, ASize))
      return TStepResult::Fault;
    const unsigned t = Bits(i, 15, 12);
    if (Bit(i, 20)) {
      uint32_t value = 0;
      if (!Load(c, AAddress, ASize, value))
        return TStepResult::Fault;
      c.FR[t] = value;
      c.FExclusiveOpen = true;
      return TStepResult::Executed;
    }
    // A single core: the local monitor alone decides, as on a Cortex-M3,
    // without comparing addresses.
    if (c.FExclusiveOpen) {
      if (!Store(c, AAddress, ASize, c.FR[t]))
        return TStepResult::Fault;
      c.FR[ARd] = 0;
    } else {
      c.FR[ARd] = 1;
    }
    c.FExclusiveOpen = false;
    return TStepResult::Executed;
  }

  static TStepResult DualExclusiveTable32(TCore& c, uint32_t i) {
    const bool p = Bit(i, 24), u = Bit(i, 23), w = Bit(i, 21), load = Bit(i, 20);
    const unsigned n = Bits(i, 19, 16), t = Bits(i, 15, 12), t2 = Bits(i, 11, 8);
    const uint32_t imm8 = Bits(i, 7, 0);
    if (!p && !w) {
      if (!u)
        return Exclusive(c, i, 4, Reg(c, n) + imm8 * 4, t2);
      const unsigned op = Bits(i, 7, 4);
      if (load && (op == 0 || op == 1)) { // TBB / TBH
        const unsigned m = Bits(i, 3, 0);
        uint32_t offset = 0;
        const bool half = op == 1;
        if (!Load(c, Reg(c, n) + (half ? Reg(c, m) << 1 : Reg(c, m)), half ? 2 : 1, offset))
          return TStepResult::Fault;
        c.FNextPc = c.FR[15] + 4 + 2 * offset;
        return TStepResult::Executed;
      }
      if (op == 4 || op == 5)
        return Exclusive(c, i, op == 4 ? 1 : 2, Reg(c, n), Bits(i, 3, 0));
      return Undefined(c, i);
    }
    // LDRD / STRD (word-aligned: MemA)
    const uint32_t base = n == 15 ? AlignedPc(c) : c.FR[n];
    const uint32_t offsetAddress = u ? base + imm8 * 4 : base - imm8 * 4;
    const uint32_t address = p ? offsetAddress : base;
    if (!CheckAligned(c, address, 4))
      return TStepResult::Fault;
    if (load) {
      uint32_t first = 0, second = 0;
      if (!Load(c, address, 4, first) || !Load(c, address + 4, 4, second))
        return TStepResult::Fault;
      if (w)
        SetReg(c, n, offsetAddress);
      SetReg(c, t, first);
      SetReg(c, t2, second);
    } else {
      if (!Store(c, address, 4, c.FR[t]) || !Store(c, address + 4, 4, c.FR[t2]))
        return TStepResult::Fault;
      if (w)
        SetReg(c, n, offsetAddress);
    }
    return TStepResult::Executed;
  }

  // Shared by the modified-immediate and the shifted-register forms.
  static TStepResult WideDataProcessing(TCore& c, uint32_t i, uint32_t AOperand, bool ACarry) {
    const unsigned op = Bits(i, 24, 21), n = Bits(i, 19, 16), d = Bits(i, 11, 8);
    const bool s = Bit(i, 20);
    TAlu alu = kWideAlu[op];
    if (alu == TAlu::None)
      return Undefined(c, i);
    if (n == 15 && (alu == TAlu::Orr || alu == TAlu::Orn))
      alu = alu == TAlu::Orr ? TAlu::Mov : TAlu::Mvn;
    // TST, TEQ, CMN and CMP are AND, EOR, ADD and SUB that only set flags.
    const bool test =
        d == 15 && s &&
        (alu == TAlu::And || alu == TAlu::Eor || alu == TAlu::Add || alu == TAlu::Sub);
    Alu(c, alu, d, Reg(c, n), AOperand, ACarry, s, !test);
    return TStepResult::Executed;
  }

  static TStepResult ModifiedImmediate32(TCore& c, uint32_t i) {
    const uint32_t imm12 = (Bits(i, 26, 26) << 11) | (Bits(i, 14, 12) << 8) | Bits(i, 7, 0);
    const TShifted imm = ThumbExpandImmC(imm12, c.FC);
    return WideDataProcessing(c, i, imm.Value, imm.Carry);
  }

  static TStepResult ShiftedRegister32(TCore& c, uint32_t i) {
    const TImmShift shift = DecodeImmShift(Bits(i, 5, 4), (Bits(i, 14, 12) << 2) | Bits(i, 7, 6));
    const TShifted operand = ShiftC(Reg(c, Bits(i, 3, 0)), shift.Type, shift.Amount, c.FC);
    return WideDataProcessing(c, i, operand.Value, operand.Carry);
  }

  static TStepResult PlainImmediate32(TCore& c, uint32_t i) {
    const unsigned op = Bits(i, 24, 20), n = Bits(i, 19, 16), d = Bits(i, 11, 8);
    const uint32_t imm12 = (Bits(i, 26, 26) << 11) | (Bits(i, 14, 12) << 8) | Bits(i, 7, 0);
    const unsigned lsb = (Bits(i, 14, 12) << 2) | Bits(i, 7, 6), field = Bits(i, 4, 0);
    const uint32_t rn = n == 15 ? AlignedPc(c) : c.FR[n];
    switch (op) {
    case 0x00:
      SetReg(c, d, rn + imm12);
      break; // ADDW / ADR
    case 0x0A:
      SetReg(c, d, rn - imm12);
      break; // SUBW / ADR
    case 0x04:
      SetReg(c, d, (n << 12) | imm12);
      break; // MOVW
    case 0x0C:
      SetReg(c, d, (c.FR[d] & 0xFFFF) | (((n << 12) | imm12) << 16));
      break; // MOVT
    case 0x10:
    case 0x12:
    case 0x18:
    case 0x1A: { // SSAT / USAT
      const bool arithmetic = Bit(op, 1);
      if (arithmetic && lsb == 0)
        return Undefined(c, i); // SSAT16/USAT16 are DSP
      const int64_t value =
          arithmetic ? int64_t(int32_t(c.FR[n]) >> lsb) : int64_t(int32_t(c.FR[n] << lsb));
      int64_t low, high;
      if (Bit(op, 3)) {
        low = 0;
        high = (int64_t(1) << field) - 1;
      } else {
        high = (int64_t(1) << field) - 1; // saturate to field + 1 bits
        low = -high - 1;
      }
      const int64_t result = value < low ? low : value > high ? high : value;
      if (result != value)
        c.FQ = true;
      SetReg(c, d, uint32_t(result));
      break;
    }
    case 0x14: // SBFX
    case 0x1C: // UBFX
    {
      const unsigned width = field + 1;
      const uint32_t extracted = Bits(c.FR[n], lsb + field > 31 ? 31 : lsb + field, lsb);
      SetReg(c, d, op == 0x14 ? SignExtend(extracted, width) : extracted);
      break;
    }
    case 0x16: { // BFI / BFC (Rn = PC)
      if (field < lsb)
        break;
      const uint32_t mask = (0xFFFFFFFFu >> (31 - (field - lsb))) << lsb;
      const uint32_t source = n == 15 ? 0 : c.FR[n] << lsb;
      SetReg(c, d, (c.FR[d] & ~mask) | (source & mask));
      break;
    }
    default:
      return Undefined(c, i);
    }
    return TStepResult::Executed;
  }

  static TStepResult MoveToSpecial(TCore& c, uint32_t i) {
    const uint32_t value = c.FR[Bits(i, 19, 16)];
    const unsigned sysm = Bits(i, 7, 0);
    switch (sysm >> 3) {
    case 0: // APSR views; IPSR and EPSR ignore writes
      if (!Bit(sysm, 2) && Bit(i, 11)) {
        c.FN = Bit(value, 31);
        c.FZ = Bit(value, 30);
        c.FC = Bit(value, 29);
        c.FV = Bit(value, 28);
        c.FQ = Bit(value, 27);
      }
      break;
    case 1:
      if (!Privileged(c))
        break;
      if ((sysm & 7) == 0)
        (c.FUsingPsp ? c.FMsp : c.FR[13]) = value & ~3u;
      if ((sysm & 7) == 1)
        (c.FUsingPsp ? c.FR[13] : c.FPsp) = value & ~3u;
      break;
    case 2:
      if (!Privileged(c))
        break;
      switch (sysm & 7) {
      case 0:
        c.FPriMask = value & 1;
        break;
      case 1:
        c.FBasePri = value & 0xFF;
        break;
      case 2: { // BASEPRI_MAX only raises the priority mask
        const uint8_t level = value & 0xFF;
        if (level != 0 && (level < c.FBasePri || c.FBasePri == 0))
          c.FBasePri = level;
        break;
      }
      case 3:
        c.FFaultMask = value & 1;
        break;
      case 4:
        c.FControl = uint8_t((c.FControl & ~1u) | (value & 1));
        if (c.FIpsr == 0)
          c.FControl = uint8_t((c.FControl & ~2u) | (value & 2));
        c.SelectStack();
        break;
      default:
        break;
      }
      break;
    default:
      break;
    }
    return TStepResult::Executed;
  }

  static TStepResult MoveFromSpecial(TCore& c, uint32_t i) {
    const unsigned sysm = Bits(i, 7, 0), d = Bits(i, 11, 8);
    uint32_t value = 0;
    const bool privileged = Privileged(c);
    switch (sysm >> 3) {
    case 0: // EPSR reads as zero
      if (Bit(sysm, 0))
        value |= c.FIpsr & 0x1FF;
      if (!Bit(sysm, 2))
        value |= (uint32_t(c.FN) << 31) | (uint32_t(c.FZ) << 30) | (uint32_t(c.FC) << 29) |
                 (uint32_t(c.FV) << 28) | (uint32_t(c.FQ) << 27);
      break;
    case 1:
      if (!privileged)
        break;
      if ((sysm & 7) == 0)
        value = c.FUsingPsp ? c.FMsp : c.FR[13];
      if ((sysm & 7) == 1)
        value = c.FUsingPsp ? c.FR[13] : c.FPsp;
      break;
    case 2:
      switch (sysm & 7) {
      case 0:
        value = privileged ? c.FPriMask : 0;
        break;
      case 1:
      case 2:
        value = privileged ? c.FBasePri : 0;
        break;
      case 3:
        value = privileged ? c.FFaultMask : 0;
        break;
      case 4:
        value = c.FControl & 3;
        break;
      default:
        break;
      }
      break;
    default:
      break;
    }
    SetReg(c, d, value);
    return TStepResult::Executed;
  }

  static TStepResult BranchMisc32(TCore& c, uint32_t i) {
    const unsigned op = Bits(i, 26, 20), op1 = Bits(i, 14, 12);
    const uint32_t s = Bits(i, 26, 26), j1 = Bits(i, 13, 13), j2 = Bits(i, 11, 11);
    switch (op1 & 5) {
    case 0:
      if ((op & 0x38) != 0x38) { // B<cond>.W
        const uint32_t offset = SignExtend((s << 20) | (j2 << 19) | (j1 << 18) |
                                               (Bits(i, 21, 16) << 12) | (Bits(i, 10, 0) << 1),
                                           21);
        if (ConditionPassed(c, Bits(i, 25, 22)))
          c.FNextPc = c.FR[15] + 4 + offset;
        return TStepResult::Executed;
      }
      if ((op & 0x7E) == 0x38)
        return MoveToSpecial(c, i);
      if ((op & 0x7E) == 0x3E)
        return MoveFromSpecial(c, i);
      if (op == 0x3A)
        return Hint(c, Bits(i, 7, 0) >= 0xF0 ? 0 : Bits(i, 7, 0));
      if (op == 0x3B) {
        switch (Bits(i, 7, 4)) {
        case 2:
          c.FExclusiveOpen = false;
          return TStepResult::Executed; // CLREX
        case 4:                         // DSB
        case 5:                         // DMB
        case 6:
          return TStepResult::Executed; // ISB
        default:
          return Undefined(c, i);
        }
      }
      return Undefined(c, i); // includes UDF.W
    case 4:
      return Undefined(c, i); // BLX immediate: there is no ARM state
    default: {                // B.W and BL
      const uint32_t i1 = (j1 ^ s) ^ 1, i2 = (j2 ^ s) ^ 1;
      const uint32_t offset = SignExtend((s << 24) | (i1 << 23) | (i2 << 22) |
                                             (Bits(i, 25, 16) << 12) | (Bits(i, 10, 0) << 1),
                                         25);
      if (op1 & 4)
        c.FR[14] = (c.FR[15] + 4) | 1;
      c.FNextPc = c.FR[15] + 4 + offset;
      return TStepResult::Executed;
    }
    }
  }

  static TStepResult LoadStoreSingle32(TCore& c, uint32_t i) {
    const bool isSigned = Bit(i, 24), imm12Form = Bit(i, 23), load = Bit(i, 20);
    const unsigned sizeCode = Bits(i, 22, 21), n = Bits(i, 19, 16), t = Bits(i, 15, 12);
    if (sizeCode == 3 || (isSigned && (!load || sizeCode == 2)))
      return Undefined(c, i);
    const TAccess access{uint8_t(1u << sizeCode), load, isSigned};
    uint32_t address, offsetAddress = 0;
    bool writeback = false;
    if (n == 15) {
      if (!load)
        return Undefined(c, i);
      address = Bit(i, 23) ? AlignedPc(c) + Bits(i, 11, 0) : AlignedPc(c) - Bits(i, 11, 0);
    } else if (imm12Form) {
      address = c.FR[n] + Bits(i, 11, 0);
    } else if (Bit(i, 11)) {
      const bool p = Bit(i, 10), u = Bit(i, 9);
      writeback = Bit(i, 8);
      if (!p && !writeback)
        return Undefined(c, i);
      offsetAddress = u ? c.FR[n] + Bits(i, 7, 0) : c.FR[n] - Bits(i, 7, 0);
      address = p ? offsetAddress : c.FR[n];
    } else if (Bits(i, 11, 6) == 0) {
      address = c.FR[n] + (c.FR[Bits(i, 3, 0)] << Bits(i, 5, 4));
    } else {
      return Undefined(c, i);
    }
    // Byte and halfword loads into PC are the preload hints (PLD, PLI).
    if (load && t == 15 && sizeCode != 2)
      return TStepResult::Executed;
    return LoadStore(c, access, t, n, address, writeback, offsetAddress);
  }

  static TStepResult RegisterDataProcessing32(TCore& c, uint32_t i) {
    const unsigned op1 = Bits(i, 23, 20), op2 = Bits(i, 7, 4), n = Bits(i, 19, 16),
                   d = Bits(i, 11, 8), m = Bits(i, 3, 0);
    if (Bits(i, 15, 12) != 0xF)
      return Undefined(c, i);
    if (op1 < 8 && op2 == 0) { // LSL LSR ASR ROR by register
      static constexpr TShift kShift[4] = {TShift::Lsl, TShift::Lsr, TShift::Asr, TShift::Ror};
      const TShifted r = ShiftC(c.FR[n], kShift[Bits(op1, 2, 1)], c.FR[m] & 0xFF, c.FC);
      SetReg(c, d, r.Value);
      if (Bit(op1, 0)) {
        SetNZ(c, r.Value);
        c.FC = r.Carry;
      }
      return TStepResult::Executed;
    }
    if (op1 < 8 && (op2 & 8) && n == 15) { // SXTH UXTH SXTB UXTB with rotation
      static constexpr int8_t kExtend[8] = {0, 2, -1, -1, 1, 3, -1, -1};
      if (kExtend[op1] < 0)
        return Undefined(c, i);
      SetReg(c, d, ExtendValue(std::rotr(c.FR[m], int(Bits(i, 5, 4) * 8)), unsigned(kExtend[op1])));
      return TStepResult::Executed;
    }
    if (op1 == 9 && (op2 & 0xC) == 8) {
      SetReg(c, d, ReverseValue(c.FR[m], op2 & 3));
      return TStepResult::Executed;
    }
    if (op1 == 0xB && op2 == 8) {
      SetReg(c, d, uint32_t(std::countl_zero(c.FR[m])));
      return TStepResult::Executed;
    }
    return Undefined(c, i); // SXTA*, parallel add/subtract, saturating and SEL are DSP
  }

  static TStepResult Multiply32(TCore& c, uint32_t i) {
    const unsigned op1 = Bits(i, 22, 20), op2 = Bits(i, 5, 4), n = Bits(i, 19, 16),
                   a = Bits(i, 15, 12), d = Bits(i, 11, 8), m = Bits(i, 3, 0);
    if (op1 != 0 || Bits(i, 7, 6) != 0 || op2 > 1)
      return Undefined(c, i);
    const uint32_t product = c.FR[n] * c.FR[m];
    if (op2 == 1)
      SetReg(c, d, c.FR[a] - product); // MLS
    else
      SetReg(c, d, a == 15 ? product : c.FR[a] + product); // MUL / MLA
    return TStepResult::Executed;
  }

  static TStepResult LongMultiplyDivide32(TCore& c, uint32_t i) {
    const unsigned op1 = Bits(i, 22, 20), op2 = Bits(i, 7, 4), n = Bits(i, 19, 16),
                   lo = Bits(i, 15, 12), hi = Bits(i, 11, 8), m = Bits(i, 3, 0);
    const uint32_t x = c.FR[n], y = c.FR[m];
    if (op2 == 0xF && (op1 == 1 || op1 == 3)) {
      if (lo != 0xF)
        return Undefined(c, i);
      // Division by zero gives 0: DIV_0_TRP is not modelled.
      uint32_t quotient = 0;
      if (y != 0) {
        if (op1 == 3)
          quotient = x / y;
        else if (x == 0x80000000u && y == 0xFFFFFFFFu)
          quotient = x;
        else
          quotient = uint32_t(int32_t(x) / int32_t(y));
      }
      SetReg(c, hi, quotient);
      return TStepResult::Executed;
    }
    if (op2 != 0)
      return Undefined(c, i);
    uint64_t result;
    switch (op1) {
    case 0:
      result = uint64_t(int64_t(int32_t(x)) * int32_t(y));
      break; // SMULL
    case 2:
      result = uint64_t(x) * y;
      break; // UMULL
    case 4:  // SMLAL
      result = uint64_t(int64_t(int32_t(x)) * int32_t(y)) + ((uint64_t(c.FR[hi]) << 32) | c.FR[lo]);
      break;
    case 6:
      result = uint64_t(x) * y + ((uint64_t(c.FR[hi]) << 32) | c.FR[lo]);
      break; // UMLAL
    default:
      return Undefined(c, i);
    }
    SetReg(c, lo, uint32_t(result));
    SetReg(c, hi, uint32_t(result >> 32));
    return TStepResult::Executed;
  }

  static TStepResult Coprocessor32(TCore& c, uint32_t) {
    return Fail(c, TFaultKind::NoCoprocessor, c.FR[15]);
  }

  static constexpr TRow kRows32[] = {
      {0xFE400000, 0xE8000000, LoadStoreMultiple32},
      {0xFE400000, 0xE8400000, DualExclusiveTable32},
      {0xFE000000, 0xEA000000, ShiftedRegister32},
      {0xEC000000, 0xEC000000, Coprocessor32},
      {0xFA008000, 0xF0000000, ModifiedImmediate32},
      {0xFA008000, 0xF2000000, PlainImmediate32},
      {0xF8008000, 0xF0008000, BranchMisc32},
      {0xFE000000, 0xF8000000, LoadStoreSingle32},
      {0xFF000000, 0xFA000000, RegisterDataProcessing32},
      {0xFF800000, 0xFB000000, Multiply32},
      {0xFF800000, 0xFB800000, LongMultiplyDivide32},
  };

  static TStepResult Execute32(TCore& c, uint32_t i) {
    for (const TRow& row : kRows32)
      if ((i & row.Mask) == row.Match)
        return row.Handler(c, i);
    return Undefined(c, i);
  }
};

void TThumbCore::SelectStack() {
  const bool process = UsingProcessStack();
  if (process == FUsingPsp)
    return;
  if (process) {
    FMsp = FR[13];
    FR[13] = FPsp;
  } else {
    FPsp = FR[13];
    FR[13] = FMsp;
  }
  FUsingPsp = process;
}

bool TThumbCore::Reset() {
  uint32_t sp = 0, pc = 0;
  if (!FBus.Read(0, 4, sp) || !FBus.Read(4, 4, pc))
    return false;
  for (auto& r : FR)
    r = 0;
  FMsp = sp & ~3u;
  FPsp = 0;
  FUsingPsp = false;
  FR[13] = FMsp;
  FR[14] = 0xFFFFFFFF;
  FR[15] = pc & ~1u;
  FN = FZ = FC = FV = FQ = false;
  FThumb = (pc & 1u) != 0;
  FIt = 0;
  FIpsr = 0;
  FControl = FFaultMask = FBasePri = FPriMask = 0;
  FExclusiveOpen = false;
  FEventRegister = false;
  FLastFaultKind = TFaultKind::None;
  return true;
}

unsigned TThumbCore::InstructionLengthAt(uint32_t AAddress) const {
  uint32_t half = 0;
  if (!FBus.Read(AAddress, 2, half))
    return 0;
  const uint32_t top = (half >> 11) & 0x1F;
  return (top == 0x1D || top == 0x1E || top == 0x1F) ? 4 : 2;
}

TThumbCore::TStepResult TThumbCore::Step() {
  const uint32_t pc = FR[15];
  if (!FThumb)
    return TThumbExec::Fail(*this, TFaultKind::InvalidState, pc);
  uint32_t first = 0;
  if (!FBus.Read(pc, 2, first))
    return TThumbExec::Fail(*this, TFaultKind::InstructionBusError, pc);
  first &= 0xFFFF;
  const uint32_t top = first >> 11;
  const bool wide = top == 0x1D || top == 0x1E || top == 0x1F;
  uint32_t instruction = first;
  if (wide) {
    uint32_t second = 0;
    if (!FBus.Read(pc + 2, 2, second))
      return TThumbExec::Fail(*this, TFaultKind::InstructionBusError, pc + 2);
    instruction = (first << 16) | (second & 0xFFFF);
  }
  FNextPc = pc + (wide ? 4 : 2);

  const bool inIt = InItBlock();
  TStepResult result = TStepResult::Executed;
  // BKPT executes whatever its IT condition says.
  const bool breakpoint = !wide && (first & 0xFF00) == 0xBE00;
  if (!inIt || breakpoint || TThumbExec::ConditionPassed(*this, FIt >> 4)) {
    result = wide ? TThumbExec::Execute32(*this, instruction)
                  : TThumbExec::Execute16(*this, instruction);
    if (result == TStepResult::Fault || result == TStepResult::Breakpoint)
      return result;
  }
  if (inIt)
    FIt = (FIt & 7) == 0 ? 0 : uint8_t((FIt & 0xE0) | ((FIt << 1) & 0x1F));
  FR[15] = FNextPc;
  ++FExecutedCount;
  return result;
}

uint32_t TThumbCore::ReadRegister(unsigned ASelector) const {
  if (ASelector <= 15)
    return FR[ASelector];
  switch (ASelector) {
  case XPSR:
    return (uint32_t(FN) << 31) | (uint32_t(FZ) << 30) | (uint32_t(FC) << 29) |
           (uint32_t(FV) << 28) | (uint32_t(FQ) << 27) | (uint32_t(FIt & 3) << 25) |
           (uint32_t(FThumb) << 24) | (uint32_t(FIt >> 2) << 10) | FIpsr;
  case MSP:
    return FUsingPsp ? FMsp : FR[13];
  case PSP:
    return FUsingPsp ? FR[13] : FPsp;
  case SpecialRegs:
    return (uint32_t(FControl) << 24) | (uint32_t(FFaultMask) << 16) | (uint32_t(FBasePri) << 8) |
           FPriMask;
  default:
    return 0;
  }
}

void TThumbCore::WriteRegister(unsigned ASelector, uint32_t AValue) {
  if (ASelector <= 12 || ASelector == 14) {
    FR[ASelector] = AValue;
    return;
  }
  switch (ASelector) {
  case SP:
    FR[13] = AValue & ~3u;
    break;
  case DebugReturnAddress:
    FR[15] = AValue & ~1u;
    break;
  case XPSR:
    FN = Bit(AValue, 31);
    FZ = Bit(AValue, 30);
    FC = Bit(AValue, 29);
    FV = Bit(AValue, 28);
    FQ = Bit(AValue, 27);
    FThumb = Bit(AValue, 24);
    FIt = uint8_t((Bits(AValue, 15, 10) << 2) | Bits(AValue, 26, 25));
    FIpsr = uint16_t(AValue & 0x1FF);
    SelectStack();
    break;
  case MSP:
    (FUsingPsp ? FMsp : FR[13]) = AValue & ~3u;
    break;
  case PSP:
    (FUsingPsp ? FR[13] : FPsp) = AValue & ~3u;
    break;
  case SpecialRegs:
    FControl = (AValue >> 24) & 3;
    FFaultMask = (AValue >> 16) & 1;
    FBasePri = (AValue >> 8) & 0xFF;
    FPriMask = AValue & 1;
    SelectStack();
    break;
  default:
    break;
  }
}
