#pragma once

// Finding the part a verb names and taking its driver from the plug-in, the
// same way for every verb: the name is looked up in the catalogue compiled
// into the command line, so only the one driver the verb needs is made.

#include "plugin-library.h"
#include "test-host.h"

#include <oaidl.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The catalogue's full names, in kind order.
const std::vector<std::wstring>& CatalogueNames();

// The kind a part name means: its full name, or the chip's name before the
// first '-' for its first variant, in any letter case.
std::optional<std::int32_t> FindPartKind(std::wstring_view APart);

// A new driver of the part's kind, the only driver the lookup makes; its
// device name must be the catalogue's (a plug-in built from another
// catalogue is refused). nullptr after telling AErr the closest names of an
// unknown part. Raises std::runtime_error when the plug-in fails.
IDispatch* TakePartDriver(TPluginLibrary& APlugin, const std::wstring& APart,
                          std::FILE* AErr = stderr, std::int32_t* AKind = nullptr);

// Binds ADriver to the host's chain device at AChainPosition (DISPID
// 503754); false after telling AErr why (no device there, the driver
// refused it). Raises std::runtime_error when the call itself fails.
bool BindDriver(IDispatch& ADriver, TTestHost& AHost, unsigned AChainPosition,
                std::FILE* AErr = stderr);

// TakePartDriver, then BindDriver; nullptr after telling AErr why.
IDispatch* BindPartDriver(TPluginLibrary& APlugin, TTestHost& AHost, const std::wstring& APart,
                          std::FILE* AErr = stderr, unsigned AChainPosition = 0);

// What the chain device at a position answers in its IDCODE register after
// a TAP reset, read through the host's channel without any driver.
struct TChainIdcode {
  // False when the device answered no IDCODE: BYPASS (bit 0 clear), or the
  // all-ones of a chain with no device driving TDO.
  bool Answered = false;
  std::uint32_t Code = 0;
};
TChainIdcode ReadChainIdcode(TTestHost& AHost, unsigned AChainPosition);

// "IDCODE 0x3BA00477 (manufacturer 0x23B, part 0xBA00, version 3)", or the
// bits read and that they are no IDCODE.
std::wstring DescribeIdcode(const TChainIdcode& AIdcode);

// Whether a chain device's IDCODE is the part's: the version nibble, which
// changes with the silicon revision, is not compared.
bool SameChip(std::uint32_t ACode, std::uint32_t AExpected);

// Where a part's pin and boundary-scan data come from, in the user's words:
// the vendor's files, or the package rules the catalogue builds them from
// where those files are not available.
struct TPartDataOrigin {
  bool PinsFromVendor = false;
  bool BoundaryScanFromVendor = false;
  std::wstring PinsText() const;
  std::wstring BoundaryScanText() const;
};

// The origin of a kind's data, given the vendor BSDL files and pin sets
// (without "ePinSet_") the build compiled in.
TPartDataOrigin PartDataOrigin(std::int32_t AKind, std::span<const std::wstring_view> AVendorBsdl,
                               std::span<const std::wstring_view> AVendorPinSets);
// The same for this build.
TPartDataOrigin PartDataOrigin(std::int32_t AKind);
