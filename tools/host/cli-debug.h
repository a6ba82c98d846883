#pragma once

// The debug verbs of the command-line host: run control, registers and
// memory of one part's driver bound to the chip's chain device. Run control
// and registers go to the driver by DISPID; memory blocks go through the
// driver's IMemoryAccess, the block interface every transfer of the plug-in
// uses.

#include "cli-part.h"
#include "plugin-library.h"
#include "test-host.h"

#include <oaidl.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

class TDialogHook;

// A number as the user writes one: decimal, or hexadecimal after "0x";
// empty when the text is not one or exceeds AMax.
std::optional<std::uint64_t> ParseCliNumber(const std::wstring& AText,
                                            std::uint64_t AMax = 0xFFFFFFFFu);

// Whether AVerb is one of the debug verbs (halt, step, run, reset, regs, mem).
bool IsDebugVerb(const std::wstring& AVerb);

// Runs a debug verb on a driver already bound to the chip; AArguments are
// the verb's arguments after the part. Answers the exit status; messages go
// to AErr. When ADialogs is given, a box the plug-in showed while the verb
// ran (the driver's only way to tell of a chip that does not answer) fails
// the verb at the next step.
int RunDebugVerb(IDispatch& ADriver, const std::wstring& AVerb,
                 const std::vector<std::wstring>& AArguments, std::FILE* AOut = stdout,
                 std::FILE* AErr = stderr, const TDialogHook* ADialogs = nullptr);

// "<verb> <part> [arguments]": binds the part's driver to the chain device
// at AChainPosition and runs the verb.
int DebugPartVerb(TPluginLibrary& APlugin, TTestHost& AHost, const std::wstring& AVerb,
                  const std::vector<std::wstring>& AArguments, std::FILE* AOut = stdout,
                  std::FILE* AErr = stderr, const TDialogHook* ADialogs = nullptr,
                  unsigned AChainPosition = 0);
