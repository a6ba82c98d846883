#include "remote-bitbang-target.h"

#include "tap.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// The few socket calls the client makes, on Winsock and on BSD sockets. The
// handle travels as uintptr_t; both systems' invalid handle is all ones.
constexpr uintptr_t kNoSocket = ~uintptr_t(0);

#ifdef _WIN32

using TNativeSocket = SOCKET;

struct TSocketErrorText {
  int Code;
  const char* Text;
};

constexpr TSocketErrorText kSocketErrors[] = {
    {WSAECONNREFUSED, "connection refused"},     {WSAETIMEDOUT, "timed out"},
    {WSAEHOSTUNREACH, "host unreachable"},       {WSAENETUNREACH, "network unreachable"},
    {WSAECONNRESET, "connection reset"},         {WSAECONNABORTED, "connection aborted"},
    {WSAEADDRNOTAVAIL, "address not available"}, {WSAHOST_NOT_FOUND, "host not found"},
};
constexpr int kRefused = WSAECONNREFUSED;

bool StartSockets() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
void StopSockets() {
  WSACleanup();
}
int SocketError() {
  return WSAGetLastError();
}
void CloseSocket(uintptr_t ASocket) {
  closesocket(TNativeSocket(ASocket));
}
bool ConnectPending(int AError) {
  return AError == WSAEWOULDBLOCK || AError == WSAEINPROGRESS;
}
bool WouldBlock(int AError) {
  return AError == WSAEWOULDBLOCK;
}

void MakeNonBlocking(uintptr_t ASocket) {
  u_long nonBlocking = 1;
  ioctlsocket(TNativeSocket(ASocket), FIONBIO, &nonBlocking);
}

long SendSome(uintptr_t ASocket, const char* AData, size_t ACount) {
  return send(TNativeSocket(ASocket), AData, int(ACount), 0);
}

long ReceiveSome(uintptr_t ASocket, char* AData, size_t ACount) {
  return recv(TNativeSocket(ASocket), AData, int(ACount), 0);
}

int PendingError(uintptr_t ASocket) {
  int status = 0;
  int length = sizeof status;
  getsockopt(TNativeSocket(ASocket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&status),
             &length);
  return status;
}

timeval Timeout(unsigned AMilliseconds) {
  timeval t{};
  t.tv_sec = long(AMilliseconds / 1000);
  t.tv_usec = long(AMilliseconds % 1000) * 1000;
  return t;
}

// 1 when the socket can be read (AWrite false) or written, 0 after
// AMilliseconds, -1 on a failed wait (SocketError() says why). AFailed, when
// given, tells whether a pending connection failed.
int WaitReady(uintptr_t ASocket, bool AWrite, unsigned AMilliseconds, bool* AFailed = nullptr) {
  const TNativeSocket socket = TNativeSocket(ASocket);
  fd_set ready, failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(socket, &ready);
  FD_SET(socket, &failed);
  timeval timeout = Timeout(AMilliseconds);
  const int n = select(0, AWrite ? nullptr : &ready, AWrite ? &ready : nullptr,
                       AFailed ? &failed : nullptr, &timeout);
  if (n == SOCKET_ERROR)
    return -1;
  if (AFailed)
    *AFailed = n > 0 && FD_ISSET(socket, &failed);
  return n > 0 ? 1 : 0;
}

#else

using TNativeSocket = int;

struct TSocketErrorText {
  int Code;
  const char* Text;
};

constexpr TSocketErrorText kSocketErrors[] = {
    {ECONNREFUSED, "connection refused"},     {ETIMEDOUT, "timed out"},
    {EHOSTUNREACH, "host unreachable"},       {ENETUNREACH, "network unreachable"},
    {ECONNRESET, "connection reset"},         {ECONNABORTED, "connection aborted"},
    {EADDRNOTAVAIL, "address not available"}, {EPIPE, "connection closed by the server"},
};
constexpr int kRefused = ECONNREFUSED;

bool StartSockets() {
  return true;
}
void StopSockets() {}
int SocketError() {
  return errno;
}
void CloseSocket(uintptr_t ASocket) {
  close(TNativeSocket(ASocket));
}
bool ConnectPending(int AError) {
  return AError == EINPROGRESS || AError == EINTR;
}
bool WouldBlock(int AError) {
  return AError == EAGAIN || AError == EWOULDBLOCK || AError == EINTR;
}

void MakeNonBlocking(uintptr_t ASocket) {
  const int flags = fcntl(TNativeSocket(ASocket), F_GETFL, 0);
  fcntl(TNativeSocket(ASocket), F_SETFL, flags | O_NONBLOCK);
}

// MSG_NOSIGNAL: a server that went away is an error to report, not a
// SIGPIPE that ends the program.
long SendSome(uintptr_t ASocket, const char* AData, size_t ACount) {
  return long(send(TNativeSocket(ASocket), AData, ACount, MSG_NOSIGNAL));
}

long ReceiveSome(uintptr_t ASocket, char* AData, size_t ACount) {
  return long(recv(TNativeSocket(ASocket), AData, ACount, 0));
}

int PendingError(uintptr_t ASocket) {
  int status = 0;
  socklen_t length = sizeof status;
  getsockopt(TNativeSocket(ASocket), SOL_SOCKET, SO_ERROR, &status, &length);
  return status;
}

// As the Winsock form; a signal that interrupts the wait does not stretch it
// past AMilliseconds.
int WaitReady(uintptr_t ASocket, bool AWrite, unsigned AMilliseconds, bool* AFailed = nullptr) {
  using TClock = std::chrono::steady_clock;
  const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(AMilliseconds);
  pollfd entry{};
  entry.fd = TNativeSocket(ASocket);
  entry.events = AWrite ? POLLOUT : POLLIN;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    const int n = poll(&entry, 1, int(std::max<long long>(left, 0)));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return -1;
    if (AFailed)
      *AFailed = n > 0 && (entry.revents & (POLLERR | POLLHUP)) != 0;
    return n > 0 ? 1 : 0;
  }
}

#endif

constexpr char kPrefix[] = "remote_bitbang:";
constexpr char kForm[] = "remote_bitbang:HOST:PORT[:IR,IR,...]";

// Limits of chain discovery: the IDCODE scan reads one more 32-bit word than
// the longest chain it accepts, the IR measurement flushes this many bits.
constexpr unsigned kMaxDevices = 32;
constexpr unsigned kMaxIrBits = 1024;
constexpr unsigned kMaxDeviceIrBits = 255;
constexpr uint32_t kNoMoreDevices = 0xFFFFFFFF;

// A long scan is sent in pieces of this size, each followed by reading its
// answers, so neither side's socket buffer can fill while the other waits.
constexpr size_t kBatchBytes = 32 * 1024;

// The instruction key of a device just out of Test-Logic-Reset (IDCODE or
// BYPASS, whichever it has); "" stands for an instruction nobody knows.
constexpr char kResetInstruction[] = "reset";

std::string SocketErrorText(int ACode) {
  for (const auto& e : kSocketErrors)
    if (e.Code == ACode)
      return e.Text;
  return "socket error " + std::to_string(ACode);
}

std::vector<std::string> Split(const std::string& AText, char ASeparator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = AText.find(ASeparator, start);
    parts.push_back(
        AText.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos)
      return parts;
    start = end + 1;
  }
}

bool ParseDecimal(const std::string& AText, unsigned long AMin, unsigned long AMax,
                  unsigned long& AValue) {
  if (AText.empty() || AText.size() > 9)
    return false;
  for (const char c : AText)
    if (c < '0' || c > '9')
      return false;
  AValue = std::strtoul(AText.c_str(), nullptr, 10);
  return AValue >= AMin && AValue <= AMax;
}

[[noreturn]] void BadSpec(const std::string& ASpec, const std::string& AWhat) {
  throw ERemoteBitbangError("bad JTAG target \"" + ASpec + "\": " + AWhat + "; expected " + kForm);
}

// One character per pin write: '0' + TCK*4 + TMS*2 + TDI.
char PinWrite(bool ATck, bool ATms, bool ATdi) {
  return char('0' + (ATck ? 4 : 0) + (ATms ? 2 : 0) + (ATdi ? 1 : 0));
}

} // namespace

TRemoteBitbangOptions ParseRemoteBitbangSpec(const std::string& ASpec) {
  if (ASpec.compare(0, sizeof kPrefix - 1, kPrefix) != 0)
    BadSpec(ASpec, "unknown kind");
  const std::vector<std::string> parts = Split(ASpec.substr(sizeof kPrefix - 1), ':');
  if (parts.size() > 3)
    BadSpec(ASpec, "too many fields");
  TRemoteBitbangOptions options;
  const std::string& portText = parts.size() == 1 ? parts[0] : parts[1];
  if (parts.size() >= 2 && !parts[0].empty())
    options.Host = parts[0];
  unsigned long port = 0;
  if (!ParseDecimal(portText, 1, 65535, port))
    BadSpec(ASpec, "bad port \"" + portText + "\"");
  options.Port = uint16_t(port);
  if (parts.size() == 3) {
    for (const std::string& length : Split(parts[2], ',')) {
      unsigned long bits = 0;
      if (!ParseDecimal(length, 1, kMaxDeviceIrBits, bits))
        BadSpec(ASpec, "bad IR length \"" + length + "\"");
      options.IrLengths.push_back(unsigned(bits));
    }
    if (options.IrLengths.size() > kMaxDevices)
      BadSpec(ASpec, "too many devices");
  }
  return options;
}

TRemoteBitbangTarget::TRemoteBitbangTarget(const TRemoteBitbangOptions& AOptions)
    : FSocket(kNoSocket), FReceiveTimeoutMs(AOptions.ReceiveTimeoutMs),
      FEndpoint(AOptions.Host + ":" + std::to_string(AOptions.Port)) {
  try {
    Connect(AOptions);
    Discover(AOptions.IrLengths);
  } catch (...) {
    if (FSocket != kNoSocket)
      CloseSocket(FSocket);
    if (FSocketsStarted)
      StopSockets();
    throw;
  }
}

TRemoteBitbangTarget::~TRemoteBitbangTarget() {
  if (FSocket != kNoSocket) {
    // What is still held back goes out with the end of the session; a server
    // that is gone already is no error here.
    if (!FBroken) {
      FQueued += 'Q';
      SendSome(FSocket, FQueued.data(), FQueued.size());
    }
    CloseSocket(FSocket);
  }
  if (FSocketsStarted)
    StopSockets();
}

void TRemoteBitbangTarget::Fail(const std::string& AText) {
  FBroken = true;
  FQueued.clear();
  FQueuedReads = 0;
  FAnswers.clear();
  throw ERemoteBitbangError("remote_bitbang " + FEndpoint + ": " + AText);
}

void TRemoteBitbangTarget::Connect(const TRemoteBitbangOptions& AOptions) {
  if (!StartSockets())
    Fail("Winsock is not available");
  FSocketsStarted = true;

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(AOptions.Port);
  if (getaddrinfo(AOptions.Host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
    Fail("cannot resolve the host name");
  sockaddr_in address{};
  std::memcpy(&address, found->ai_addr, std::min(sizeof address, size_t(found->ai_addrlen)));
  freeaddrinfo(found);

  const TNativeSocket created = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  FSocket = uintptr_t(created);
  if (FSocket == kNoSocket)
    Fail("cannot create a socket: " + SocketErrorText(SocketError()));
  MakeNonBlocking(FSocket);
  const int noDelay = 1;
  setsockopt(created, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
             sizeof noDelay);

  if (connect(created, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const int error = SocketError();
    if (!ConnectPending(error))
      Fail("cannot connect: " + SocketErrorText(error));
    bool failed = false;
    const int ready = WaitReady(FSocket, true, AOptions.ConnectTimeoutMs, &failed);
    if (ready == 0)
      Fail("no connection within " + std::to_string(AOptions.ConnectTimeoutMs) + " ms");
    if (ready < 0)
      Fail("cannot connect: " + SocketErrorText(SocketError()));
    int status = PendingError(FSocket);
    if (status == 0 && failed)
      status = kRefused;
    if (status != 0)
      Fail("cannot connect: " + SocketErrorText(status));
  }
}

void TRemoteBitbangTarget::SendAll(const std::string& AData) {
  ++FSends;
  size_t sent = 0;
  while (sent < AData.size()) {
    const long n = SendSome(FSocket, AData.data() + sent, AData.size() - sent);
    if (n > 0) {
      sent += size_t(n);
      continue;
    }
    const int error = SocketError();
    if (n < 0 && !WouldBlock(error))
      Fail("the connection is lost: " + SocketErrorText(error));
    if (WaitReady(FSocket, true, FReceiveTimeoutMs) <= 0)
      Fail("the server takes no more data (waited " + std::to_string(FReceiveTimeoutMs) + " ms)");
  }
}

void TRemoteBitbangTarget::ReceiveInto(std::string& AAnswers, size_t ACount) {
  const size_t start = AAnswers.size();
  AAnswers.resize(start + ACount);
  size_t got = 0;
  while (got < ACount) {
    const int ready = WaitReady(FSocket, false, FReceiveTimeoutMs);
    if (ready == 0)
      Fail("no answer from the server within " + std::to_string(FReceiveTimeoutMs) + " ms (" +
           std::to_string(got) + " of " + std::to_string(ACount) + " TDO bits came)");
    if (ready < 0)
      Fail("the connection is lost: " + SocketErrorText(SocketError()));
    const long n = ReceiveSome(FSocket, &AAnswers[start + got], ACount - got);
    if (n == 0)
      Fail("the server closed the connection in the middle of a scan");
    if (n < 0) {
      const int error = SocketError();
      if (WouldBlock(error))
        continue;
      Fail("the connection is lost: " + SocketErrorText(error));
    }
    got += size_t(n);
  }
  for (size_t i = start; i < AAnswers.size(); ++i)
    if (AAnswers[i] != '0' && AAnswers[i] != '1')
      Fail("the server answered a TDO read with a byte other than '0' or '1'");
}

std::string TRemoteBitbangTarget::Exchange() {
  if (FBroken)
    Fail("the connection was lost earlier");
  if (!FQueued.empty()) {
    const size_t reads = FQueuedReads;
    SendAll(FQueued);
    FQueued.clear();
    FQueuedReads = 0;
    if (reads > 0) {
      ++FRoundTrips;
      ReceiveInto(FAnswers, reads);
    }
  }
  return std::exchange(FAnswers, std::string());
}

void TRemoteBitbangTarget::Clock(bool ATms, bool ATdi, bool ARead) {
  // TCK low with the new TMS/TDI, TDO sampled while TCK is low, then the
  // rising edge.
  FQueued += PinWrite(false, ATms, ATdi);
  if (ARead) {
    FQueued += 'R';
    ++FQueuedReads;
  }
  FQueued += PinWrite(true, ATms, ATdi);

  const TTapState next = NextTapState(static_cast<TTapState>(FState), ATms);
  FState = unsigned(next);
  for (TDevice& device : FDevices) {
    if (next == TTapState::IrCapture)
      device.Pending.clear();
    if (next == TTapState::IrUpdate)
      device.Instruction = device.Pending;
    if (next == TTapState::Reset)
      device.Instruction = kResetInstruction;
  }
  if (FQueued.size() >= kBatchBytes) {
    std::string early = Exchange();
    FAnswers = std::move(early);
  }
}

void TRemoteBitbangTarget::WalkTo(unsigned AState) {
  // A move into a shift state starts a new scan, so it goes to Capture first
  // even when the chain is in Pause or Exit.
  const bool intoShift =
      AState == unsigned(TTapState::DrShift) || AState == unsigned(TTapState::IrShift);
  const unsigned goal = intoShift ? AState - 1 : AState;
  if (AState == FState)
    return;
  // Breadth-first over the state diagram: at most a handful of steps.
  constexpr unsigned kStates = unsigned(TTapState::IrUpdate) + 1;
  std::string path[kStates];
  bool seen[kStates] = {};
  unsigned queue[kStates];
  unsigned head = 0, tail = 0;
  queue[tail++] = FState;
  seen[FState] = true;
  while (head < tail && !seen[goal]) {
    const unsigned s = queue[head++];
    for (const bool tms : {false, true}) {
      const unsigned n = unsigned(NextTapState(static_cast<TTapState>(s), tms));
      if (seen[n])
        continue;
      seen[n] = true;
      path[n] = path[s] + (tms ? '1' : '0');
      queue[tail++] = n;
    }
  }
  std::string tms = path[goal];
  if (intoShift)
    tms += '0';
  for (const char bit : tms)
    Clock(bit == '1', false, false);
}

void TRemoteBitbangTarget::ResetTap() {
  for (int i = 0; i < 5; ++i)
    Clock(true, false, false);
}

void TRemoteBitbangTarget::Discover(const std::vector<unsigned>& AIrLengths) {
  // One batch: reset, every IDCODE (ones shifted behind them mark the end of
  // the chain), the IR capture followed by a single zero pushed through all
  // instruction registers (its delay is their total length; the ones around
  // it leave every device in BYPASS), and a final reset into Run-Test/Idle.
  ResetTap();
  WalkTo(unsigned(TTapState::DrShift));
  const unsigned idBits = 32 * (kMaxDevices + 1);
  for (unsigned i = 0; i < idBits; ++i)
    Clock(i + 1 == idBits, true, true);
  WalkTo(unsigned(TTapState::IrShift));
  const unsigned irBits = 2 * kMaxIrBits + 1;
  for (unsigned i = 0; i < irBits; ++i)
    Clock(i + 1 == irBits, i != kMaxIrBits, true);
  ResetTap();
  Clock(false, false, false);
  const std::string answers = Exchange();
  const std::string ids = answers.substr(0, idBits);
  const std::string ir = answers.substr(idBits);

  // Position 0 shifts out first: an IDCODE (bit 0 set, 32 bits) or the
  // single zero of a BYPASS register.
  size_t at = 0;
  bool ended = false;
  while (!ended && FDevices.size() <= kMaxDevices && at < ids.size()) {
    TDevice device;
    if (ids[at] == '0') {
      ++at;
    } else {
      if (at + 32 > ids.size())
        break;
      uint32_t code = 0;
      for (unsigned b = 0; b < 32; ++b)
        if (ids[at + b] == '1')
          code |= 1u << b;
      at += 32;
      if (code == kNoMoreDevices) {
        ended = true;
        continue;
      }
      device.Idcode = code;
    }
    FDevices.push_back(device);
  }
  if (ended && FDevices.empty())
    Fail("no device on the JTAG chain (TDO stays high)");
  if (!ended || FDevices.size() > kMaxDevices)
    Fail("no end of the JTAG chain within " + std::to_string(kMaxDevices) +
         " devices (TDO stays low or the chain is broken)");

  const size_t zero = ir.find('0', kMaxIrBits);
  if (zero == std::string::npos || zero == kMaxIrBits)
    Fail("the instruction registers cannot be measured (TDO does not follow TDI)");
  const unsigned total = unsigned(zero - kMaxIrBits);

  std::vector<unsigned> lengths = AIrLengths;
  if (!lengths.empty()) {
    if (lengths.size() != FDevices.size())
      Fail("the chain holds " + std::to_string(FDevices.size()) + " devices but " +
           std::to_string(lengths.size()) + " IR lengths were given");
  } else if (FDevices.size() == 1) {
    lengths.push_back(total);
  } else {
    // Every instruction register captures ...01: each device's bits start
    // with "10" in shifting order. When exactly one such start per device
    // shows, the lengths follow.
    std::vector<unsigned> starts;
    for (unsigned i = 0; i + 1 < total; ++i)
      if (ir[i] == '1' && ir[i + 1] == '0')
        starts.push_back(i);
    if (starts.size() != FDevices.size() || starts.front() != 0)
      Fail("the IR lengths of the " + std::to_string(FDevices.size()) +
           " devices cannot be told apart; give them as " + kForm);
    starts.push_back(total);
    for (size_t i = 0; i + 1 < starts.size(); ++i)
      lengths.push_back(starts[i + 1] - starts[i]);
  }
  unsigned sum = 0;
  for (const unsigned length : lengths)
    sum += length;
  if (sum != total)
    Fail("the IR lengths add up to " + std::to_string(sum) + " bits but the chain holds " +
         std::to_string(total));
  for (size_t i = 0; i < FDevices.size(); ++i) {
    TDevice& device = FDevices[i];
    device.IrLength = lengths[i];
    device.Instruction = kResetInstruction;
    device.DrLengths[kResetInstruction] = device.Idcode != 0 ? 32 : 1;
    device.DrLengths[std::string(device.IrLength, '1')] = 1;
  }
}

unsigned TRemoteBitbangTarget::IrLength(unsigned APosition) const {
  if (APosition >= FDevices.size())
    throw EJtagChannelError("no device at chain position " + std::to_string(APosition));
  return FDevices[APosition].IrLength;
}

uint32_t TRemoteBitbangTarget::Idcode(unsigned APosition) const {
  if (APosition >= FDevices.size())
    throw EJtagChannelError("no device at chain position " + std::to_string(APosition));
  return FDevices[APosition].Idcode;
}

void TRemoteBitbangTarget::MoveToState(int AState) {
  // Held back: a move needs no answer, and the next scan takes it along.
  if (AState == int(TTapState::Reset))
    ResetTap();
  else if (AState > int(TTapState::Reset) && AState <= int(TTapState::IrUpdate))
    WalkTo(unsigned(AState));
}

void TRemoteBitbangTarget::Flush() {
  if (FQueued.empty())
    return;
  std::string answers = Exchange();
  FAnswers = std::move(answers);
}

std::string TRemoteBitbangTarget::ShiftIR(unsigned APosition, const std::string& ABits) {
  if (ABits.size() != IrLength(APosition))
    throw EJtagChannelError("instruction length does not match the device");
  return Shift(APosition, ABits, true);
}

std::string TRemoteBitbangTarget::ShiftDR(unsigned APosition, const std::string& ABits) {
  return Shift(APosition, ABits, false);
}

void TRemoteBitbangTarget::ShiftIRBlind(unsigned APosition, const std::string& ABits) {
  if (ABits.size() != IrLength(APosition))
    throw EJtagChannelError("instruction length does not match the device");
  Shift(APosition, ABits, true, false);
}

std::string TRemoteBitbangTarget::Shift(unsigned APosition, const std::string& ABits,
                                        bool AInstruction, bool ACapture) {
  if (APosition >= FDevices.size())
    throw EJtagChannelError("no device at chain position " + std::to_string(APosition));
  if (ABits.empty())
    throw EJtagChannelError("empty bit string");
  for (const char c : ABits)
    if (c != '0' && c != '1')
      throw EJtagChannelError("bit strings hold only '0' and '1'");

  // The walk may pass Update-IR, which decides the other devices' registers.
  WalkTo(unsigned(AInstruction ? TTapState::IrShift : TTapState::DrShift));

  // Bits in shifting order, the device nearest TDO first; the others get
  // BYPASS or zeros in the register their instruction selects.
  std::string in;
  size_t offset = 0;
  for (unsigned i = 0; i < FDevices.size(); ++i) {
    const TDevice& device = FDevices[i];
    if (i == APosition) {
      offset = in.size();
      in.append(ABits.rbegin(), ABits.rend());
    } else if (AInstruction) {
      in.append(device.IrLength, '1');
    } else {
      const auto known = device.DrLengths.find(device.Instruction);
      if (known == device.DrLengths.end()) {
        // The walk stays queued: the wire keeps in step with the tracked state.
        throw EJtagChannelError("the data register length of the device at chain position " +
                                std::to_string(i) + " is not known; load its instruction first");
      }
      in.append(known->second, '0');
    }
  }
  if (AInstruction)
    for (unsigned i = 0; i < FDevices.size(); ++i)
      FDevices[i].Pending = i == APosition ? ABits : std::string(FDevices[i].IrLength, '1');
  for (size_t i = 0; i < in.size(); ++i)
    Clock(i + 1 == in.size(), in[i] == '1', ACapture);
  // Nothing to wait for: the bits go out with the next scan that reads.
  if (!ACapture)
    return {};
  const std::string out = Exchange();
  if (!AInstruction && !FDevices[APosition].Instruction.empty())
    FDevices[APosition].DrLengths[FDevices[APosition].Instruction] = unsigned(ABits.size());

  std::string captured = out.substr(offset, ABits.size());
  std::reverse(captured.begin(), captured.end());
  return captured;
}
