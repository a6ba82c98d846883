#include "intel-hex.h"

#include <sstream>

namespace {

unsigned HexByte(const std::string& ALine, size_t APos) {
  if (APos + 2 > ALine.size())
    throw EIntelHex("record too short: " + ALine);
  unsigned value = 0;
  for (size_t i = APos; i < APos + 2; ++i) {
    const char c = ALine[i];
    value <<= 4;
    if (c >= '0' && c <= '9')
      value |= unsigned(c - '0');
    else if (c >= 'A' && c <= 'F')
      value |= unsigned(c - 'A' + 10);
    else
      throw EIntelHex("not a hex digit in: " + ALine);
  }
  return value;
}

} // namespace

TIntelHexImage TIntelHexImage::Parse(const std::string& AText) {
  TIntelHexImage image;
  std::istringstream in(AText);
  std::string line;
  uint32_t upper = 0;
  bool ended = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty())
      continue;
    if (ended)
      throw EIntelHex("record after the end record: " + line);
    if (line[0] != ':' || line.size() % 2 == 0)
      throw EIntelHex("not a record: " + line);
    std::vector<unsigned> bytes;
    for (size_t i = 1; i < line.size(); i += 2)
      bytes.push_back(HexByte(line, i));
    unsigned sum = 0;
    for (unsigned b : bytes)
      sum += b;
    if ((sum & 0xFF) != 0)
      throw EIntelHex("bad checksum: " + line);
    const unsigned count = bytes[0];
    if (bytes.size() != count + 5)
      throw EIntelHex("length does not match the count: " + line);
    const uint32_t offset = (bytes[1] << 8) | bytes[2];
    const unsigned type = bytes[3];
    image.RecordTypes.push_back(type);
    switch (type) {
    case 0x00:
      for (unsigned i = 0; i < count; ++i)
        image.Bytes[(upper << 16) + offset + i] = uint8_t(bytes[4 + i]);
      break;
    case 0x01:
      ended = true;
      break;
    case 0x04:
      if (count != 2)
        throw EIntelHex("bad extended linear address record: " + line);
      upper = (bytes[4] << 8) | bytes[5];
      break;
    default:
      throw EIntelHex("record type " + std::to_string(type) + " not allowed: " + line);
    }
  }
  if (!ended)
    throw EIntelHex("no end record");
  return image;
}
