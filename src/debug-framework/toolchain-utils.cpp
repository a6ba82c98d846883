#include "toolchain-utils.h"

#include "host-modules.h"

namespace {

bool ManagedToolsPresent(const wchar_t* AVendor) {
  const IVendorToolManager manager = GetVendorToolManager();
  return manager && manager.VendorToolsPresent(AVendor);
}

std::wstring ManagedToolsDescriptor(const wchar_t* AVendor) {
  const IVendorToolManager manager = GetVendorToolManager();
  return manager ? manager.VendorToolsDescriptor(AVendor) : std::wstring();
}

} // namespace

bool XilinxToolsPresent() {
  return ManagedToolsPresent(L"Xilinx");
}
bool LatticeToolsPresent() {
  return ManagedToolsPresent(L"Lattice");
}
bool AlteraToolsPresent() {
  return !GetAlteraToolPath(L"Quartus_Cmd").empty();
}
bool ActelToolsPresent() {
  return !GetActelToolPath(L"designer").empty();
}

std::wstring XilinxToolsDescriptor() {
  return ManagedToolsDescriptor(L"Xilinx");
}
std::wstring LatticeToolsDescriptor() {
  return ManagedToolsDescriptor(L"Lattice");
}
std::wstring AlteraToolsDescriptor() {
  return L"Altera Quartus II";
}
std::wstring ActelToolsDescriptor() {
  return L"ACTEL LiberoIDE";
}
