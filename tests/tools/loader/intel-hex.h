#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

class EIntelHex : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// An Intel HEX image as the flash writer reads a loader file: data records
// (00) placed by extended linear address records (04), closed by an end
// record (01). Any other record type, a bad checksum or a missing end record
// raises EIntelHex.
struct TIntelHexImage {
  std::map<uint32_t, uint8_t> Bytes; // by absolute address
  std::vector<unsigned> RecordTypes; // in file order

  static TIntelHexImage Parse(const std::string& AText);
};
