// stellaris-sim: the simulated Stellaris board behind OpenOCD's
// remote_bitbang adapter, on a loopback TCP port.

#include "bitbang-protocol.h"
#include "sim-stats.h"
#include "stellaris-sim.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

struct TOptions {
  TSimConfig Config;
  TSimFaults Faults;
  unsigned Port = 0;
  bool Once = false;
  bool Trace = false;
  unsigned ExitAfterSeconds = 0;
  std::string StatsFile;
};

bool ParseNumber(const char* AText, unsigned long long& AValue) {
  if (!AText || !*AText)
    return false;
  char* end = nullptr;
  errno = 0;
  AValue = std::strtoull(AText, &end, 0);
  return errno == 0 && end && *end == '\0';
}

struct TOptionDef {
  const char* Name;
  bool TakesValue;
  const char* Help;
  std::function<bool(TOptions&, const char*)> Apply;
};

bool SetUnsigned(const char* AText, unsigned& ATarget, unsigned long long AMax) {
  unsigned long long v = 0;
  if (!ParseNumber(AText, v) || v > AMax)
    return false;
  ATarget = static_cast<unsigned>(v);
  return true;
}

const TOptionDef kOptions[] = {
    {"--port", true, "TCP port on 127.0.0.1 (0: a free one)",
     [](TOptions& o, const char* v) { return SetUnsigned(v, o.Port, 65535); }},
    {"--device", true, "part name (LM3S6965)",
     [](TOptions& o, const char* v) {
       const TSimDevice* d = FindSimDevice(v);
       if (!d)
         return false;
       o.Config.Device = d;
       o.Config.FlashKb = d->FlashKb;
       o.Config.SramKb = d->SramKb;
       return true;
     }},
    {"--flash-kb", true, "flash size in KB",
     [](TOptions& o, const char* v) { return SetUnsigned(v, o.Config.FlashKb, 512); }},
    {"--sram-kb", true, "SRAM size in KB",
     [](TOptions& o, const char* v) { return SetUnsigned(v, o.Config.SramKb, 256); }},
    {"--tck-hz", true, "virtual TCK frequency",
     [](TOptions& o, const char* v) {
       unsigned long long n = 0;
       if (!ParseNumber(v, n) || n == 0)
         return false;
       o.Config.TckHz = n;
       return true;
     }},
    {"--steps-per-access", true, "instructions a running core executes per debug-port transaction",
     [](TOptions& o, const char* v) {
       return SetUnsigned(v, o.Config.StepsPerAccess, 100000000) && o.Config.StepsPerAccess > 0;
     }},
    {"--chain-length", true, "TAPs on the chain (default 2)",
     [](TOptions& o, const char* v) { return SetUnsigned(v, o.Config.ChainLength, 16); }},
    {"--chip-position", true, "chain position of the Cortex-M3 (0 = nearest TDO)",
     [](TOptions& o, const char* v) { return SetUnsigned(v, o.Config.ChipPosition, 15); }},
    {"--wait", true, "answer WAIT to the next N DPACC/APACC scans",
     [](TOptions& o, const char* v) { return SetUnsigned(v, o.Faults.WaitAccesses, 1u << 30); }},
    {"--no-power-ack", false, "debug/system power-up is never acknowledged",
     [](TOptions& o, const char*) { return o.Faults.NoPowerAck = true; }},
    {"--tdo-stuck", false, "TDO reads 1 (no target)",
     [](TOptions& o, const char*) { return o.Faults.TdoStuckHigh = true; }},
    {"--bus-error", true, "bus accesses to this word address fail",
     [](TOptions& o, const char* v) {
       unsigned long long n = 0;
       if (!ParseNumber(v, n) || n > 0xFFFFFFFFull)
         return false;
       o.Faults.BusErrorEnabled = true;
       o.Faults.BusErrorAddress = static_cast<uint32_t>(n);
       return true;
     }},
    {"--never-halted", false, "DHCSR never shows S_HALT",
     [](TOptions& o, const char*) { return o.Faults.NeverShowHalted = true; }},
    {"--once", false, "exit when the first connection ends",
     [](TOptions& o, const char*) { return o.Once = true; }},
    {"--exit-after", true, "exit after this many seconds whatever happens",
     [](TOptions& o, const char* v) { return SetUnsigned(v, o.ExitAfterSeconds, 86400); }},
    {"--stats", true, "append each connection's counters to this file when it ends",
     [](TOptions& o, const char* v) {
       o.StatsFile = v;
       return !o.StatsFile.empty();
     }},
    {"--trace", false, "log every bus access on stderr",
     [](TOptions& o, const char*) { return o.Trace = true; }},
};

void Usage() {
  std::fprintf(stderr, "usage: stellaris-sim [options]\n");
  for (const auto& d : kOptions)
    std::fprintf(stderr, "  %-16s %s %s\n", d.Name, d.TakesValue ? "N" : " ", d.Help);
}

bool ParseOptions(int argc, char** argv, TOptions& AOptions) {
  for (int i = 1; i < argc; ++i) {
    const TOptionDef* def = nullptr;
    for (const auto& d : kOptions)
      if (std::strcmp(argv[i], d.Name) == 0)
        def = &d;
    if (!def) {
      std::fprintf(stderr, "stellaris-sim: unknown option %s\n", argv[i]);
      return false;
    }
    const char* value = nullptr;
    if (def->TakesValue) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "stellaris-sim: %s needs a value\n", def->Name);
        return false;
      }
      value = argv[++i];
    }
    if (!def->Apply(AOptions, value)) {
      std::fprintf(stderr, "stellaris-sim: bad value for %s\n", def->Name);
      return false;
    }
  }
  return true;
}

bool SendAll(int AFd, const std::string& AData) {
  size_t sent = 0;
  while (sent < AData.size()) {
    const ssize_t n = send(AFd, AData.data() + sent, AData.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Socket bytes of all connections so far.
struct TTraffic {
  uint64_t Received = 0;
  uint64_t Sent = 0;
};

void Serve(int AClient, TStellarisSim& ASim, TBitbangProtocol& AProtocol, TTraffic& ATraffic) {
  AProtocol.Restart();
  char buffer[16384];
  std::string reply;
  for (;;) {
    const ssize_t n = recv(AClient, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    ATraffic.Received += static_cast<uint64_t>(n);
    reply.clear();
    const bool more = AProtocol.Feed(buffer, static_cast<size_t>(n), reply);
    if (!reply.empty()) {
      if (!SendAll(AClient, reply))
        return;
      ATraffic.Sent += reply.size();
    }
    if (!more)
      return;
  }
  (void)ASim;
}

} // namespace

int main(int argc, char** argv) {
  TOptions options;
  if (!ParseOptions(argc, argv, options)) {
    Usage();
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  if (options.ExitAfterSeconds)
    alarm(options.ExitAfterSeconds);

  TStellarisSim* simPtr = nullptr;
  try {
    simPtr = new TStellarisSim(options.Config);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "stellaris-sim: %s\n", e.what());
    return 2;
  }
  TStellarisSim& sim = *simPtr;
  sim.Faults() = options.Faults;
  if (options.Trace)
    sim.Chip().SetTraceHook([](bool w, uint32_t a, unsigned s, uint32_t v, bool ok) {
      std::fprintf(stderr, "%s%u 0x%08x = 0x%08x%s\n", w ? "W" : "R", s * 8, a, v,
                   ok ? "" : " ERROR");
    });

  const int server = socket(AF_INET, SOCK_STREAM, 0);
  if (server < 0) {
    std::perror("stellaris-sim: socket");
    return 1;
  }
  const int one = 1;
  setsockopt(server, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(options.Port));
  if (bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(server, 1) != 0) {
    std::perror("stellaris-sim: bind");
    return 1;
  }
  socklen_t length = sizeof address;
  getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
  std::printf("listening on 127.0.0.1:%u\n", unsigned(ntohs(address.sin_port)));
  std::fflush(stdout);

  TBitbangProtocol protocol(sim);
  TTraffic traffic;
  unsigned connections = 0;
  for (;;) {
    const int client = accept(server, nullptr, nullptr);
    if (client < 0) {
      if (errno == EINTR)
        continue;
      std::perror("stellaris-sim: accept");
      return 1;
    }
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const TSimStats before = TakeSimStats(sim, traffic.Received, traffic.Sent);
    Serve(client, sim, protocol, traffic);
    close(client);
    ++connections;
    if (!options.StatsFile.empty()) {
      // Appended and closed at once, so a reader sees whole lines as soon as
      // a client has gone, whatever the server does next.
      const TSimStats used = TakeSimStats(sim, traffic.Received, traffic.Sent) - before;
      if (FILE* stats = std::fopen(options.StatsFile.c_str(), "a")) {
        std::fprintf(stats, "%s\n", FormatSimStats(connections, used).c_str());
        std::fclose(stats);
      } else {
        std::fprintf(stderr, "stellaris-sim: cannot write %s: %s\n", options.StatsFile.c_str(),
                     std::strerror(errno));
      }
    }
    const TSimCounters& c = sim.Counters();
    std::fprintf(stderr,
                 "stellaris-sim: connection closed; %llu TCK, %llu DAP transactions, "
                 "%llu instructions, %llu flash words programmed, %llu pages erased, "
                 "virtual %llu us; %llu scans, %llu bytes in, %llu bytes out\n",
                 static_cast<unsigned long long>(c.TckCycles),
                 static_cast<unsigned long long>(c.DapTransactions),
                 static_cast<unsigned long long>(c.Instructions),
                 static_cast<unsigned long long>(c.FlashWordPrograms),
                 static_cast<unsigned long long>(c.FlashPageErases),
                 static_cast<unsigned long long>(sim.VirtualTimeNs() / 1000),
                 static_cast<unsigned long long>(sim.IrScans() + sim.DrScans()),
                 static_cast<unsigned long long>(traffic.Received),
                 static_cast<unsigned long long>(traffic.Sent));
    if (options.Once)
      break;
  }
  close(server);
  delete simPtr;
  return 0;
}
