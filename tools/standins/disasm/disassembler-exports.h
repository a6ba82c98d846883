#pragma once

// The entry points of a host disassembler library. All are plain C
// functions whose caller removes the arguments. DisassembleInstruction
// answers a text that stays valid until the next call: the address field,
// blanks, then the instruction.

#include <cstdint>

extern "C" {
// Called back for the instruction word at an address (its low and high
// halves); AContext is the caller's.
typedef std::uint32_t(__cdecl* TReadFunction)(std::uint32_t AAddressLow, std::uint32_t AAddressHigh,
                                              std::uint32_t AUnused, void* AContext);

void __cdecl InitDisassembler();
const char* __cdecl DisassembleInstruction(std::int32_t AOption, std::uint32_t* AAddress,
                                           TReadFunction ARead, void* AContext);
}
