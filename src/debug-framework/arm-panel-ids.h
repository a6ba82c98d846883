#pragma once

// The ARM controller panel's value labels, child windows of its form by
// these control ids; a host reads what the panel shows through them.
enum class TARMPanelLabel { PC, SP, Instruction, Assembler };
inline constexpr int kARMPanelLabelIds[4] = {1101, 1102, 1103, 1104};
