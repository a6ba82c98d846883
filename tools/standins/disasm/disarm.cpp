// The stand-in for the host's ARM disassembler library. In Thumb mode it
// decodes the Thumb-2 instruction set a Cortex-M3 executes (the 16-bit
// Thumb instructions among it); ARM-mode words it tells as data. Switching
// to Thumb-2 is switching to Thumb mode. The caller's read function answers a Thumb halfword, or,
// from a Thumb-2 reader, both halves of a 32-bit instruction (first half high); the second half of
// a 32-bit instruction is otherwise read at address + 2.

#include "disassembler-exports.h"
#include "thumb-text.h"

#include <cstdio>
#include <string>

extern "C" {
void __cdecl SetReducedInstructionSet(std::int32_t AValue);
void __cdecl SetThumb2InstructionSet();
}

namespace {
bool Thumb = false;
std::string Text;
} // namespace

void __cdecl InitDisassembler() {
  Thumb = false;
}

void __cdecl SetReducedInstructionSet(std::int32_t AValue) {
  Thumb = AValue != 0;
}

void __cdecl SetThumb2InstructionSet() {
  Thumb = true;
}

const char* __cdecl DisassembleInstruction(std::int32_t, std::uint32_t* AAddress,
                                           TReadFunction ARead, void* AContext) {
  if (!AAddress || !ARead)
    return "";
  const std::uint32_t address = *AAddress;
  const std::uint32_t word = ARead(address, 0, 0, AContext);
  char field[16];
  std::snprintf(field, sizeof field, "%08X  ", unsigned(address));
  if (!Thumb) {
    char data[32];
    std::snprintf(data, sizeof data, ".word 0x%08x", unsigned(word));
    Text = std::string(field) + data;
    *AAddress = address + 4;
    return Text.c_str();
  }
  std::uint16_t first = std::uint16_t(word), second = 0;
  if (word > 0xFFFF) {
    first = std::uint16_t(word >> 16);
    second = std::uint16_t(word);
  } else if (IsThumb32(first)) {
    second = std::uint16_t(ARead(address + 2, 0, 0, AContext));
  }
  const TThumbText text = DecodeThumb(address, first, second);
  Text = std::string(field) + text.Text;
  *AAddress = address + text.Size;
  return Text.c_str();
}
