#include "thumb-text.h"

#include <cstdarg>
#include <cstdio>

namespace {

using std::string;
using std::uint32_t;

uint32_t Bits(uint32_t AValue, unsigned AHigh, unsigned ALow) {
  return (AValue >> ALow) & (0xFFFFFFFFu >> (31 - (AHigh - ALow)));
}

uint32_t SignExtend(uint32_t AValue, unsigned ABits) {
  const uint32_t sign = 1u << (ABits - 1);
  return (AValue ^ sign) - sign;
}

string Format(const char* AFormat, ...) {
  char text[128];
  va_list args;
  va_start(args, AFormat);
  std::vsnprintf(text, sizeof text, AFormat, args);
  va_end(args);
  return text;
}

constexpr const char* kRegisters[16] = {"r0", "r1", "r2",  "r3",  "r4",  "r5", "r6", "r7",
                                        "r8", "r9", "r10", "r11", "r12", "sp", "lr", "pc"};
constexpr const char* kConditions[16] = {"eq", "ne", "cs", "cc", "mi", "pl", "vs", "vc",
                                         "hi", "ls", "ge", "lt", "gt", "le", "",   ""};
constexpr const char* kShifts[4] = {"lsl", "lsr", "asr", "ror"};

const char* R(uint32_t AIndex) {
  return kRegisters[AIndex & 15];
}

// An immediate operand: decimal while it reads well so, else hexadecimal.
string Immediate(uint32_t AValue) {
  return AValue <= 0xFFFF ? Format("%u", AValue) : Format("0x%x", AValue);
}

string Target(uint32_t AAddress) {
  return Format("0x%08x", AAddress);
}

string RegisterList(uint32_t AMask) {
  string text = "{";
  for (unsigned i = 0; i < 16; ++i) {
    if (!(AMask & (1u << i)))
      continue;
    if (text.size() > 1)
      text += ", ";
    text += R(i);
  }
  return text + "}";
}

string Undefined16(uint32_t AHalf) {
  return Format(".short 0x%04x", AHalf);
}

// ---- 16-bit encodings -------------------------------------------------------

struct TContext {
  uint32_t Address;
  uint32_t I; // the halfword, or both halfwords first-half-high
};

string Pc4(const TContext& c, uint32_t AOffset) {
  return Target(((c.Address + 4) & ~3u) + AOffset);
}

string ShiftImmediate16(const TContext& c) {
  const uint32_t op = Bits(c.I, 12, 11), imm = Bits(c.I, 10, 6);
  const uint32_t m = Bits(c.I, 5, 3), d = Bits(c.I, 2, 0);
  if (op == 0 && imm == 0)
    return Format("movs %s, %s", R(d), R(m));
  return Format("%ss %s, %s, #%u", kShifts[op], R(d), R(m), op != 0 && imm == 0 ? 32 : imm);
}

string AddSub16(const TContext& c) {
  const bool immediate = Bits(c.I, 10, 10), sub = Bits(c.I, 9, 9);
  const uint32_t x = Bits(c.I, 8, 6), n = Bits(c.I, 5, 3), d = Bits(c.I, 2, 0);
  if (immediate)
    return Format("%s %s, %s, #%u", sub ? "subs" : "adds", R(d), R(n), x);
  return Format("%s %s, %s, %s", sub ? "subs" : "adds", R(d), R(n), R(x));
}

string Immediate8(const TContext& c) {
  static constexpr const char* kOps[4] = {"movs", "cmp", "adds", "subs"};
  return Format("%s %s, #%u", kOps[Bits(c.I, 12, 11)], R(Bits(c.I, 10, 8)), Bits(c.I, 7, 0));
}

string DataProcessing16(const TContext& c) {
  static constexpr const char* kOps[16] = {"ands", "eors", "lsls", "lsrs", "asrs", "adcs",
                                           "sbcs", "rors", "tst",  "rsbs", "cmp",  "cmn",
                                           "orrs", "muls", "bics", "mvns"};
  const uint32_t op = Bits(c.I, 9, 6), m = Bits(c.I, 5, 3), dn = Bits(c.I, 2, 0);
  if (op == 9)
    return Format("rsbs %s, %s, #0", R(dn), R(m));
  if (op == 13)
    return Format("muls %s, %s, %s", R(dn), R(m), R(dn));
  return Format("%s %s, %s", kOps[op], R(dn), R(m));
}

string SpecialData16(const TContext& c) {
  const uint32_t op = Bits(c.I, 9, 8), m = Bits(c.I, 6, 3);
  const uint32_t dn = (Bits(c.I, 7, 7) << 3) | Bits(c.I, 2, 0);
  switch (op) {
  case 0:
    return Format("add %s, %s", R(dn), R(m));
  case 1:
    return Format("cmp %s, %s", R(dn), R(m));
  case 2:
    return Format("mov %s, %s", R(dn), R(m));
  default:
    return Format("%s %s", Bits(c.I, 7, 7) ? "blx" : "bx", R(m));
  }
}

string LoadLiteral16(const TContext& c) {
  return Format("ldr %s, [pc, #%u] ; %s", R(Bits(c.I, 10, 8)), Bits(c.I, 7, 0) * 4,
                Pc4(c, Bits(c.I, 7, 0) * 4).c_str());
}

string RegisterOffset16(const TContext& c) {
  static constexpr const char* kOps[8] = {"str", "strh", "strb", "ldrsb",
                                          "ldr", "ldrh", "ldrb", "ldrsh"};
  return Format("%s %s, [%s, %s]", kOps[Bits(c.I, 11, 9)], R(Bits(c.I, 2, 0)), R(Bits(c.I, 5, 3)),
                R(Bits(c.I, 8, 6)));
}

string ImmediateOffset16(const TContext& c) {
  const uint32_t kind = Bits(c.I, 15, 12); // 0110 word, 0111 byte, 1000 halfword
  const bool load = Bits(c.I, 11, 11);
  const uint32_t scale = kind == 6 ? 4 : kind == 7 ? 1 : 2;
  const char* suffix = kind == 6 ? "" : kind == 7 ? "b" : "h";
  return Format("%s%s %s, [%s, #%u]", load ? "ldr" : "str", suffix, R(Bits(c.I, 2, 0)),
                R(Bits(c.I, 5, 3)), Bits(c.I, 10, 6) * scale);
}

string SpRelative16(const TContext& c) {
  return Format("%s %s, [sp, #%u]", Bits(c.I, 11, 11) ? "ldr" : "str", R(Bits(c.I, 10, 8)),
                Bits(c.I, 7, 0) * 4);
}

string AddressGeneration16(const TContext& c) {
  const uint32_t d = Bits(c.I, 10, 8), imm = Bits(c.I, 7, 0) * 4;
  if (Bits(c.I, 11, 11))
    return Format("add %s, sp, #%u", R(d), imm);
  return Format("adr %s, %s", R(d), Pc4(c, imm).c_str());
}

string AdjustSp16(const TContext& c) {
  return Format("%s sp, #%u", Bits(c.I, 7, 7) ? "sub" : "add", Bits(c.I, 6, 0) * 4);
}

string CompareBranch16(const TContext& c) {
  const uint32_t offset = (Bits(c.I, 9, 9) << 6) | (Bits(c.I, 7, 3) << 1);
  return Format("%s %s, %s", Bits(c.I, 11, 11) ? "cbnz" : "cbz", R(Bits(c.I, 2, 0)),
                Target(c.Address + 4 + offset).c_str());
}

string Extend16(const TContext& c) {
  static constexpr const char* kOps[4] = {"sxth", "sxtb", "uxth", "uxtb"};
  return Format("%s %s, %s", kOps[Bits(c.I, 7, 6)], R(Bits(c.I, 2, 0)), R(Bits(c.I, 5, 3)));
}

string Push16(const TContext& c) {
  return "push " + RegisterList(Bits(c.I, 7, 0) | (Bits(c.I, 8, 8) << 14));
}

string Pop16(const TContext& c) {
  return "pop " + RegisterList(Bits(c.I, 7, 0) | (Bits(c.I, 8, 8) << 15));
}

string ChangeState16(const TContext& c) {
  string flags = Bits(c.I, 1, 1) ? "i" : "";
  if (Bits(c.I, 0, 0))
    flags += "f";
  return Format("cps%s %s", Bits(c.I, 4, 4) ? "id" : "ie", flags.c_str());
}

string Reverse16(const TContext& c) {
  static constexpr const char* kOps[4] = {"rev", "rev16", nullptr, "revsh"};
  const char* op = kOps[Bits(c.I, 7, 6)];
  if (!op)
    return Undefined16(c.I);
  return Format("%s %s, %s", op, R(Bits(c.I, 2, 0)), R(Bits(c.I, 5, 3)));
}

string Breakpoint16(const TContext& c) {
  return Format("bkpt 0x%04x", Bits(c.I, 7, 0));
}

string IfThen16(const TContext& c) {
  static constexpr const char* kHints[5] = {"nop", "yield", "wfe", "wfi", "sev"};
  const uint32_t first = Bits(c.I, 7, 4), mask = Bits(c.I, 3, 0);
  if (mask == 0)
    return first < 5 ? kHints[first] : "nop";
  // The then/else pattern: each mask bit above the lowest set one names the
  // next instruction's condition as the first's (then) or its inverse (else).
  string pattern;
  unsigned lowest = 0;
  while (!(mask & (1u << lowest)))
    ++lowest;
  for (unsigned bit = 3; bit > lowest; --bit)
    pattern += ((mask >> bit) & 1) == (first & 1) ? "t" : "e";
  return Format("it%s %s", pattern.c_str(), kConditions[first]);
}

string Multiple16(const TContext& c) {
  const bool load = Bits(c.I, 11, 11);
  const uint32_t n = Bits(c.I, 10, 8), list = Bits(c.I, 7, 0);
  // A load whose list holds the base leaves the loaded value, not a write-back.
  const bool writeBack = !load || !(list & (1u << n));
  return Format("%s %s%s, %s", load ? "ldmia" : "stmia", R(n), writeBack ? "!" : "",
                RegisterList(list).c_str());
}

string ConditionalBranch16(const TContext& c) {
  const uint32_t cond = Bits(c.I, 11, 8);
  if (cond == 14)
    return Format("udf #%u", Bits(c.I, 7, 0));
  if (cond == 15)
    return Format("svc #%u", Bits(c.I, 7, 0));
  const uint32_t target = c.Address + 4 + SignExtend(Bits(c.I, 7, 0) << 1, 9);
  return Format("b%s %s", kConditions[cond], Target(target).c_str());
}

string Branch16(const TContext& c) {
  return "b " + Target(c.Address + 4 + SignExtend(Bits(c.I, 10, 0) << 1, 12));
}

struct TRow {
  uint32_t Mask, Match;
  string (*Text)(const TContext&);
};

constexpr TRow kRows16[] = {
    {0xE000, 0x0000, ShiftImmediate16}, // ADD/SUB (0x1800) is picked out before
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
    {0xFFEC, 0xB660, ChangeState16},
    {0xFF00, 0xBA00, Reverse16},
    {0xFE00, 0xBC00, Pop16},
    {0xFF00, 0xBE00, Breakpoint16},
    {0xFF00, 0xBF00, IfThen16},
    {0xF000, 0xC000, Multiple16},
    {0xF000, 0xD000, ConditionalBranch16},
    {0xF800, 0xE000, Branch16},
};

string Text16(const TContext& c) {
  if ((c.I & 0xF800) == 0x1800)
    return AddSub16(c);
  for (const TRow& row : kRows16)
    if ((c.I & row.Mask) == row.Match)
      return row.Text(c);
  return Undefined16(c.I);
}

// ---- 32-bit encodings -------------------------------------------------------

string Undefined32(const TContext& c) {
  return Format(".word 0x%08x", c.I);
}

uint32_t ExpandImmediate(uint32_t AImm12) {
  const uint32_t imm8 = AImm12 & 0xFF;
  if ((AImm12 >> 10) == 0) {
    static constexpr uint32_t kSplat[4] = {1, 0x00010001u, 0x01000100u, 0x01010101u};
    return imm8 * kSplat[(AImm12 >> 8) & 3];
  }
  const uint32_t value = 0x80 | (AImm12 & 0x7F);
  const unsigned rotate = AImm12 >> 7;
  return (value >> rotate) | (value << (32 - rotate));
}

// The data-processing operations of the modified-immediate and the
// shifted-register forms: the name, and the name of the form without a
// destination (Rd = PC with S) or without a first operand (Rn = PC).
struct TDataOp {
  const char* Name;
  const char* NoDestination;
  const char* NoFirst;
};

constexpr TDataOp kDataOps[16] = {
    {"and", "tst", nullptr},     {"bic", nullptr, nullptr},   {"orr", nullptr, "mov"},
    {"orn", nullptr, "mvn"},     {"eor", "teq", nullptr},     {nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr}, {nullptr, nullptr, nullptr}, {"add", "cmn", nullptr},
    {nullptr, nullptr, nullptr}, {"adc", nullptr, nullptr},   {"sbc", nullptr, nullptr},
    {nullptr, nullptr, nullptr}, {"sub", "cmp", nullptr},     {"rsb", nullptr, nullptr},
    {nullptr, nullptr, nullptr}};

string DataOperation(const TContext& c, const string& AOperand2) {
  const uint32_t op = Bits(c.I, 24, 21), s = Bits(c.I, 20, 20);
  const uint32_t n = Bits(c.I, 19, 16), d = Bits(c.I, 11, 8);
  const TDataOp& row = kDataOps[op];
  if (!row.Name)
    return Undefined32(c);
  if (row.NoDestination && d == 15 && s)
    return Format("%s.w %s, %s", row.NoDestination, R(n), AOperand2.c_str());
  const char* suffix = s ? "s" : "";
  if (row.NoFirst && n == 15)
    return Format("%s%s.w %s, %s", row.NoFirst, suffix, R(d), AOperand2.c_str());
  return Format("%s%s.w %s, %s, %s", row.Name, suffix, R(d), R(n), AOperand2.c_str());
}

string ModifiedImmediate32(const TContext& c) {
  const uint32_t imm12 = (Bits(c.I, 26, 26) << 11) | (Bits(c.I, 14, 12) << 8) | Bits(c.I, 7, 0);
  return DataOperation(c, "#" + Immediate(ExpandImmediate(imm12)));
}

string ShiftText(uint32_t AType, uint32_t AAmount) {
  if (AType == 0 && AAmount == 0)
    return "";
  if (AType == 3 && AAmount == 0)
    return ", rrx";
  return Format(", %s #%u", kShifts[AType], AType != 0 && AAmount == 0 ? 32 : AAmount);
}

string ShiftedRegister32(const TContext& c) {
  const uint32_t amount = (Bits(c.I, 14, 12) << 2) | Bits(c.I, 7, 6);
  const uint32_t type = Bits(c.I, 5, 4), m = Bits(c.I, 3, 0);
  // MOV with a shift is the shift instruction itself.
  if (Bits(c.I, 24, 21) == 2 && Bits(c.I, 19, 16) == 15 && !(type == 0 && amount == 0)) {
    const char* s = Bits(c.I, 20, 20) ? "s" : "";
    const uint32_t d = Bits(c.I, 11, 8);
    if (type == 3 && amount == 0)
      return Format("rrx%s.w %s, %s", s, R(d), R(m));
    return Format("%s%s.w %s, %s, #%u", kShifts[type], s, R(d), R(m),
                  type != 0 && amount == 0 ? 32 : amount);
  }
  return DataOperation(c, R(m) + ShiftText(type, amount));
}

string PlainImmediate32(const TContext& c) {
  const uint32_t op = Bits(c.I, 24, 20), n = Bits(c.I, 19, 16), d = Bits(c.I, 11, 8);
  const uint32_t imm12 = (Bits(c.I, 26, 26) << 11) | (Bits(c.I, 14, 12) << 8) | Bits(c.I, 7, 0);
  const uint32_t imm16 = (n << 12) | imm12;
  const uint32_t lsb = (Bits(c.I, 14, 12) << 2) | Bits(c.I, 7, 6), bit4 = Bits(c.I, 4, 0);
  switch (op) {
  case 0x00:
    if (n == 15)
      return Format("adr.w %s, %s", R(d), Target(((c.Address + 4) & ~3u) + imm12).c_str());
    return Format("addw %s, %s, #%u", R(d), R(n), imm12);
  case 0x0A:
    if (n == 15)
      return Format("adr.w %s, %s", R(d), Target(((c.Address + 4) & ~3u) - imm12).c_str());
    return Format("subw %s, %s, #%u", R(d), R(n), imm12);
  case 0x04:
    return Format("movw %s, #%u", R(d), imm16);
  case 0x0C:
    return Format("movt %s, #%u", R(d), imm16);
  case 0x10:
  case 0x12:
    return Format("ssat %s, #%u, %s%s", R(d), bit4 + 1, R(n),
                  ShiftText(Bits(c.I, 21, 21) << 1, lsb).c_str());
  case 0x18:
  case 0x1A:
    return Format("usat %s, #%u, %s%s", R(d), bit4, R(n),
                  ShiftText(Bits(c.I, 21, 21) << 1, lsb).c_str());
  case 0x14:
    return Format("sbfx %s, %s, #%u, #%u", R(d), R(n), lsb, bit4 + 1);
  case 0x1C:
    return Format("ubfx %s, %s, #%u, #%u", R(d), R(n), lsb, bit4 + 1);
  case 0x16:
    if (n == 15)
      return Format("bfc %s, #%u, #%u", R(d), lsb, bit4 + 1 - lsb);
    return Format("bfi %s, %s, #%u, #%u", R(d), R(n), lsb, bit4 + 1 - lsb);
  default:
    return Undefined32(c);
  }
}

string SpecialRegister(uint32_t ASysm) {
  struct TName {
    uint32_t Sysm;
    const char* Name;
  };
  static constexpr TName kNames[] = {
      {0, "apsr"},     {1, "iapsr"},        {2, "eapsr"},      {3, "xpsr"},    {5, "ipsr"},
      {6, "epsr"},     {7, "iepsr"},        {8, "msp"},        {9, "psp"},     {16, "primask"},
      {17, "basepri"}, {18, "basepri_max"}, {19, "faultmask"}, {20, "control"}};
  for (const TName& name : kNames)
    if (name.Sysm == ASysm)
      return name.Name;
  return Format("sysm%u", ASysm);
}

string BranchMisc32(const TContext& c) {
  const uint32_t op1 = Bits(c.I, 14, 12), op = Bits(c.I, 26, 20);
  const uint32_t s = Bits(c.I, 26, 26), j1 = Bits(c.I, 13, 13), j2 = Bits(c.I, 11, 11);
  if (op1 & 1) { // B.W and BL: a 25-bit offset
    const uint32_t i1 = !(j1 ^ s), i2 = !(j2 ^ s);
    const uint32_t offset = SignExtend((s << 24) | (i1 << 23) | (i2 << 22) |
                                           (Bits(c.I, 25, 16) << 12) | (Bits(c.I, 10, 0) << 1),
                                       25);
    return Format("%s %s", (op1 & 4) ? "bl" : "b.w", Target(c.Address + 4 + offset).c_str());
  }
  if (op1 == 0 || op1 == 2) {
    if ((op & 0x38) != 0x38) { // conditional branch: a 21-bit offset
      const uint32_t offset = SignExtend((s << 20) | (j2 << 19) | (j1 << 18) |
                                             (Bits(c.I, 21, 16) << 12) | (Bits(c.I, 10, 0) << 1),
                                         21);
      return Format("b%s.w %s", kConditions[Bits(c.I, 25, 22)],
                    Target(c.Address + 4 + offset).c_str());
    }
    switch (op) {
    case 0x38:
    case 0x39:
      return Format("msr %s, %s", SpecialRegister(Bits(c.I, 7, 0)).c_str(), R(Bits(c.I, 19, 16)));
    case 0x3A: {
      static constexpr const char* kHints[5] = {"nop.w", "yield.w", "wfe.w", "wfi.w", "sev.w"};
      return Bits(c.I, 7, 0) < 5 ? kHints[Bits(c.I, 7, 0)] : "nop.w";
    }
    case 0x3B: {
      static constexpr const char* kBarriers[8] = {nullptr, nullptr, "clrex", nullptr,
                                                   "dsb",   "dmb",   "isb",   nullptr};
      const char* name = kBarriers[Bits(c.I, 6, 4)];
      if (!name)
        return Undefined32(c);
      return Bits(c.I, 6, 4) == 2 ? string(name) : Format("%s sy", name);
    }
    case 0x3E:
    case 0x3F:
      return Format("mrs %s, %s", R(Bits(c.I, 11, 8)), SpecialRegister(Bits(c.I, 7, 0)).c_str());
    default:
      break;
    }
  }
  if (op1 == 2 && op == 0x7F)
    return Format("udf.w #%u", (Bits(c.I, 19, 16) << 12) | Bits(c.I, 11, 0));
  return Undefined32(c);
}

string LoadStoreMultiple32(const TContext& c) {
  const uint32_t op = Bits(c.I, 24, 23), w = Bits(c.I, 21, 21), load = Bits(c.I, 20, 20);
  const uint32_t n = Bits(c.I, 19, 16), list = Bits(c.I, 15, 0);
  if (n == 13 && w && ((op == 1 && load) || (op == 2 && !load)))
    return Format("%s.w %s", load ? "pop" : "push", RegisterList(list).c_str());
  if (op != 1 && op != 2)
    return Undefined32(c);
  const char* name = op == 1 ? (load ? "ldmia" : "stmia") : (load ? "ldmdb" : "stmdb");
  return Format("%s.w %s%s, %s", name, R(n), w ? "!" : "", RegisterList(list).c_str());
}

string Offset8(uint32_t AImm8, bool AAdd) {
  return Format("#%s%u", AAdd ? "" : "-", AImm8);
}

string DualExclusiveTable32(const TContext& c) {
  const uint32_t op1 = Bits(c.I, 24, 23), op2 = Bits(c.I, 21, 20), op3 = Bits(c.I, 7, 4);
  const uint32_t n = Bits(c.I, 19, 16), t = Bits(c.I, 15, 12), t2 = Bits(c.I, 11, 8);
  if (op1 == 0 && op2 == 0)
    return Format("strex %s, %s, [%s, #%u]", R(t2), R(t), R(n), Bits(c.I, 7, 0) * 4);
  if (op1 == 0 && op2 == 1)
    return Format("ldrex %s, [%s, #%u]", R(t), R(n), Bits(c.I, 7, 0) * 4);
  if (op1 == 1 && op2 == 1) {
    if (op3 == 0)
      return Format("tbb [%s, %s]", R(n), R(Bits(c.I, 3, 0)));
    if (op3 == 1)
      return Format("tbh [%s, %s, lsl #1]", R(n), R(Bits(c.I, 3, 0)));
    if (op3 == 4 || op3 == 5)
      return Format("ldrex%s %s, [%s]", op3 == 4 ? "b" : "h", R(t), R(n));
  }
  if (op1 == 1 && op2 == 0 && (op3 == 4 || op3 == 5))
    return Format("strex%s %s, %s, [%s]", op3 == 4 ? "b" : "h", R(Bits(c.I, 3, 0)), R(t), R(n));
  if ((op1 & 2) || (op2 & 2)) { // LDRD / STRD
    const bool p = Bits(c.I, 24, 24), u = Bits(c.I, 23, 23), w = Bits(c.I, 21, 21);
    const char* name = Bits(c.I, 20, 20) ? "ldrd" : "strd";
    const string offset = Offset8(Bits(c.I, 7, 0) * 4, u);
    if (!p)
      return Format("%s %s, %s, [%s], %s", name, R(t), R(t2), R(n), offset.c_str());
    return Format("%s %s, %s, [%s, %s]%s", name, R(t), R(t2), R(n), offset.c_str(), w ? "!" : "");
  }
  return Undefined32(c);
}

string LoadStoreSingle32(const TContext& c) {
  // size: 0 byte, 1 halfword, 2 word; bit 24 signed
  const uint32_t size = Bits(c.I, 22, 21), load = Bits(c.I, 20, 20), sign = Bits(c.I, 24, 24);
  const uint32_t n = Bits(c.I, 19, 16), t = Bits(c.I, 15, 12);
  if (size == 3 || (sign && !load))
    return Undefined32(c);
  if (load && t == 15 && size != 2)
    return "pld"; // preload hints: no effect on the core
  static constexpr const char* kSize[3] = {"b", "h", ""};
  const string name = string(load ? "ldr" : "str") + (sign ? "s" : "") + kSize[size];
  if (n == 15 && load) {
    const uint32_t imm = Bits(c.I, 11, 0);
    const uint32_t base = (c.Address + 4) & ~3u;
    return Format("%s.w %s, [pc, #%s%u] ; %s", name.c_str(), R(t), Bits(c.I, 23, 23) ? "" : "-",
                  imm, Target(Bits(c.I, 23, 23) ? base + imm : base - imm).c_str());
  }
  if (Bits(c.I, 23, 23))
    return Format("%s.w %s, [%s, #%u]", name.c_str(), R(t), R(n), Bits(c.I, 11, 0));
  if (Bits(c.I, 11, 6) == 0)
    return Format("%s.w %s, [%s, %s%s]", name.c_str(), R(t), R(n), R(Bits(c.I, 3, 0)),
                  Bits(c.I, 5, 4) ? Format(", lsl #%u", Bits(c.I, 5, 4)).c_str() : "");
  const uint32_t puw = Bits(c.I, 10, 8), imm8 = Bits(c.I, 7, 0);
  const bool add = puw & 2;
  if (puw == 6)
    return Format("%st %s, [%s, #%u]", name.c_str(), R(t), R(n), imm8);
  if (puw & 4)
    return Format("%s %s, [%s, %s]%s", name.c_str(), R(t), R(n), Offset8(imm8, add).c_str(),
                  (puw & 1) ? "!" : "");
  if (puw & 1)
    return Format("%s %s, [%s], %s", name.c_str(), R(t), R(n), Offset8(imm8, add).c_str());
  return Undefined32(c);
}

string RegisterDataProcessing32(const TContext& c) {
  const uint32_t op1 = Bits(c.I, 23, 20), op2 = Bits(c.I, 7, 4);
  const uint32_t n = Bits(c.I, 19, 16), d = Bits(c.I, 11, 8), m = Bits(c.I, 3, 0);
  if ((op1 & 8) == 0 && op2 == 0)
    return Format("%s%s.w %s, %s, %s", kShifts[op1 >> 1], (op1 & 1) ? "s" : "", R(d), R(n), R(m));
  if ((op1 & 8) == 0 && (op2 & 8) && n == 15) {
    static constexpr const char* kExtends[8] = {"sxth", nullptr, "uxth", nullptr,
                                                "sxtb", nullptr, "uxtb", nullptr};
    if (const char* name = kExtends[op1 & 7])
      return Format("%s.w %s, %s%s", name, R(d), R(m),
                    Bits(c.I, 5, 4) ? Format(", ror #%u", Bits(c.I, 5, 4) * 8).c_str() : "");
  }
  if (op1 == 9 && op2 >= 8 && op2 <= 11) {
    static constexpr const char* kOps[4] = {"rev.w", "rev16.w", "rbit", "revsh.w"};
    return Format("%s %s, %s", kOps[op2 - 8], R(d), R(m));
  }
  if (op1 == 11 && op2 == 8)
    return Format("clz %s, %s", R(d), R(m));
  return Undefined32(c);
}

string Multiply32(const TContext& c) {
  const uint32_t n = Bits(c.I, 19, 16), a = Bits(c.I, 15, 12), d = Bits(c.I, 11, 8);
  const uint32_t m = Bits(c.I, 3, 0);
  if (Bits(c.I, 22, 20) != 0 || Bits(c.I, 7, 5) != 0)
    return Undefined32(c);
  if (Bits(c.I, 4, 4))
    return Format("mls %s, %s, %s, %s", R(d), R(n), R(m), R(a));
  if (a == 15)
    return Format("mul.w %s, %s, %s", R(d), R(n), R(m));
  return Format("mla %s, %s, %s, %s", R(d), R(n), R(m), R(a));
}

string LongMultiplyDivide32(const TContext& c) {
  const uint32_t op1 = Bits(c.I, 22, 20), op2 = Bits(c.I, 7, 4);
  const uint32_t n = Bits(c.I, 19, 16), lo = Bits(c.I, 15, 12), hi = Bits(c.I, 11, 8);
  const uint32_t m = Bits(c.I, 3, 0);
  if ((op1 == 1 || op1 == 3) && op2 == 15)
    return Format("%s %s, %s, %s", op1 == 1 ? "sdiv" : "udiv", R(hi), R(n), R(m));
  if (op2 != 0)
    return Undefined32(c);
  static constexpr const char* kOps[8] = {"smull", nullptr, "umull", nullptr,
                                          "smlal", nullptr, "umlal", nullptr};
  if (!kOps[op1])
    return Undefined32(c);
  return Format("%s %s, %s, %s, %s", kOps[op1], R(lo), R(hi), R(n), R(m));
}

constexpr TRow kRows32[] = {
    {0xFE400000, 0xE8000000, LoadStoreMultiple32},
    {0xFE400000, 0xE8400000, DualExclusiveTable32},
    {0xFE000000, 0xEA000000, ShiftedRegister32},
    {0xFA008000, 0xF0000000, ModifiedImmediate32},
    {0xFA008000, 0xF2000000, PlainImmediate32},
    {0xF8008000, 0xF0008000, BranchMisc32},
    {0xFE000000, 0xF8000000, LoadStoreSingle32},
    {0xFF000000, 0xFA000000, RegisterDataProcessing32},
    {0xFF800000, 0xFB000000, Multiply32},
    {0xFF800000, 0xFB800000, LongMultiplyDivide32},
};

string Text32(const TContext& c) {
  for (const TRow& row : kRows32)
    if ((c.I & row.Mask) == row.Match)
      return row.Text(c);
  return Undefined32(c); // coprocessor encodings: a Cortex-M3 has none
}

} // namespace

TThumbText DecodeThumb(std::uint32_t AAddress, std::uint16_t AFirst, std::uint16_t ASecond) {
  if (!IsThumb32(AFirst))
    return {Text16({AAddress, AFirst}), 2};
  return {Text32({AAddress, (uint32_t(AFirst) << 16) | ASecond}), 4};
}
