#pragma once

// The "bsdl" verb of the command-line host: prints the boundary-scan entity
// a driver hands out (name, boundary length, test-access pins, op-codes and
// the cell table), reading everything by DISPID as the host would.

#include "cli-part.h"

#include <oaidl.h>

#include <cstdio>
#include <optional>
#include <string>

// The entity's text, read through its dispatch; with AOrigin, where the
// part's boundary-scan and pin data come from, after the file name. Raises
// std::runtime_error naming the DISPID of a call that fails.
std::wstring FormatBsdlEntity(IDispatch* AEntity,
                              const std::optional<TPartDataOrigin>& AOrigin = std::nullopt);

// Asks the driver for its entity (DISPID 503406) and writes its text to
// AOut. Answers 0, or 1 after a message on AErr when the driver has no
// entity or a call fails.
int BsdlVerb(IDispatch* ADriver, std::FILE* AOut = stdout, std::FILE* AErr = stderr,
             const std::optional<TPartDataOrigin>& AOrigin = std::nullopt);
