#pragma once

#include "stellaris-sim.h"

#include <cstddef>
#include <string>

// OpenOCD's remote_bitbang protocol, one character per command:
//   '0'..'7'  set TCK (4), TMS (2), TDI (1); a rising TCK is one edge
//   'R'       read TDO: answered with '0' or '1'
//   'r'..'u'  reset pins: 'r' none, 's' SRST, 't' TRST, 'u' both asserted
//   'B', 'b'  blink LED on/off (accepted, no effect)
//   'Q'       quit: the connection ends
// Anything else is ignored. The interpreter holds no socket: the server
// feeds it what it receives and sends back what it answers.
class TBitbangProtocol {
public:
  explicit TBitbangProtocol(TStellarisSim& ASim) : FSim(ASim) {}

  // Interprets the bytes; appends the answers to AReply. Returns false once
  // 'Q' was seen (the rest of the buffer is not interpreted).
  bool Feed(const char* AData, size_t ASize, std::string& AReply);
  // A new connection starts with TCK low.
  void Restart() { FTck = false; }
  bool LedOn() const { return FLed; }

private:
  TStellarisSim& FSim;
  bool FTck = false, FTms = false, FTdi = false, FLed = false;
};
