#pragma once

// The device verbs of the command-line host: the catalogue's names, one
// driver's device information, and the chip's IDCODE read through a driver
// bound to the test host. Everything is asked of the plug-in by DISPID.

#include "cli-common.h"
#include "plugin-library.h"
#include "test-host.h"

#include <oaidl.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The full name of every kind, in kind order, asked of each kind's driver.
// Raises std::runtime_error when the plug-in fails to answer.
std::vector<std::wstring> DeviceNames(TPluginLibrary& APlugin);

// The names laid out in columns of equal width, filled top to bottom, in
// lines no wider than AWidth (at least one column).
std::wstring FormatInColumns(const std::vector<std::wstring>& ANames, std::size_t AWidth = 79);

// The IDCODE instruction of a boundary-scan entity, from its op-code table
// (the op-code named "IDCODE", its first pattern read as binary). Raises
// std::runtime_error when the entity has none.
int32_t IdcodeInstruction(IDispatch* AEntity);

// "devices": the count, then every kind's full name in columns.
int DevicesVerb(TPluginLibrary& APlugin, std::FILE* AOut = stdout, std::FILE* AErr = stderr);

// "info <part>": the device information of the part's driver. An unknown
// part answers 1 after naming the closest parts.
int InfoVerb(TPluginLibrary& APlugin, const std::wstring& APart, std::FILE* AOut = stdout,
             std::FILE* AErr = stderr);

// "identify <part>": binds the part's driver to the host's chain device at
// AChainPosition, loads the IDCODE instruction the driver's boundary-scan entity
// names and reads the chip's IDCODE through the host's channel; answers 0
// when it is the code the driver expects, 1 otherwise.
int IdentifyVerb(TPluginLibrary& APlugin, TTestHost& AHost, const std::wstring& APart,
                 std::FILE* AOut = stdout, std::FILE* AErr = stderr, unsigned AChainPosition = 0);
