#include "cli-part.h"

#include "cli-common.h"
#include "cli-data-origin.generated.h"
#include "device-catalogue.h"
#include "dispatch.h"

#include <oleauto.h>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr DISPID kDeviceName = 503380;
constexpr DISPID kSetTarvoDevice = 503754;

// TAP states as the host's channel numbers them.
constexpr int kReset = 1, kIdle = 2, kDrShift = 5, kDrExit1 = 6;

// The version nibble of an IDCODE.
constexpr std::uint32_t kIdcodeVersionMask = 0xF0000000u;

void CallDriver(IDispatch& ADriver, DISPID ADispId, const char* AName, std::vector<VARIANT> AArgs,
                TVariant& AResult) {
  const HRESULT hr = InvokeInOrder(ADriver, ADispId, std::move(AArgs), &AResult);
  if (FAILED(hr))
    throw std::runtime_error(std::string("the driver answered ") + Hex8(std::uint32_t(hr)) +
                             " to " + AName);
}

std::wstring DriverName(IDispatch& ADriver) {
  TVariant answer;
  CallDriver(ADriver, kDeviceName, "GetDeviceName", {}, answer);
  if (V_VT(&answer) != VT_BSTR)
    throw std::runtime_error("GetDeviceName answered no text");
  return std::wstring(V_BSTR(&answer), SysStringLen(V_BSTR(&answer)));
}

void Report(std::FILE* AErr, const std::wstring& AText) {
  WriteUtf8(AErr, L"orvandel: " + AText + L"\n");
}

bool Listed(std::span<const std::wstring_view> AList, std::wstring_view AName) {
  return std::any_of(AList.begin(), AList.end(),
                     [&](std::wstring_view AEntry) { return !AEntry.empty() && AEntry == AName; });
}

} // namespace

const std::vector<std::wstring>& CatalogueNames() {
  static const std::vector<std::wstring> names = [] {
    std::vector<std::wstring> all;
    for (int kind = 0; kind < DeviceKindCount; ++kind)
      all.emplace_back(DeviceFullName(kind));
    return all;
  }();
  return names;
}

std::optional<std::int32_t> FindPartKind(std::wstring_view APart) {
  const std::optional<std::size_t> found =
      FindPart(CatalogueNames(), APart, TPartMatch::FullOrChipName);
  if (!found)
    return std::nullopt;
  return std::int32_t(*found);
}

IDispatch* TakePartDriver(TPluginLibrary& APlugin, const std::wstring& APart, std::FILE* AErr,
                          std::int32_t* AKind) {
  const std::optional<std::int32_t> kind = FindPartKind(APart);
  if (!kind) {
    Report(AErr, UnknownPartText(CatalogueNames(), APart));
    return nullptr;
  }
  const std::wstring& name = CatalogueNames()[std::size_t(*kind)];
  IDispatch* driver = nullptr;
  const HRESULT hr = APlugin.GetTarvoDriver_Plugin(*kind, &driver);
  if (FAILED(hr) || !driver)
    throw std::runtime_error("the plug-in gave no driver for " + Narrowed(name) + " (" +
                             Hex8(std::uint32_t(hr)) + ")");
  try {
    // Kinds are positions in the catalogue: a plug-in built from another
    // catalogue would hand out another part's driver under the same number.
    const std::wstring answered = DriverName(*driver);
    if (answered != name)
      throw std::runtime_error("the plug-in's driver of kind " + std::to_string(*kind) + " is " +
                               Narrowed(answered) + ", not " + Narrowed(name) +
                               ": it was built from another catalogue");
  } catch (...) {
    driver->Release();
    throw;
  }
  if (AKind)
    *AKind = *kind;
  return driver;
}

bool BindDriver(IDispatch& ADriver, TTestHost& AHost, unsigned AChainPosition, std::FILE* AErr) {
  if (AChainPosition >= AHost.DeviceCount()) {
    const unsigned count = AHost.DeviceCount();
    Report(AErr, count == 0
                     ? std::wstring(L"the JTAG chain has no device")
                     : L"there is no device at chain position " + std::to_wstring(AChainPosition) +
                           L" (the JTAG chain has " + std::to_wstring(count) +
                           (count == 1 ? L" device)" : L" devices)"));
    return false;
  }
  TVariant bound;
  CallDriver(ADriver, kSetTarvoDevice, "SetTarvoDevice",
             {ObjectVariant(AHost.Device(AChainPosition).Dispatch())}, bound);
  const bool accepted =
      (V_VT(&bound) == VT_BOOL && V_BOOL(&bound)) || (V_VT(&bound) == VT_I4 && V_I4(&bound) != 0);
  if (!accepted)
    Report(AErr, L"the " + DriverName(ADriver) + L" driver refused the device at chain position " +
                     std::to_wstring(AChainPosition));
  return accepted;
}

IDispatch* BindPartDriver(TPluginLibrary& APlugin, TTestHost& AHost, const std::wstring& APart,
                          std::FILE* AErr, unsigned AChainPosition) {
  IDispatch* driver = TakePartDriver(APlugin, APart, AErr);
  if (!driver)
    return nullptr;
  bool bound = false;
  try {
    bound = BindDriver(*driver, AHost, AChainPosition, AErr);
  } catch (...) {
    driver->Release();
    throw;
  }
  if (!bound) {
    driver->Release();
    return nullptr;
  }
  return driver;
}

TChainIdcode ReadChainIdcode(TTestHost& AHost, unsigned AChainPosition) {
  TTestJtagChannel& channel = AHost.Channel();
  channel.OpenChannel();
  std::uint32_t code = 0;
  try {
    // A reset selects IDCODE, or BYPASS in a device without one.
    channel.MoveToState(0, kReset);
    channel.MoveToState(kReset, kDrShift);
    code = std::uint32_t(channel.ShiftDataCapture(0, 32, std::int32_t(AChainPosition)));
    channel.MoveToState(kDrExit1, kIdle);
  } catch (...) {
    channel.CloseChannel();
    throw;
  }
  channel.CloseChannel();
  return {(code & 1) != 0 && code != 0xFFFFFFFFu, code};
}

std::wstring DescribeIdcode(const TChainIdcode& AIdcode) {
  if (!AIdcode.Answered)
    return L"no IDCODE (it reads " + Widened(Hex8(AIdcode.Code)) + L")";
  char text[96];
  std::snprintf(text, sizeof text, "IDCODE %s (manufacturer 0x%03lX, part 0x%04lX, version %lu)",
                Hex8(AIdcode.Code).c_str(), static_cast<unsigned long>((AIdcode.Code >> 1) & 0x7FF),
                static_cast<unsigned long>((AIdcode.Code >> 12) & 0xFFFF),
                static_cast<unsigned long>(AIdcode.Code >> 28));
  return Widened(text);
}

bool SameChip(std::uint32_t ACode, std::uint32_t AExpected) {
  return ((ACode ^ AExpected) & ~kIdcodeVersionMask) == 0;
}

std::wstring TPartDataOrigin::PinsText() const {
  return PinsFromVendor ? L"the vendor's pin-out"
                        : L"generated from the package rules, not the vendor's pin-out";
}

std::wstring TPartDataOrigin::BoundaryScanText() const {
  return BoundaryScanFromVendor ? L"read from the vendor's BSDL file"
                                : L"generated from the package rules, not read from the vendor's "
                                  L"BSDL file";
}

TPartDataOrigin PartDataOrigin(std::int32_t AKind, std::span<const std::wstring_view> AVendorBsdl,
                               std::span<const std::wstring_view> AVendorPinSets) {
  std::wstring_view pinSet = TPinSetNames[DeviceRecord(AKind).PinSet];
  constexpr std::wstring_view kPrefix = L"ePinSet_";
  if (pinSet.starts_with(kPrefix))
    pinSet.remove_prefix(kPrefix.size());
  return {Listed(AVendorPinSets, pinSet), Listed(AVendorBsdl, DeviceBSDLName(AKind))};
}

TPartDataOrigin PartDataOrigin(std::int32_t AKind) {
  return PartDataOrigin(AKind, kVendorBsdlFiles, kVendorPinSets);
}
