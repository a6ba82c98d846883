#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

// One I/O standard: the short identifier used in constraint files and
// project parameters, and the name shown to the user.
struct TIOStandardRow {
  const wchar_t* ParamName;
  const wchar_t* DisplayName;
};

// Every I/O standard a device pin can offer, indexed by the standard id an
// I/O-standard object answers. The order is fixed: drivers store the index.
// Row 166 repeats the display name of row 165, and row 159 is spelled
// "Classs": both are the texts users already see in saved projects.
inline constexpr TIOStandardRow IOStandardTable[] = {
    {L"LVTTL15", L"LVTTL 1.5V"},                                         // 0
    {L"LVTTL18", L"LVTTL 1.8V"},                                         // 1
    {L"LVTTL25", L"LVTTL 2.5V"},                                         // 2
    {L"LVTTL33", L"LVTTL 3.3V"},                                         // 3
    {L"LVCMOS15", L"LVCMOS 1.5V"},                                       // 4
    {L"LVCMOS18", L"LVCMOS 1.8V"},                                       // 5
    {L"LVCMOS25", L"LVCMOS 2.5V"},                                       // 6
    {L"LVCMOS33", L"LVCMOS 3.3V"},                                       // 7
    {L"LVCMOS5", L"LVCMOS 5V"},                                          // 8
    {L"PCI33_3", L"PCI 33Mhz 3.3V"},                                     // 9
    {L"PCI33_5", L"PCI 33Mhz 5V"},                                       // 10
    {L"PCI66", L"PCI 66Mhz 3.3V"},                                       // 11
    {L"PCIX_3", L"PCI-X 3.3V"},                                          // 12
    {L"COMPACTPCI_3", L"Compact PCI 3.3V"},                              // 13
    {L"SSTL3I", L"SSTL3 Class I"},                                       // 14
    {L"SSTL3II", L"SSTL3 Class II"},                                     // 15
    {L"SSTL2I", L"SSTL2 Class I"},                                       // 16
    {L"SSTL2II", L"SSTL2 Class II"},                                     // 17
    {L"SSTL18I", L"SSTL18 Class I"},                                     // 18
    {L"SSTL18II", L"SSTL18 Class II"},                                   // 19
    {L"GTL", L"GTL"},                                                    // 20
    {L"GTLP", L"GTL+"},                                                  // 21
    {L"HSTLI", L"HSTL Class I"},                                         // 22
    {L"HSTLII", L"HSTL Class II"},                                       // 23
    {L"HSTLIII", L"HSTL Class III"},                                     // 24
    {L"HSTLIV", L"HSTL Class IV"},                                       // 25
    {L"HSTL_12", L"HSTL 1.2V"},                                          // 26
    {L"HSTLI_18", L"HSTL Class I 1.8V"},                                 // 27
    {L"HSTLII_18", L"HSTL Class II 1.8V"},                               // 28
    {L"HSTLIII_18", L"HSTL Class III 1.8V"},                             // 29
    {L"HSTLIV_18", L"HSTL Class IV 1.8V"},                               // 30
    {L"CTT", L"CTT"},                                                    // 31
    {L"AGP1x", L"AGP 1x"},                                               // 32
    {L"AGP2x", L"AGP 2x"},                                               // 33
    {L"TTL", L"TTL"},                                                    // 34
    {L"LVCMOS12", L"LVCMOS 1.2V"},                                       // 35
    {L"GTL_DCI", L"GTL DCI"},                                            // 36
    {L"GTLP_DCI", L"GTL+ DCI"},                                          // 37
    {L"HSTLI_DCI", L"HSTL Class I DCI"},                                 // 38
    {L"HSTLII_DCI", L"HSTL Class II DCI"},                               // 39
    {L"HSTLIII_DCI", L"HSTL Class III DCI"},                             // 40
    {L"HSTLIV_DCI", L"HSTL Class IV DCI"},                               // 41
    {L"HSTLI_18_DCI", L"HSTL Class I 1.8V DCI"},                         // 42
    {L"HSTLII_18_DCI", L"HSTL Class II 1.8V DCI"},                       // 43
    {L"HSTLIII_18_DCI", L"HSTL Class III 1.8V DCI"},                     // 44
    {L"HSTLIV_18_DCI", L"HSTL Class IV 1.8V DCI"},                       // 45
    {L"DHSTLI", L"DHSTL Class I"},                                       // 46
    {L"DHSTLII", L"DHSTL Class II"},                                     // 47
    {L"DHSTLIII", L"DHSTL Class III"},                                   // 48
    {L"DHSTL18I", L"DHSTL 1.8V Class I"},                                // 49
    {L"DHSTL18II", L"DHSTL 1.8V Class II"},                              // 50
    {L"DHSTL18III", L"DHSTL 1.8V Class III"},                            // 51
    {L"HTT", L"HTT"},                                                    // 52
    {L"PCML", L"PCML"},                                                  // 53
    {L"PCML15", L"PCML15"},                                              // 54
    {L"SSTL18I_DCI", L"SSTL18 Class I DCI"},                             // 55
    {L"SSTL18II_DCI", L"SSTL18 Class II DCI"},                           // 56
    {L"SSTL2I_DCI", L"SSTL2 Class I DCI"},                               // 57
    {L"SSTL2II_DCI", L"SSTL2 Class II DCI"},                             // 58
    {L"SSTL3I_DCI", L"SSTL3 Class I DCI"},                               // 59
    {L"SSTL3II_DCI", L"SSTL3 Class II DCI"},                             // 60
    {L"LVCMOS15_DCI", L"LVCMOS 1.5V DCI"},                               // 61
    {L"LVCMOS18_DCI", L"LVCMOS 1.8V DCI"},                               // 62
    {L"LVCMOS25_DCI", L"LVCMOS 2.5V DCI"},                               // 63
    {L"LVCMOS33_DCI", L"LVCMOS 3.3V DCI"},                               // 64
    {L"LVCMOS15_DCI_DV2", L"LVCMOS 1.5V DCI DIV2"},                      // 65
    {L"LVCMOS18_DCI_DV2", L"LVCMOS 1.8V DCI DIV2"},                      // 66
    {L"LVCMOS25_DCI_DV2", L"LVCMOS 2.5V DCI DIV2"},                      // 67
    {L"LVCMOS33_DCI_DV2", L"LVCMOS 3.3V DCI DIV2"},                      // 68
    {L"LVDS", L"LVDS"},                                                  // 69
    {L"LVPECL", L"LVPECL"},                                              // 70
    {L"DSSTL18I", L"Differential SSTL 1.8V Class I"},                    // 71
    {L"DSSTL18II", L"Differential SSTL 1.8V Class II"},                  // 72
    {L"DSSTL2I", L"Differential SSTL2 Class I"},                         // 73
    {L"DSSTL2II", L"Differential SSTL2 Class II"},                       // 74
    {L"DSSTL3I", L"Differential SSTL3 Class I"},                         // 75
    {L"DSSTL3II", L"Differential SSTL3 Class II"},                       // 76
    {L"BLVDS25", L"Bus LVDS 2.5V"},                                      // 77
    {L"LVPECL25", L"LVPECL 2.5V"},                                       // 78
    {L"RSDS25", L"RSDS 2.5V"},                                           // 79
    {L"LVDS33", L"LVDS 3.3V"},                                           // 80
    {L"LVDS25_DCI", L"LVDS 2.5V DCI"},                                   // 81
    {L"LVDS33_DCI", L"LVDS 3.3V DCI"},                                   // 82
    {L"LVDSEXT25", L"LVDSEXT 2.5V"},                                     // 83
    {L"LVDSEXT33", L"LVDSEXT 3.3V"},                                     // 84
    {L"LVDSEXT25_DCI", L"LVDSEXT 2.5V DCI"},                             // 85
    {L"LVDSEXT33_DCI", L"LVDSEXT 3.3V DCI"},                             // 86
    {L"LDT", L"LDT"},                                                    // 87
    {L"ULVDS25", L"ULVDS 2.5V"},                                         // 88
    {L"LDT_DT", L"LDT DT"},                                              // 89
    {L"LVDS_DT", L"LVDS DT"},                                            // 90
    {L"LVDSEXT25_DT", L"LVDSEXT 2.5V DT"},                               // 91
    {L"ULVDS25_DT", L"ULVDS 2.5V DT"},                                   // 92
    {L"MiniLVDS25", L"Mini LVDS 2.5V"},                                  // 93
    {L"LVCMOS33_1", L"LVCMOS 3.3V (24mA)"},                              // 94
    {L"LVCMOS33_2", L"LVCMOS 3.3V (12mA)"},                              // 95
    {L"DHSTLII_DCI", L"DHSTL Class II DCI"},                             // 96
    {L"DHSTL18II_DCI", L"DHSTL 1.8V Class II DCI"},                      // 97
    {L"DSSTL2II_DCI", L"Differential SSTL2 Class II DCI"},               // 98
    {L"DSSTL18II_DCI", L"Differential SSTL 1.8V Class II DCI"},          // 99
    {L"LVTTL12", L"LVTTL 1.2V"},                                         // 100
    {L"PCML12", L"PCML12"},                                              // 101
    {L"BLVDS33", L"Bus LVDS 3.3V"},                                      // 102
    {L"RSDS33", L"RSDS 3.3V"},                                           // 103
    {L"HSLV15_DCI", L"HSLV 1.5V DCI"},                                   // 104
    {L"HSLV18_DCI", L"HSLV 1.8V DCI"},                                   // 105
    {L"HSLV25_DCI", L"HSLV 2.5V DCI"},                                   // 106
    {L"HSLV33_DCI", L"HSLV 3.3V DCI"},                                   // 107
    {L"MLVDS25", L"Multi-Point LVDS 2.5V"},                              // 108
    {L"MiniLVDS33", L"Mini LVDS 3.3V"},                                  // 109
    {L"TMDS33", L"TMDS 3.3V"},                                           // 110
    {L"PPDS25", L"PPDS 2.5V"},                                           // 111
    {L"PPDS33", L"PPDS 3.3V"},                                           // 112
    {L"DHSTL18I_DCI", L"DHSTL 1.8V Class I DCI"},                        // 113
    {L"DHSTLI_DCI", L"DHSTL Class I DCI"},                               // 114
    {L"DSSTL18I_DCI", L"Differential SSTL 1.8V Class I DCI"},            // 115
    {L"DSSTL2I_DCI", L"Differential SSTL2 Class I DCI"},                 // 116
    {L"HSTLII_18T_DCI", L"HSTL Class II 1.8V T DCI"},                    // 117
    {L"HSTLIIT_DCI", L"HSTL Class II T DCI"},                            // 118
    {L"SSTL18IIT_DCI", L"SSTL18 Class II T DCI"},                        // 119
    {L"SSTL2IIT_DCI", L"SSTL2 Class II T DCI"},                          // 120
    {L"PCIX_15", L"PCI-X 1.5V"},                                         // 121
    {L"CTT25", L"CTT 2.5V"},                                             // 122
    {L"LVCMOS30", L"LVCMOS30"},                                          // 123
    {L"LVTTL30", L"LVTTL30"},                                            // 124
    {L"HSTLII_12", L"HSTLII_12"},                                        // 125
    {L"PCI33_30", L"PCI33_30"},                                          // 126
    {L"PCIX_30", L"PCIX_30"},                                            // 127
    {L"DHSTL12I", L"DHSTL12I"},                                          // 128
    {L"DHSTL12II", L"DHSTL12II"},                                        // 129
    {L"SSTL15I", L"SSTL Class I 1.5V"},                                  // 130
    {L"SSTL15II", L"SSTL Class II 1.5V"},                                // 131
    {L"HSTLI_12", L"HSTL Class I 1.2V"},                                 // 132
    {L"DSSTL15I", L"Differential SSTL Class I 1.5V"},                    // 133
    {L"DSSTL15II", L"Differential SSTL Class II 1.5V"},                  // 134
    {L"MiniLVDS25_E_1R", L"MiniLVDS25 External One-Resistor"},           // 135
    {L"MiniLVDS25_E_3R", L"MiniLVDS25 External Three-Resistor Network"}, // 136
    {L"RSDS25_E_1R", L"RSDS25 External One-Resistor"},                   // 137
    {L"RSDS25_E_3R", L"RSDS25 External Three-Resistor Network"},         // 138
    {L"LVDS_E_1R", L"LVDS External One-Resistor"},                       // 139
    {L"LVDS_E_3R", L"LVDS External Three-Resistor Network"},             // 140
    {L"3.3V GTL", L"Gunning Transceiver Logic 3.3 V"},                   // 141
    {L"2.5V GTL", L"Gunning Transceiver Logic 2.5 V"},                   // 142
    {L"3.3V GTL+", L"Gunning Transceiver Logic Plus 3.3 V"},             // 143
    {L"2.5V GTL+", L"Gunning Transceiver Logic Plus 2.5 V"},             // 144
    {L"I2C", L"I2C"},                                                    // 145
    {L"SMBus", L"SMBus"},                                                // 146
    {L"SDIO", L"SDIO"},                                                  // 147
    {L"Mobile_DDR", L"Mobile DDR"},                                      // 148
    {L"DMobile_DDR", L"Differential Mobile DDR"},                        // 149
    {L"Display_Port", L"Display Port"},                                  // 150
    {L"DHSTLIIT_DCI", L"DHSTL Class II T DCI"},                          // 151
    {L"DHSTLII_18T_DCI", L"DHSTL 1.8V Class II T DCI"},                  // 152
    {L"SSTL15", L"SSTL 1.5V"},                                           // 153
    {L"SSTL15_DCI", L"SSTL 1.5V DCI"},                                   // 154
    {L"DSSTL15", L"DSSTL 1.5V"},                                         // 155
    {L"DSSTL15_DCI", L"DSSTL 1.5V DCI"},                                 // 156
    {L"SSTL15T_DCI", L"SSTL 1.5V T DCI"},                                // 157
    {L"DSSTL2IIT_DCI", L"DSSTL 2V Class II T DCI"},                      // 158
    {L"DSSTL18IIT_DCI", L"DSSTL 1.8V Classs II T DCI"},                  // 159
    {L"DSSTL15T_DCI", L"DSSTL 1.5V T DCI"},                              // 160
    {L"PPDS25_E_3R", L"PPDS25 External Three-Resistor Network"},         // 161
    {L"DSSTL12II", L"Differential SSTL Class II 1.2V"},                  // 162
    {L"HCSL", L"HCSL"},                                                  // 163
    {L"PCML25", L"Differential 2.5-V Pseudo Current Mode Logic"},        // 164
    {L"DSSTL25I", L"Differential 2.5-V SSTL Class I"},                   // 165
    {L"DSSTL25II", L"Differential 2.5-V SSTL Class I"},                  // 166
    {L"DSSTL20II", L"Differential 2.0-V SSTL Class II"},                 // 167
    {L"DSSTL12I", L"Differential 1.2-V SSTL Class I"},                   // 168
    {L"PCML14", L"PCML14"},                                              // 169
    {L"LVTTL33_STI", L"LVTTL 3.3V Schmitt Trigger Input"},               // 170
    {L"LVTTL25_STI", L"LVTTL 2.5V Schmitt Trigger Input"},               // 171
    {L"SSTL25I", L"SSTL25 Class I"},                                     // 172
    {L"SSTL25II", L"SSTL25 Class II"},                                   // 173
    {L"LVPECL33", L"LVPECL 3.3V"},                                       // 174
    {L"MLVDS33", L"Multi-Point LVDS 3.3V"},                              // 175
    {L"LVTTL33D", L"Differential LVTTL 3.3V"},                           // 176
    {L"LVCMOS33D", L"Differential LVCMOS 3.3V"},                         // 177
    {L"LVCMOS25D", L"Differential LVCMOS 2.5V"},                         // 178
    {L"LVCMOS18D", L"Differential LVCMOS 1.8V"},                         // 179
    {L"LVCMOS15D", L"Differential LVCMOS 1.5V"},                         // 180
    {L"LVCMOS12D", L"Differential LVCMOS 1.2V"},                         // 181
    {L"BLVDS25E", L"Emulated BLVDS 2.5V"},                               // 182
    {L"MLVDS25E", L"Emulated MLVDS 2.5V"},                               // 183
    {L"LVPECL33E", L"Emulated LVPECL 3.3V"},                             // 184
    {L"RSDS25E", L"Emulated RSDS 2.5V"},                                 // 185
};

inline constexpr std::size_t IOStandardCount = std::size(IOStandardTable);
static_assert(IOStandardCount == 186);

// The row of AStandardId, or nullptr when the id is past the table.
constexpr const TIOStandardRow* FindIOStandard(std::uint32_t AStandardId) {
  return AStandardId < IOStandardCount ? &IOStandardTable[AStandardId] : nullptr;
}
