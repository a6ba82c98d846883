// The stand-in for the host's disassembler libraries of the cores the
// plug-in does not debug (8051, 165x, Z80, Trv, PowerPC, MicroBlaze,
// Nios II): it loads, answers, and tells the instruction word it was given
// as data, ORV_INSTRUCTION_BYTES wide.

#include "disassembler-exports.h"

#include <cstdio>

#ifndef ORV_INSTRUCTION_BYTES
#error "ORV_INSTRUCTION_BYTES names the width of one instruction word"
#endif

namespace {
char Text[64];
} // namespace

void __cdecl InitDisassembler() {
  Text[0] = '\0';
}

const char* __cdecl DisassembleInstruction(std::int32_t, std::uint32_t* AAddress,
                                           TReadFunction ARead, void* AContext) {
  if (!AAddress || !ARead)
    return "";
  const std::uint32_t word = ARead(*AAddress, 0, 0, AContext);
  static constexpr const char* kDirective = ORV_INSTRUCTION_BYTES == 1   ? "db"
                                            : ORV_INSTRUCTION_BYTES == 2 ? "dw"
                                                                         : "dd";
  std::snprintf(Text, sizeof Text, "%08X  %s 0x%0*X", unsigned(*AAddress), kDirective,
                ORV_INSTRUCTION_BYTES * 2, unsigned(word));
  *AAddress += ORV_INSTRUCTION_BYTES;
  return Text;
}
