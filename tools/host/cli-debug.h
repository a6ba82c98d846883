#pragma once

// The debug verbs of the command-line host: run control, registers and
// memory of one part's driver bound to the chip's chain device. Run control
// and registers go to the driver by DISPID; memory blocks go through the
// driver's IMemoryAccess, the block interface every transfer of the plug-in
// uses.

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

// The driver of a part named in any letter case (its full name, or the
// chip's name before the first '-' for its first variant), bound to the host's chain
// device 0; nullptr after telling AErr why (an unknown part with the closest
// names, an empty chain, a refused binding). Raises on a plug-in failure.
IDispatch* BindPartDriver(TPluginLibrary& APlugin, TTestHost& AHost, const std::wstring& APart,
                          std::FILE* AErr = stderr);

// "<verb> <part> [arguments]": binds the part's driver and runs the verb.
int DebugPartVerb(TPluginLibrary& APlugin, TTestHost& AHost, const std::wstring& AVerb,
                  const std::vector<std::wstring>& AArguments, std::FILE* AOut = stdout,
                  std::FILE* AErr = stderr, const TDialogHook* ADialogs = nullptr);
