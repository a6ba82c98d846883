#include "bitbang-protocol.h"

bool TBitbangProtocol::Feed(const char* AData, size_t ASize, std::string& AReply) {
  for (size_t i = 0; i < ASize; ++i) {
    const char c = AData[i];
    if (c >= '0' && c <= '7') {
      const unsigned bits = static_cast<unsigned>(c - '0');
      const bool tck = bits & 4;
      FTms = bits & 2;
      FTdi = bits & 1;
      if (tck && !FTck)
        FSim.ClockBit(FTms, FTdi);
      FTck = tck;
    } else if (c == 'R') {
      AReply += FSim.Tdo() ? '1' : '0';
    } else if (c >= 'r' && c <= 'u') {
      const unsigned bits = static_cast<unsigned>(c - 'r');
      FSim.SetTrst(bits & 2);
      FSim.SetSrst(bits & 1);
    } else if (c == 'B' || c == 'b') {
      FLed = c == 'B';
    } else if (c == 'Q') {
      return false;
    }
  }
  return true;
}
