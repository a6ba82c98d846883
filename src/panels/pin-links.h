#pragma once

// The links of the boundary-scan pins panel: each scan pin of a chain
// device linked to the nets that carry its signal in the user's design (the
// FPGA project's ports and nets, the board project's nets), the design
// documents those nets touch, and the data of a boundary-cell row. While the
// panel samples the pins live, a link writes its pin's value into the
// schematic and PCB objects of its nets, so that the host's editors
// highlight them.
//
// Every design object is a host object reached by DISPID. A host call that
// fails raises the host's automation error out of the operation in progress.

#include "host-records.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TgxTreeListNode;
class TNetLink;

enum class TNetLinkKind : uint8_t {
  eNetLink_Wire = 0, // a plain net
  eNetLink_Bus = 1,  // one bit of a bus
};

// Scan-pin kinds that carry no signal of the design: power and ground.
inline constexpr int32_t kScanPinKind_Power = 6, kScanPinKind_Ground = 7;

// The design data of one scan pin: its package pin, its FPGA port, its
// board net and the nets it is linked to. The scan pin and package pin are
// kept as raw pointers without a reference: the panel keeps the
// boundary-scan entity that owns them for as long as it keeps the links.
class TScanPinLink {
public:
  TScanPinLink(const IScanPin& AScanPin, const IDevicePin& ADevicePin, bool AUseFullNameOnly);
  ~TScanPinLink();
  TScanPinLink(const TScanPinLink&) = delete;
  TScanPinLink& operator=(const TScanPinLink&) = delete;

  IScanPin ScanPin() const { return IScanPin::FromPointer(FScanPin); }
  // Empty when no package pin matched the scan pin.
  IDevicePin DevicePin() const { return IDevicePin::FromPointer(FDevicePin); }

  bool UpdateEnabled() const { return FUpdateEnabled; }
  // Switching live update off removes the pin's highlights at once.
  void SetUpdateEnabled(bool AValue);

  // The package pin number as the boundary-scan description gives it.
  std::wstring PinNumber_Full() const;
  // The same without its "P" prefix, unless the device keeps full numbers.
  std::wstring PinNumber_Numeric() const;

  // Whether the pin may be linked to ANet: never a power or ground pin; a
  // PCB net with more than one connection; a schematic net with a pin that
  // is neither GND nor VCC and not ignored.
  bool ValidToLinkToNet(const INet& ANet) const;
  // Links ANet; a wire that is a bit of a bus also links that bit of the
  // bus, so that the bus's display value follows it. Answers the first
  // link made.
  TNetLink* AddNetLink(const INet& ANet, int32_t ABitIndex, TNetLinkKind ANetLinkKind);
  void ClearNetLinks();
  void DeActivateNetLinks();
  // Removes the live-highlight values this pin's links wrote into the
  // PCB nets and the schematic net items (lines keep theirs until the next
  // update writes them).
  void ResetAllObjectsLiveHighlightValue();

  const std::vector<std::unique_ptr<TNetLink>>& NetLinks() const { return FNetLinks; }

  // The value seen at the previous live-update pass; -1: not yet sampled.
  int32_t LastValue = -1;
  // The pin's row in the pin list; nullptr while it is not listed.
  TgxTreeListNode* TreeNode = nullptr;
  // The FPGA port (or port bit, "D(3)") linked to the pin; not empty marks
  // the pin as assigned.
  std::wstring NetName_FPGA;
  std::wstring NetName_PCB;
  std::wstring PortDirection;
  std::wstring IOStandard;
  std::wstring SlewRate;
  std::wstring DriveStrength;

private:
  bool FUpdateEnabled = true;
  void* FScanPin;
  void* FDevicePin;
  bool FUseFullPinNumberOnly;
  std::vector<std::unique_ptr<TNetLink>> FNetLinks;
};

// One linked net, or one bit of a linked bus.
class TNetLink {
public:
  TNetLink(TScanPinLink* AScanPinLink, const INet& ATargetNet, int32_t ABitIndex,
           TNetLinkKind ANetLinkKind);

  void DeActivate() {}
  // Whether an item of the net lies on ADocument (the same host object).
  bool ExistsOnDocument(const IDocument& ADocument) const;
  // Sets or clears this bit in a bus object's hexadecimal display word;
  // False, writing nothing, for a wire link, a link without a bit or no
  // object.
  bool UpdateBusDisplayValue(const ISch_GraphicalObject& ASchObject) const;
  // Writes the pin's current value into the net's objects on one document.
  void PerformUpdate(const class TDocumentLink& ADocumentLink) const;

  TScanPinLink* ScanPinLink; // not owned
  INet TargetNet;
  int32_t BitIndex;
  // The FPGA top-level port behind a bus-bit link; empty otherwise.
  INetItem FPGAProject_Port;
  TNetLinkKind NetLinkKind;
};

// An open design document that holds an item of a linked net.
class TDocumentLink {
public:
  explicit TDocumentLink(const IDocument& ADocument) : Document(ADocument) {}
  IDocument Document;
};

// The data of a boundary-cell row of the pin list; the cell is kept as a
// raw pointer without a reference, like the scan pins.
class TCellWrapper {
public:
  explicit TCellWrapper(const IBoundaryCell& ACell) : FCell(ACell.ToPointer()) {}
  IBoundaryCell Cell() const { return IBoundaryCell::FromPointer(FCell); }

private:
  void* FCell;
};

// Whether the host counts ADocument / AProject as a PCB document / project,
// by the kind of its full path. False for an empty record or no host.
bool IsPCBDocument(const IDocument& ADocument);
bool IsPCBProject(const IProject& AProject);
// "P12" gives "12" and "P" the empty text; a number whose rest is not an
// integer ("PA3") or that starts otherwise ("p12") stays as it is.
std::wstring StripPinNumberPrefix(const std::wstring& APinNumber);
// What a PCB net shows for a pin value: 2 for a high pin, 1 otherwise
// (0 removes the highlight).
int32_t PCBLiveHighlightValue(int32_t APinValue);
