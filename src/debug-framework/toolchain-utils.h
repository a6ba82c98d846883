#pragma once

#include <string>

// The FPGA vendor tools the host knows about: whether they are installed
// and how they are described. Without the host's vendor-tool manager the
// Xilinx and Lattice answers are False and empty.
bool XilinxToolsPresent();
bool LatticeToolsPresent();
bool AlteraToolsPresent();
bool ActelToolsPresent();
std::wstring XilinxToolsDescriptor();
std::wstring LatticeToolsDescriptor();
std::wstring AlteraToolsDescriptor();
std::wstring ActelToolsDescriptor();
