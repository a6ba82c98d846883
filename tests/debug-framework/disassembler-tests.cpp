// One-line disassembly through the disassembler libraries of the plug-in's
// folder (the stand-ins built beside the test programs): which adapter a
// target name selects, how each assembles its instruction word, what the
// libraries answer, the cache, and reads outside the instruction bytes.

#include "disassembler.h"

#include "arm-instrument-form.h"
#include "host-utilities.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<std::uint32_t>;

// The instruction at AAddress of a Cortex-M3 target (little-endian Thumb).
std::string Thumb(const TBytes& ABytes, std::uint32_t AAddress = 0x100) {
  const std::wstring text = TOneLineDisassembler::GetDisassembly(
      L"Stellaris", ABytes.data(), ABytes.size(), AAddress, true, true);
  return std::string(text.begin(), text.end());
}

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

// An adapter over a block, for its instruction words.
struct TAdapter {
  TAdapter(const wchar_t* ATarget, const TBytes& ABytes, std::uint64_t ABase,
           const std::wstring& ABasePath = std::wstring())
      : Bytes(ABytes), Reader(Bytes.data(), Bytes.size(), ABase),
        Disassembler(TRawDisassembler::CreateInstance(ATarget, &Reader, ABasePath)) {}
  TRawDisassembler& Raw() { return dynamic_cast<TRawDisassembler&>(*Disassembler); }
  TBytes Bytes;
  TMemoryReader Reader;
  std::unique_ptr<IRawDisassembler> Disassembler;
};

// The instructions the simulated Cortex-M3 executes, as the ARM library
// spells them; branch targets are absolute.
TEST(DisassemblerThumb, CortexM3InstructionsReadAsAssembler) {
  struct TCase {
    TBytes Bytes; // little-endian halfwords
    const char* Text;
  };
  const TCase cases[] = {
      {{0x01, 0x20}, "movs r0, #1"},
      {{0x08, 0x46}, "mov r0, r1"},
      {{0x48, 0x1C}, "adds r0, r1, #1"},
      {{0x88, 0x18}, "adds r0, r1, r2"},
      {{0x01, 0x30}, "adds r0, #1"},
      {{0x89, 0x00}, "lsls r1, r1, #2"},
      {{0x08, 0x40}, "ands r0, r1"},
      {{0x48, 0x42}, "rsbs r0, r1, #0"},
      {{0x48, 0x43}, "muls r0, r1, r0"},
      {{0x70, 0x47}, "bx lr"},
      {{0x88, 0x47}, "blx r1"},
      {{0x00, 0xBF}, "nop"},
      {{0x30, 0xBF}, "wfi"},
      {{0x01, 0x49}, "ldr r1, [pc, #4] ; 0x00000108"},
      {{0x48, 0x68}, "ldr r0, [r1, #4]"},
      {{0x08, 0x70}, "strb r0, [r1, #0]"},
      {{0x48, 0x80}, "strh r0, [r1, #2]"},
      {{0x88, 0x58}, "ldr r0, [r1, r2]"},
      {{0x01, 0x90}, "str r0, [sp, #4]"},
      {{0x10, 0xB5}, "push {r4, lr}"},
      {{0x10, 0xBD}, "pop {r4, pc}"},
      {{0x82, 0xB0}, "sub sp, #8"},
      {{0x06, 0xC8}, "ldmia r0!, {r1, r2}"},
      {{0xFE, 0xE7}, "b 0x00000100"},
      {{0x01, 0xD0}, "beq 0x00000106"},
      {{0x08, 0xB1}, "cbz r0, 0x00000106"},
      {{0x08, 0xBF}, "it eq"},
      {{0x0C, 0xBF}, "ite eq"},
      {{0x00, 0xBE}, "bkpt 0x0000"},
      {{0x72, 0xB6}, "cpsid i"},
      {{0x08, 0xBA}, "rev r0, r1"},
      {{0xC8, 0xB2}, "uxtb r0, r1"},
      {{0x00, 0xDF}, "svc #0"},
      // 32-bit encodings, first halfword first
      {{0x00, 0xF0, 0x02, 0xF8}, "bl 0x00000108"},
      {{0xFF, 0xF7, 0xFE, 0xFF}, "bl 0x00000100"},
      {{0x00, 0xF0, 0x02, 0xB8}, "b.w 0x00000108"},
      {{0x40, 0xF0, 0x01, 0x80}, "bne.w 0x00000106"},
      {{0x41, 0xF2, 0x34, 0x20}, "movw r0, #4660"},
      {{0xC1, 0xF2, 0x34, 0x20}, "movt r0, #4660"},
      {{0x4F, 0xF0, 0x01, 0x00}, "mov.w r0, #1"},
      {{0x11, 0xF0, 0xFF, 0x00}, "ands.w r0, r1, #255"},
      {{0xB0, 0xF5, 0x80, 0x7F}, "cmp.w r0, #256"},
      {{0x01, 0xEB, 0x82, 0x00}, "add.w r0, r1, r2, lsl #2"},
      {{0x4F, 0xEA, 0x11, 0x10}, "lsr.w r0, r1, #4"},
      {{0xD1, 0xF8, 0x04, 0x00}, "ldr.w r0, [r1, #4]"},
      {{0xDF, 0xF8, 0x08, 0x00}, "ldr.w r0, [pc, #8] ; 0x0000010c"},
      {{0x41, 0xF8, 0x04, 0x0B}, "str r0, [r1], #4"},
      {{0x2D, 0xE9, 0xF0, 0x41}, "push.w {r4, r5, r6, r7, r8, lr}"},
      {{0xBD, 0xE8, 0xF0, 0x81}, "pop.w {r4, r5, r6, r7, r8, pc}"},
      {{0xB1, 0xFB, 0xF2, 0xF0}, "udiv r0, r1, r2"},
      {{0x01, 0xFB, 0x02, 0xF0}, "mul.w r0, r1, r2"},
      {{0xB1, 0xFA, 0x81, 0xF0}, "clz r0, r1"},
      {{0xD0, 0xE8, 0x01, 0xF0}, "tbb [r0, r1]"},
      {{0x51, 0xE8, 0x00, 0x0F}, "ldrex r0, [r1, #0]"},
      {{0xC1, 0xF3, 0x07, 0x20}, "ubfx r0, r1, #8, #8"},
      {{0xEF, 0xF3, 0x09, 0x80}, "mrs r0, psp"},
      {{0x80, 0xF3, 0x08, 0x88}, "msr msp, r0"},
      {{0xBF, 0xF3, 0x5F, 0x8F}, "dmb sy"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(Thumb(c.Bytes), c.Text);
}

TEST(DisassemblerAdapters, TargetNamesSelectTheirLibrary) {
  struct TCase {
    const wchar_t* Target;
    const wchar_t* Library; // nullptr: no adapter
  };
  const TCase cases[] = {
      {L"51", L"Dis51.dll"},
      {L"VRK52", L"Dis51.dll"},
      {L"165x", L"Dis165x.dll"},
      {L"z80", L"DisZ80.dll"},
      {L"Z80", nullptr},
      {L"VRK3000", L"DisTrv.dll"},
      {L"PPC405", L"DisPPC.dll"},
      {L"MICROBLAZE", L"DisMB.dll"},
      {L"NIOS2", L"DisNIOS2.dll"},
      {L"arm", L"DisARM.dll"},
      {L"ARM", nullptr},
      {L"LPC2300", L"DisARM.dll"},
      {L"Stellaris", L"DisARM.dll"},
      {L"stm32f407", L"DisARM.dll"},
      {L"STELLARIS-EVB", L"DisARM.dll"},
      {L"lpc1768", L"DisARM.dll"},
      {L"", nullptr},
      {L"Cortex-M4", nullptr},
  };
  TMemoryReader reader(nullptr, 0, 0);
  for (const TCase& c : cases) {
    const auto adapter = TRawDisassembler::CreateInstance(c.Target, &reader, L"");
    if (!c.Library) {
      EXPECT_EQ(adapter, nullptr) << Narrow(c.Target);
      continue;
    }
    ASSERT_NE(adapter, nullptr) << Narrow(c.Target);
    EXPECT_EQ(dynamic_cast<TRawDisassembler&>(*adapter).GetLibraryPath(),
              GetModuleFolder() + c.Library)
        << Narrow(c.Target);
  }
  // The Cortex-M3 families by name and by prefix take the Thumb-2 adapter.
  for (const wchar_t* name : {L"LM3S", L"stm32f407", L"LPC1xyz"})
    EXPECT_NE(dynamic_cast<TRawDisassemblerARMv7M*>(
                  TRawDisassembler::CreateInstance(name, &reader, L"").get()),
              nullptr)
        << Narrow(name);
  EXPECT_EQ(dynamic_cast<TRawDisassemblerARMv7M*>(
                TRawDisassembler::CreateInstance(L"arm", &reader, L"").get()),
            nullptr);
}

TEST(DisassemblerAdapters, InstructionWordsFollowEachTargetsWidthAndByteOrder) {
  struct TCase {
    const wchar_t* Target;
    TBytes Bytes;
    bool Reduced, LittleEndian;
    std::uint32_t Word;
  };
  const TCase cases[] = {
      {L"LM3S", {0x00, 0xF0, 0x00, 0xF8}, true, true, 0xF000F800},
      {L"LM3S", {0x70, 0x47, 0xFF, 0xFF}, true, true, 0x4770},
      {L"LM3S", {0x47, 0x70}, true, false, 0x4770},
      {L"arm", {0x04, 0xE0, 0x2D, 0xE5}, false, true, 0xE52DE004},
      {L"arm", {0xE5, 0x2D, 0xE0, 0x04}, false, false, 0xE52DE004},
      {L"arm", {0x00, 0xBF}, true, true, 0xBF00},
      {L"ppc", {0x12, 0x34, 0x56, 0x78}, false, true, 0x12345678},
      {L"nios2", {0x12, 0x34, 0x56, 0x78}, false, true, 0x78563412},
      {L"nios2", {0x12, 0x34, 0x56, 0x78}, false, false, 0x12345678},
      {L"165x", {0x1234}, false, false, 0x1234},
      {L"z80", {0x1C3}, false, false, 0xC3},
  };
  for (const TCase& c : cases) {
    TAdapter adapter(c.Target, c.Bytes, 0x100);
    adapter.Disassembler->SetLittleEndian(c.LittleEndian);
    adapter.Disassembler->SetReducedInstructionSet(c.Reduced);
    EXPECT_EQ(adapter.Raw().ReadInstruction(0x100), c.Word) << Narrow(c.Target);
  }
  // The 8051's code space is 24 bits wide: the higher bits are no address.
  TAdapter c51(L"51", {0xE4}, 0x100);
  EXPECT_EQ(c51.Raw().ReadInstruction(0x7F000100), 0xE4u);
  // Without a reader there is nothing to read.
  for (const wchar_t* target : {L"arm", L"LM3S", L"ppc"}) {
    const auto unread = TRawDisassembler::CreateInstance(target, nullptr, L"");
    EXPECT_EQ(dynamic_cast<TRawDisassembler&>(*unread).ReadInstruction(0x100), 0u);
  }
}

TEST(DisassemblerAdapters, EveryLibraryLoadsFromThePluginFolderAndAnswers) {
  struct TCase {
    const wchar_t* Target;
    TBytes Bytes;
    bool Reduced;
    const char* Text;
  };
  const TCase cases[] = {
      {L"51", {0x12}, false, "db 0x12"},
      {L"165x", {0x12}, false, "dw 0x0012"},
      {L"z80", {0xC3}, false, "db 0xC3"},
      {L"trv", {0x12, 0x34, 0x56, 0x78}, false, "dd 0x12345678"},
      {L"ppc", {0x12, 0x34, 0x56, 0x78}, false, "dd 0x12345678"},
      {L"mb", {0x12, 0x34, 0x56, 0x78}, false, "dd 0x12345678"},
      {L"nios2", {0x12, 0x34, 0x56, 0x78}, false, "dd 0x78563412"},
      {L"arm", {0x04, 0xE0, 0x2D, 0xE5}, false, ".word 0xe52de004"},
      {L"arm", {0x70, 0x47}, true, "bx lr"},
      {L"Stellaris", {0x70, 0x47}, true, "bx lr"},
      // The Thumb-2 adapter reads halfwords whatever the state: a Cortex-M
      // has no ARM state.
      {L"Stellaris", {0x04, 0xE0, 0x2D, 0xE5}, false, ".word 0x0000e004"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(Narrow(TOneLineDisassembler::GetDisassembly(c.Target, c.Bytes.data(), c.Bytes.size(),
                                                          0x2000, c.Reduced, true)),
              c.Text)
        << Narrow(c.Target);
}

// A library of the same name in the current folder is not the host's.
TEST(DisassemblerAdapters, TheCurrentFolderIsNeverSearched) {
  wchar_t temp[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring folder = std::wstring(temp) + L"orvandel-disassembler-cwd-" +
                             std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  // An impostor: the 8051 library under the ARM library's name.
  ASSERT_TRUE(CopyFileW((GetModuleFolder() + L"Dis51.dll").c_str(),
                        (folder + L"DisARM.dll").c_str(), FALSE));
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  const TBytes bytes = {0x70, 0x47, 0, 0};
  const std::wstring text =
      TOneLineDisassembler::GetDisassembly(L"arm", bytes.data(), bytes.size(), 0x3000, true, true);
  SetCurrentDirectoryW(previous);
  DeleteFileW((folder + L"DisARM.dll").c_str());
  RemoveDirectoryW(folder.c_str());
  EXPECT_EQ(Narrow(text), "bx lr");
}

TEST(DisassemblerAdapters, AMissingLibraryAnswersEmptyText) {
  TAdapter adapter(L"arm", {0x70, 0x47}, 0x100, L"Z:\\no-such-folder");
  EXPECT_EQ(adapter.Raw().GetLibraryPath(), L"Z:\\no-such-folder\\DisARM.dll");
  adapter.Disassembler->Initialize();
  EXPECT_FALSE(adapter.Raw().LibraryLoaded());
  std::uint64_t address = 0x100;
  EXPECT_EQ(adapter.Disassembler->Disassemble(0, address), "");
  EXPECT_EQ(address, 0x100u);
}

TEST(DisassemblerAdapters, TheLibraryMovesTheAddressPastTheInstruction) {
  struct TCase {
    TBytes Bytes;
    std::uint64_t Next;
  };
  const TCase cases[] = {{{0x70, 0x47}, 0x102}, {{0xD1, 0xF8, 0x04, 0x00}, 0x104}};
  for (const TCase& c : cases) {
    TAdapter adapter(L"LM3S", c.Bytes, 0x100);
    adapter.Disassembler->Initialize();
    std::uint64_t address = 0x100;
    EXPECT_NE(adapter.Disassembler->Disassemble(0, address), "");
    EXPECT_EQ(address, c.Next);
  }
}

TEST(DisassemblerOneLine, AnUnknownTargetAnswersEmptyText) {
  const TBytes bytes = {0x70, 0x47};
  for (const wchar_t* target : {L"ARM", L"6502", L""})
    EXPECT_EQ(
        TOneLineDisassembler::GetDisassembly(target, bytes.data(), bytes.size(), 0x100, true, true),
        L"")
        << Narrow(target);
}

// The answer depends on the bytes at the address, not on the address alone.
TEST(DisassemblerOneLine, AChangedInstructionAtTheSameAddressIsDisassembledAnew) {
  EXPECT_EQ(Thumb({0x70, 0x47}, 0x400), "bx lr");
  EXPECT_EQ(Thumb({0x00, 0xBF}, 0x400), "nop");
  // Bytes past the instruction are no part of it.
  EXPECT_EQ(Thumb({0x00, 0xBF, 0x12, 0x34}, 0x400), "nop");
  // Nor does the instruction set go unnoticed: ARM state reads a word.
  const TBytes word = {0x00, 0xBF, 0x00, 0xBF};
  const auto arm = [&word](bool AThumb) {
    return Narrow(TOneLineDisassembler::GetDisassembly(L"arm", word.data(), word.size(), 0x400,
                                                       AThumb, true));
  };
  EXPECT_EQ(arm(false), ".word 0xbf00bf00");
  EXPECT_EQ(arm(true), "nop");
  EXPECT_EQ(arm(false), ".word 0xbf00bf00");
}

TEST(DisassemblerOneLine, AReadPastTheInstructionBytesRaises) {
  // The first half of a 32-bit instruction without its second half.
  const TBytes half = {0xD1, 0xF8};
  EXPECT_THROW(Thumb(half, 0x500), EDisassemblerError);
  // An ARM word from two bytes.
  EXPECT_THROW(
      TOneLineDisassembler::GetDisassembly(L"arm", half.data(), half.size(), 0x500, false, true),
      EDisassemblerError);
  // The library was let go: the next call loads it afresh and answers.
  EXPECT_EQ(Thumb({0xD1, 0xF8, 0x04, 0x00}, 0x500), "ldr.w r0, [r1, #4]");
}

TEST(DisassemblerOneLine, TheLibrarysLeadingFieldIsDropped) {
  struct TCase {
    const char* Library;
    const char* Text;
  };
  const TCase cases[] = {
      {"00000100  MOV R0, R1", "MOV R0, R1"},
      {"00000100\tMOV R0, R1  ", "R0, R1"},
      {"1F00\tNOP", "NOP"},
      {"NOP", "NOP"},
      {"00000100", "00000100"},
      {"00000100   ", ""},
      {"", ""},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(TOneLineDisassembler::InstructionText(c.Library), c.Text) << c.Library;
}

// The controller panel's instruction word: 2 bytes for Thumb, 4 for ARM,
// in the target's byte order.
TEST(ArmPanelInstructionWord, BytesMakeTheWordInTheTargetsByteOrder) {
  struct TCase {
    TBytes Cells;
    bool LittleEndian;
    std::uint32_t Word;
  };
  const TCase cases[] = {
      {{0x00, 0xBF}, true, 0xBF00},
      {{0x00, 0xBF}, false, 0x00BF},
      {{0x78, 0x56, 0x34, 0x12}, true, 0x12345678},
      {{0x12, 0x34, 0x56, 0x78}, false, 0x12345678},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(TARM_BaseInstrumentForm::BytesToWord(c.Cells.data(), unsigned(c.Cells.size()),
                                                   c.LittleEndian),
              c.Word);
}

} // namespace
