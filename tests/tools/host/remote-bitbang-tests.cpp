// The remote_bitbang scan target against a server in the test: a listener
// on a thread that feeds what it receives to the simulated chip's protocol
// interpreter and records every byte.

#include "jtag-channel.h"
#include "remote-bitbang-target.h"
#include "sim-scan-target.h"

#include "bitbang-protocol.h"
#include "stellaris-sim.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using ::testing::AnyOf;
using ::testing::HasSubstr;

constexpr uint32_t kChipIdcode = 0x3BA00477;
constexpr int kReset = 1, kIdle = 2, kDrShift = 5, kDrExit1 = 6, kIrShift = 12, kIrExit1 = 13;

// A listening loopback socket on a port the system picks.
int Listen(uint16_t& APort) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener, 1);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  APort = ntohs(address.sin_port);
  return listener;
}

// Serves one connection at a time with the simulated board behind it.
class TBitbangTestServer {
public:
  explicit TBitbangTestServer(const TSimConfig& AConfig = TSimConfig(),
                              const TSimFaults& AFaults = TSimFaults())
      : FSim(AConfig), FProtocol(FSim) {
    FSim.Faults() = AFaults;
    FListener = Listen(FPort);
    FThread = std::thread([this] { Serve(); });
  }
  ~TBitbangTestServer() {
    // The thread looks at FStop every 50 ms.
    FStop = true;
    FThread.join();
    close(FListener);
  }

  uint16_t Port() const { return FPort; }
  TRemoteBitbangOptions Options() const {
    TRemoteBitbangOptions options;
    options.Port = FPort;
    options.ReceiveTimeoutMs = 3000;
    return options;
  }
  std::string Received() {
    std::lock_guard<std::mutex> lock(FLock);
    return FReceived;
  }
  // Writes that wait for no answer may still be on their way.
  std::string ReceivedAtLeast(size_t ACount) {
    for (int i = 0; i < 100 && Received().size() < ACount; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return Received();
  }
  // The connection is dropped once this many bytes came in all told.
  std::atomic<size_t> CloseAfterBytes{SIZE_MAX};
  // Takes the bytes but never answers.
  std::atomic<bool> Silent{false};

private:
  bool WaitReadable(int ASocket) {
    while (!FStop) {
      pollfd entry{ASocket, POLLIN, 0};
      if (poll(&entry, 1, 50) > 0)
        return true;
    }
    return false;
  }
  void Serve() {
    while (WaitReadable(FListener)) {
      const int client = accept(FListener, nullptr, nullptr);
      if (client < 0)
        continue;
      FProtocol.Restart();
      char buffer[4096];
      while (WaitReadable(client)) {
        const ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
          break;
        size_t total = 0;
        {
          std::lock_guard<std::mutex> lock(FLock);
          FReceived.append(buffer, size_t(n));
          total = FReceived.size();
        }
        if (total >= CloseAfterBytes)
          break;
        std::string reply;
        const bool more = FProtocol.Feed(buffer, size_t(n), reply);
        if (!Silent && !reply.empty())
          send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        if (!more)
          break;
      }
      close(client);
    }
  }

  TStellarisSim FSim;
  TBitbangProtocol FProtocol;
  int FListener = -1;
  uint16_t FPort = 0;
  std::atomic<bool> FStop{false};
  std::mutex FLock;
  std::string FReceived;
  std::thread FThread;
};

// A loopback port nobody listens on.
uint16_t ClosedPort() {
  uint16_t port = 0;
  close(Listen(port));
  return port;
}

struct TSpecCase {
  const char* Spec;
  const char* Host;
  uint16_t Port;
  std::vector<unsigned> IrLengths;
};

TEST(RemoteBitbangSpec, ReadsHostPortAndIrLengths) {
  const TSpecCase cases[] = {
      {"remote_bitbang:127.0.0.1:44242", "127.0.0.1", 44242, {}},
      {"remote_bitbang:localhost:1", "localhost", 1, {}},
      {"remote_bitbang::5555", "127.0.0.1", 5555, {}},
      {"remote_bitbang:5555", "127.0.0.1", 5555, {}},
      {"remote_bitbang:10.0.0.2:65535:4,5", "10.0.0.2", 65535, {4, 5}},
      {"remote_bitbang::7:8", "127.0.0.1", 7, {8}},
  };
  for (const TSpecCase& c : cases) {
    SCOPED_TRACE(c.Spec);
    const TRemoteBitbangOptions options = ParseRemoteBitbangSpec(c.Spec);
    EXPECT_EQ(options.Host, c.Host);
    EXPECT_EQ(options.Port, c.Port);
    EXPECT_EQ(options.IrLengths, c.IrLengths);
  }
}

TEST(RemoteBitbangSpec, RejectsMalformedValuesNamingTheFault) {
  const std::pair<const char*, const char*> cases[] = {
      {"jlink:1", "unknown kind"},
      {"remote_bitbang", "unknown kind"},
      {"remote_bitbang:", "bad port"},
      {"remote_bitbang:host:", "bad port"},
      {"remote_bitbang:host:0", "bad port"},
      {"remote_bitbang:host:65536", "bad port"},
      {"remote_bitbang:host:12ab", "bad port"},
      {"remote_bitbang:host:-1", "bad port"},
      {"remote_bitbang:host:99999999999", "bad port"},
      {"remote_bitbang:host:5555:", "bad IR length"},
      {"remote_bitbang:host:5555:4,,5", "bad IR length"},
      {"remote_bitbang:host:5555:0", "bad IR length"},
      {"remote_bitbang:host:5555:4,x", "bad IR length"},
      {"remote_bitbang:host:5555:4:5", "too many fields"},
  };
  for (const auto& [spec, fault] : cases) {
    SCOPED_TRACE(spec);
    try {
      ParseRemoteBitbangSpec(spec);
      ADD_FAILURE() << "accepted";
    } catch (const ERemoteBitbangError& e) {
      EXPECT_THAT(e.what(), HasSubstr(fault));
      EXPECT_THAT(e.what(), HasSubstr("remote_bitbang:HOST:PORT"));
    }
  }
}

// One step of a session and the exact bytes it puts on the wire.
struct TWireStep {
  const char* What;
  char Kind; // 'I' instruction scan, 'D' data scan, 'M' move
  unsigned Position;
  const char* Bits; // for a move: the state
  const char* Wire;
};

// Chain: the chip (IR 4) nearest TDO, the second device (IR 5) behind it.
// Each cycle is TCK low with TMS/TDI, 'R' when TDO is read, then TCK high.
const TWireStep kWireSteps[] = {
    {"IDCODE into the chip, BYPASS into the other", 'I', 0, "1110",
     "2626"
     "0404"
     "0R41R51R51R5"
     "1R51R51R51R53R7"},
    {"eight bits of the chip's IDCODE register, one BYPASS bit padded", 'D', 0, "00000000",
     "2626"
     "0404"
     "0R40R40R40R40R40R40R40R4"
     "2R6"},
    {"back to Run-Test/Idle", 'M', 0, "2", "2604"},
    {"IR scan without a move first: from Idle", 'I', 1, "11110",
     "2626"
     "0404"
     "1R51R51R51R5"
     "0R41R51R51R53R7"},
};

TEST(RemoteBitbangTarget, ScansGoOnTheWireAsPinWritesWithTdoReads) {
  TBitbangTestServer server;
  TRemoteBitbangOptions options = server.Options();
  options.IrLengths = {4, 5};
  TRemoteBitbangTarget remote(options);
  TSimChipTarget local;
  local.MoveToState(kReset);
  size_t seen = server.Received().size();
  for (const TWireStep& step : kWireSteps) {
    SCOPED_TRACE(step.What);
    std::string remoteAnswer, localAnswer;
    if (step.Kind == 'M') {
      remote.MoveToState(std::stoi(step.Bits));
      remote.Flush(); // a move waits for the next read otherwise
      local.MoveToState(std::stoi(step.Bits));
    } else if (step.Kind == 'I') {
      remoteAnswer = remote.ShiftIR(step.Position, step.Bits);
      localAnswer = local.ShiftIR(step.Position, step.Bits);
    } else {
      remoteAnswer = remote.ShiftDR(step.Position, step.Bits);
      localAnswer = local.ShiftDR(step.Position, step.Bits);
    }
    const std::string received = server.ReceivedAtLeast(seen + std::strlen(step.Wire));
    EXPECT_EQ(received.substr(seen), step.Wire);
    seen = received.size();
    EXPECT_EQ(remoteAnswer, localAnswer);
  }
}

TEST(RemoteBitbangTarget, EachScanIsOneRoundTripAndMovesNone) {
  TBitbangTestServer server;
  TRemoteBitbangTarget remote(server.Options());
  EXPECT_EQ(remote.RoundTrips(), 1u) << "discovery is one batch";
  remote.MoveToState(kIrShift);
  EXPECT_EQ(remote.RoundTrips(), 1u);
  remote.ShiftIR(0, "1110");
  remote.ShiftDR(0, std::string(32, '0'));
  EXPECT_EQ(remote.RoundTrips(), 3u);
}

TEST(RemoteBitbangTarget, AnInstructionNobodyReadsGoesOutWithoutAWait) {
  TBitbangTestServer readServer, blindServer;
  TRemoteBitbangTarget reading(readServer.Options()), blind(blindServer.Options());
  const size_t readFrom = readServer.Received().size();
  const size_t blindFrom = blindServer.Received().size();
  reading.ShiftIR(0, "1110");
  blind.ShiftIRBlind(0, "1110");
  EXPECT_EQ(reading.RoundTrips(), 2u);
  EXPECT_EQ(blind.RoundTrips(), 1u) << "only discovery waited";
  EXPECT_EQ(blind.Sends(), 1u) << "held back until something reads";
  blind.Flush();
  EXPECT_EQ(blind.RoundTrips(), 1u);
  // The same pin writes as the read scan, without its TDO reads.
  std::string expected = readServer.Received().substr(readFrom);
  expected.erase(std::remove(expected.begin(), expected.end(), 'R'), expected.end());
  EXPECT_EQ(blindServer.ReceivedAtLeast(blindFrom + expected.size()).substr(blindFrom), expected);
  // The instruction took: the data scans read the same register.
  const std::string zeros(32, '0');
  EXPECT_EQ(blind.ShiftDR(0, zeros), reading.ShiftDR(0, zeros));
  EXPECT_EQ(blind.RoundTrips(), 2u);
}

// Debug-port accesses as the plug-in makes them: to Shift-IR, the
// instruction (nobody reads it), to Shift-DR, the 35-bit scan, back to
// Run-Test/Idle; then the transaction ends. AEveryCall sends each call's pin
// writes on their own, as a client that holds nothing back would.
struct TAccessSession {
  std::vector<std::wstring> Answers;
  uint64_t Sends = 0;
  uint64_t RoundTrips = 0;
};

TAccessSession RunAccesses(TRemoteBitbangTarget& ATarget, bool AEveryCall) {
  TTestJtagChannel channel(ATarget);
  TAccessSession session;
  const uint64_t sendsBefore = ATarget.Sends(), tripsBefore = ATarget.RoundTrips();
  const auto sent = [&] {
    if (AEveryCall)
      ATarget.Flush();
  };
  channel.OpenChannel();
  const uint64_t scans[] = {
      uint64_t(0x50000000) << 3 | 1 << 1 | 0, // CTRL/STAT := power-up requests
      1 << 1 | 1,                             // read CTRL/STAT
      3 << 1 | 1,                             // RDBUFF
      1 << 1 | 1,
      3 << 1 | 1,
  };
  for (const uint64_t scan : scans) {
    channel.MoveToState(kIdle, kIrShift);
    sent();
    channel.ShiftInstruction(0xA, 0);
    sent();
    channel.MoveToState(kIrExit1, kDrShift);
    sent();
    const std::string bits = BitsOf(scan, 35);
    session.Answers.push_back(channel.ShiftDataBits(std::wstring(bits.begin(), bits.end()), 0));
    channel.MoveToState(kDrExit1, kIdle);
    sent();
  }
  channel.CloseChannel();
  session.Sends = ATarget.Sends() - sendsBefore;
  session.RoundTrips = ATarget.RoundTrips() - tripsBefore;
  return session;
}

TEST(RemoteBitbangTarget, AnAccessIsOneSendWithTheSamePinWrites) {
  TBitbangTestServer batchedServer, eagerServer;
  TRemoteBitbangTarget batched(batchedServer.Options()), eager(eagerServer.Options());
  const size_t batchedFrom = batchedServer.Received().size();
  const size_t eagerFrom = eagerServer.Received().size();
  const TAccessSession fewer = RunAccesses(batched, false);
  const TAccessSession each = RunAccesses(eager, true);
  constexpr uint64_t kAccesses = 5;

  EXPECT_EQ(fewer.Answers, each.Answers);
  EXPECT_EQ(fewer.RoundTrips, kAccesses);
  EXPECT_EQ(each.RoundTrips, kAccesses);
  // Each scan's send carries the moves and the instruction before it; the
  // end of the transaction sends the last move back to Run-Test/Idle.
  EXPECT_EQ(fewer.Sends, kAccesses + 1);
  EXPECT_EQ(each.Sends, 5 * kAccesses);

  // The chain sees the same pins in the same order, none left behind: a
  // server answers a read only after everything sent before it.
  const std::string zeros(35, '0');
  EXPECT_EQ(batched.ShiftDR(0, zeros), eager.ShiftDR(0, zeros));
  EXPECT_EQ(batchedServer.Received().substr(batchedFrom), eagerServer.Received().substr(eagerFrom));
}

// The same channel calls on the in-process chip and through the server give
// the same answers, whatever the chain looks like.
std::vector<std::string> ChannelSession(IScanTarget& ATarget) {
  TTestJtagChannel channel(ATarget);
  std::vector<std::string> answers;
  const auto record = [&](uint32_t AValue) { answers.push_back(std::to_string(AValue)); };
  channel.OpenChannel();
  for (unsigned position = 0; position < ATarget.DeviceCount(); ++position) {
    channel.MoveToState(0, kReset);
    channel.MoveToState(kReset, kDrShift);
    record(uint32_t(channel.ShiftDataCapture(0, 32, int32_t(position))));
    channel.MoveToState(kDrExit1, kIdle);
  }
  // The debug port's power-up through DPACC, then CTRL/STAT read back.
  unsigned chip = 0;
  for (unsigned position = 0; position < ATarget.DeviceCount(); ++position)
    if (ATarget.IrLength(position) == 4)
      chip = position;
  channel.SendInstruction(0xA, int32_t(chip));
  channel.MoveToState(kIdle, kDrShift);
  const auto scan = [&](uint64_t AValue) {
    const std::string bits = BitsOf(AValue, 35);
    const std::wstring out =
        channel.ShiftDataBits(std::wstring(bits.begin(), bits.end()), int32_t(chip));
    answers.push_back(std::string(out.begin(), out.end()));
    channel.MoveToState(kDrExit1, kIdle);
    channel.MoveToState(kIdle, kDrShift);
  };
  scan(uint64_t(0x50000000) << 3 | 1 << 1 | 0); // CTRL/STAT := power-up requests
  for (int i = 0; i < 3; ++i) {
    scan(1 << 1 | 1); // read CTRL/STAT
    scan(3 << 1 | 1); // RDBUFF
  }
  // A long scan through every other device's BYPASS bit and the chip's IR.
  channel.MoveToState(kDrExit1, kIrShift);
  ATarget.ShiftIR(chip, "1111");
  std::string longBits;
  for (unsigned i = 0; i < 20000; ++i)
    longBits += (i * 7919u) % 13u < 6 ? '1' : '0';
  answers.push_back(ATarget.ShiftDR(chip, longBits));
  channel.MoveToState(kDrExit1, kIdle);
  channel.CloseChannel();
  return answers;
}

struct TChainCase {
  unsigned Length;
  unsigned ChipPosition;
};

TEST(RemoteBitbangTarget, FindsTheChainAndAnswersAsTheInProcessChip) {
  const TChainCase cases[] = {{2, 0}, {1, 0}, {3, 1}, {4, 3}};
  for (const TChainCase& c : cases) {
    SCOPED_TRACE("chain of " + std::to_string(c.Length) + ", chip at " +
                 std::to_string(c.ChipPosition));
    TSimConfig config;
    config.ChainLength = c.Length;
    config.ChipPosition = c.ChipPosition;
    TBitbangTestServer server(config);
    TRemoteBitbangTarget remote(server.Options());
    TSimChipTarget local(config);
    ASSERT_EQ(remote.DeviceCount(), c.Length);
    for (unsigned position = 0; position < c.Length; ++position) {
      EXPECT_EQ(remote.IrLength(position), local.IrLength(position));
      EXPECT_EQ(remote.Idcode(position),
                position == c.ChipPosition ? kChipIdcode : TStellarisSim::kOtherIdcode);
    }
    const std::vector<std::string> expected = ChannelSession(local);
    EXPECT_EQ(ChannelSession(remote), expected);
    EXPECT_EQ(expected.front(),
              std::to_string(c.ChipPosition == 0 ? kChipIdcode : TStellarisSim::kOtherIdcode));
  }
}

struct TFailureCase {
  const char* What;
  std::function<void(TBitbangTestServer&, TRemoteBitbangOptions&)> Arrange;
  ::testing::Matcher<std::string> Message;
};

TEST(RemoteBitbangTarget, ConnectionFailuresAreErrorsNotHangs) {
  TSimFaults stuck;
  stuck.TdoStuckHigh = true;
  const TFailureCase cases[] = {
      {"nothing listens",
       [](TBitbangTestServer&, TRemoteBitbangOptions& o) { o.Port = ClosedPort(); },
       HasSubstr("cannot connect: connection refused")},
      {"the server never answers",
       [](TBitbangTestServer& s, TRemoteBitbangOptions& o) {
         s.Silent = true;
         o.ReceiveTimeoutMs = 300;
       },
       HasSubstr("no answer from the server within 300 ms")},
      {"the server goes away during discovery",
       [](TBitbangTestServer& s, TRemoteBitbangOptions&) { s.CloseAfterBytes = 100; },
       AnyOf(HasSubstr("closed the connection"), HasSubstr("connection is lost"))},
      {"fewer IR lengths than devices",
       [](TBitbangTestServer&, TRemoteBitbangOptions& o) { o.IrLengths = {4}; },
       HasSubstr("holds 2 devices but 1 IR lengths")},
      {"IR lengths that do not add up",
       [](TBitbangTestServer&, TRemoteBitbangOptions& o) {
         o.IrLengths = {4, 4};
       },
       HasSubstr("add up to 8 bits but the chain holds 9")},
  };
  for (const TFailureCase& c : cases) {
    SCOPED_TRACE(c.What);
    TBitbangTestServer server;
    TRemoteBitbangOptions options = server.Options();
    c.Arrange(server, options);
    try {
      TRemoteBitbangTarget remote(options);
      ADD_FAILURE() << "connected";
    } catch (const ERemoteBitbangError& e) {
      EXPECT_THAT(std::string(e.what()), c.Message);
    }
  }
  TBitbangTestServer server(TSimConfig(), stuck);
  try {
    TRemoteBitbangTarget remote(server.Options());
    ADD_FAILURE() << "found a chain behind a stuck TDO";
  } catch (const ERemoteBitbangError& e) {
    EXPECT_THAT(e.what(), HasSubstr("no device on the JTAG chain"));
  }
}

TEST(RemoteBitbangTarget, ServerGoneMidScanFailsThatScanAndEveryLaterOne) {
  TBitbangTestServer server;
  TRemoteBitbangTarget remote(server.Options());
  TTestJtagChannel channel(remote);
  channel.SendInstruction(0xA, 0);
  server.CloseAfterBytes = server.Received().size() + 40;
  EXPECT_THROW(channel.ShiftDataCapture(0, 32, 0), EJtagChannelError);
  try {
    channel.ShiftDataCapture(0, 32, 0);
    ADD_FAILURE() << "scanned on a lost connection";
  } catch (const ERemoteBitbangError& e) {
    EXPECT_THAT(e.what(), HasSubstr("lost earlier"));
  }
}

// Moves go out without waiting for answers: the writes after the server
// left must fail as errors (no signal ends the program) within a few tries.
TEST(RemoteBitbangTarget, WritesToAServerThatLeftAreErrors) {
  TBitbangTestServer server;
  TRemoteBitbangTarget remote(server.Options());
  server.CloseAfterBytes = server.Received().size() + 1;
  const int states[] = {kIrShift, kIdle};
  bool failed = false;
  for (int i = 0; i < 200 && !failed; ++i) {
    try {
      remote.MoveToState(states[i % 2]);
      remote.Flush();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } catch (const ERemoteBitbangError& e) {
      EXPECT_THAT(e.what(), HasSubstr("connection is lost"));
      failed = true;
    }
  }
  EXPECT_TRUE(failed) << "went on writing to a closed connection";
}

TEST(RemoteBitbangTarget, RefusesScansItCannotLayOut) {
  TBitbangTestServer server;
  TRemoteBitbangTarget remote(server.Options());
  EXPECT_THROW(remote.ShiftIR(0, "111"), EJtagChannelError) << "IR length 4";
  EXPECT_THROW(remote.ShiftDR(2, "1"), EJtagChannelError) << "no third device";
  EXPECT_THROW(remote.ShiftDR(0, "1x"), EJtagChannelError);
  // The chip's DPACC register length shows only once it was scanned: until
  // then a data scan of the second device cannot pad it.
  remote.ShiftIR(0, "1010");
  EXPECT_THROW(remote.ShiftDR(1, "1"), EJtagChannelError);
  remote.ShiftDR(0, std::string(35, '0'));
  EXPECT_EQ(remote.ShiftDR(1, "1"), "0") << "the BYPASS bit captures 0";
}

} // namespace
