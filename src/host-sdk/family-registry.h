#pragma once

// The device-family registry: family name (exact case) to vendor and EDIF
// name, built once from the built-in rows and then from the "TarvoConfig.ini"
// of every registered plug-in folder (the last folder wins).

#include <span>
#include <string>
#include <string_view>

struct TDeviceFamilyInfo {
  std::wstring VendorName;
  std::wstring EDIF;
};

struct TDeviceFamilyRow {
  std::wstring_view Family;
  std::wstring_view Vendor;
  std::wstring_view EDIF;
};

// The built-in rows in the order they are added.
std::span<const TDeviceFamilyRow> BuiltInDeviceFamilies();

// Builds the registry once; later calls do nothing.
void InitDeviceFamilies();
// The family's vendor, or empty when the family is not registered.
std::wstring GetDeviceFamilyVendor(const std::wstring& AFamily);
// The family's row; False when not registered.
bool FindDeviceFamily(const std::wstring& AFamily, TDeviceFamilyInfo& AInfo);
// Module shutdown: frees the registry; the next use builds it again.
void ReleaseDeviceFamilies();
