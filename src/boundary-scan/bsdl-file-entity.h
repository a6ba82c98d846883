#pragma once

// A boundary-scan entity read from a BSDL file, made whole. The BSDL reader
// keeps the file's attributes as text and evaluates only the boundary
// register; a driver that hands a read entity to the host also needs its
// scan pins with their pin mappings, the test-access pins, the op-codes and
// the other attributes the host asks for. They are made here from the
// entity's ports, its PIN_MAP_STRING constant and its attributes.

#include "bsdl-model.h"
#include "vhdl-model.h"
#include "vhdl-reader.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One bit of a port: the port itself, or one element of a bit_vector.
struct TBSDLPortElement {
  const TVHDLPort* Port;
  // "PA" for a port of one bit, "PA(5)" for an element of a vector.
  std::wstring Name;
  std::optional<std::int32_t> Index;
  // From the chosen pin map; empty when the map does not place it.
  std::wstring PinNumber;
};

// The value of the entity's first attribute of that name (ignoring case);
// empty when there is none.
std::wstring BSDLAttributeText(const TEntity& AEntity, std::wstring_view ADesignator);
// The first attribute of that name whose target list names ATarget.
bool HasBSDLAttributeOn(const TEntity& AEntity, std::wstring_view ADesignator,
                        std::wstring_view ATarget);
// The pin map the entity's PHYSICAL_PIN_MAP generic chooses (or its only
// PIN_MAP_STRING constant): upper-case port name to pin numbers in order.
std::map<std::wstring, std::vector<std::wstring>> BSDLPinMap(const TEntity& AEntity);
// The ports in declaration order, each bit once, with their pins.
std::vector<TBSDLPortElement> BSDLPortElements(const TEntity& AEntity);
// "NAME (p1, p2), ..." as (name, pattern) pairs in the file's order.
std::vector<std::pair<std::wstring, std::wstring>> BSDLOpCodes(const TEntity& AEntity);
// The test-access attribute (TAP_SCAN_IN ...) that names the port, as the
// scan pin kind; eScanPinKind_Normal for none.
TScanPinKind BSDLTapKind(const TEntity& AEntity, std::wstring_view APortName);

// Makes the scan pins (each with its pin mapping), the test-access pins and
// the op-codes, and sets the instruction length and codes, the scan clock,
// the conformance and the other texts from the attributes. The boundary
// register stays lazy.
void CompleteBSDLEntity(TBSDLEntity& AEntity);

// Reads a BSDL file and answers its first entity, complete; nullptr when the
// file cannot be read, holds no entity or has an error.
std::unique_ptr<TBSDLEntity>
ReadCompleteBSDLEntity(const std::wstring& AFileName,
                       TVHDLReaderSurroundings* ASurroundings = nullptr);
