#include "dap-fixture.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t STICKYERR = TArmDebugPort::STICKYERR;

class TDebugPortTest : public TDapFixture {};

TEST_F(TDebugPortTest, ReadIsPostedToTheNextScan) {
  Scan35(TArmDebugPort::IR_DPACC, 0x8, false, 0x000000F0); // SELECT
  const TScan post = Scan35(TArmDebugPort::IR_DPACC, 0x8, true, 0);
  const TScan fetch = Scan35(TArmDebugPort::IR_DPACC, 0xC, true, 0);
  EXPECT_EQ(post.Ack, TArmDebugPort::kAckOkFault);
  EXPECT_NE(post.Data, 0xF0u); // the posting scan carries the previous result
  EXPECT_EQ(fetch.Data, 0xF0u);
  EXPECT_EQ(fetch.Ack, TArmDebugPort::kAckOkFault);
}

TEST_F(TDebugPortTest, RdbuffReadsHaveNoSideEffects) {
  PowerUp();
  WriteWord(kSram, 0x11111111);
  ApWrite(0x00, 0x12); // word, auto-increment
  ApWrite(0x04, kSram);
  Scan35(TArmDebugPort::IR_APACC, 0x0C, true, 0);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Scan35(TArmDebugPort::IR_DPACC, 0xC, true, 0).Data, 0x11111111u);
  EXPECT_EQ(ApRead(0x04), kSram + 4); // TAR moved once only
}

struct TPowerCase {
  uint32_t Request;
  uint32_t Acks;
};
constexpr TPowerCase kPowerCases[] = {
    {0x00000000, 0x00000000}, {0x10000000, 0x20000000}, // CDBGPWRUPREQ -> CDBGPWRUPACK
    {0x40000000, 0x80000000},                           // CSYSPWRUPREQ -> CSYSPWRUPACK
    {0x50000000, 0xA0000000}, {0x04000000, 0x08000000}, // CDBGRSTREQ -> CDBGRSTACK
};

TEST_F(TDebugPortTest, PowerRequestsAreAcknowledged) {
  for (const auto& c : kPowerCases) {
    DpWrite(0x4, c.Request);
    EXPECT_EQ(CtrlStat() & 0xFC000000, c.Request | c.Acks) << std::hex << c.Request;
  }
}

TEST_F(TDebugPortTest, WithoutPowerAcknowledgeApAccessesFailSticky) {
  Sim.Faults().NoPowerAck = true;
  PowerUp();
  EXPECT_EQ(CtrlStat() & 0xF0000000, 0x50000000u);
  ApWrite(0x04, kSram);
  EXPECT_EQ(CtrlStat() & STICKYERR, STICKYERR);
}

TEST_F(TDebugPortTest, StickyErrorIsClearedByWritingOne) {
  PowerUp();
  ReadWord(0x10000000); // nothing is mapped there
  EXPECT_EQ(CtrlStat() & STICKYERR, STICKYERR);
  DpWrite(0x4, 0x50000000); // zero leaves it
  EXPECT_EQ(CtrlStat() & STICKYERR, STICKYERR);
  ClearSticky();
  EXPECT_EQ(CtrlStat() & STICKYERR, 0u);
}

TEST_F(TDebugPortTest, ApTransactionsAreIgnoredWhileStickyIsSet) {
  PowerUp();
  WriteWord(kSram, 0x1234);
  ReadWord(0x10000000);
  ApWrite(0x04, kSram + 0x40); // discarded
  ApWrite(0x0C, 0xDEAD);       // discarded
  ClearSticky();
  EXPECT_EQ(ApRead(0x04), 0x10000000u);
  EXPECT_EQ(ReadWord(kSram), 0x1234u);
}

TEST_F(TDebugPortTest, ApIdentificationBank) {
  PowerUp();
  EXPECT_EQ(ApRead(0xFC), TArmDebugPort::kApIdr);
  EXPECT_EQ(ApRead(0xF8), TArmDebugPort::kApBase);
  EXPECT_EQ(ApRead(0xF4), 0u);
}

TEST_F(TDebugPortTest, BankedDataRegistersReachTheFourWordsOfTar) {
  PowerUp();
  for (uint32_t i = 0; i < 4; ++i)
    WriteWord(kSram + 0x30 + 4 * i, 0xA0 + i);
  ApWrite(0x00, 0x02);
  ApWrite(0x04, kSram + 0x34); // the low four bits do not matter
  for (uint32_t i = 0; i < 4; ++i)
    EXPECT_EQ(ApRead(0x10 + 4 * i), 0xA0 + i) << i;
  ApWrite(0x18, 0x55);
  EXPECT_EQ(ReadWord(kSram + 0x38), 0x55u);
  ApWrite(0x04, kSram + 0x30);
  EXPECT_EQ(ApRead(0x04), kSram + 0x30); // banked access leaves TAR alone
}

struct TLaneCase {
  uint32_t Csw;
  uint32_t Offset;
  uint32_t Drw;
};
// Memory holds 0x44332211 at SRAM+0x100.
constexpr TLaneCase kLaneCases[] = {
    {0x00, 0, 0x00000011}, {0x00, 1, 0x00002200}, {0x00, 2, 0x00330000}, {0x00, 3, 0x44000000},
    {0x01, 0, 0x00002211}, {0x01, 2, 0x44330000}, {0x02, 0, 0x44332211},
};

TEST_F(TDebugPortTest, ReadReturnsOnlyItsByteLanes) {
  PowerUp();
  WriteWord(kSram + 0x100, 0x44332211);
  for (const auto& c : kLaneCases) {
    ApWrite(0x00, c.Csw);
    ApWrite(0x04, kSram + 0x100 + c.Offset);
    EXPECT_EQ(ApRead(0x0C), c.Drw) << "size " << c.Csw << " offset " << c.Offset;
  }
}

struct TWriteLaneCase {
  uint32_t Csw;
  uint32_t Offset;
  uint32_t Memory;
};
constexpr TWriteLaneCase kWriteLaneCases[] = {
    {0x00, 0, 0x444444DD}, {0x00, 2, 0x44BB4444}, {0x00, 3, 0xAA444444},
    {0x01, 0, 0x4444CCDD}, {0x01, 2, 0xAABB4444}, {0x02, 0, 0xAABBCCDD},
};

TEST_F(TDebugPortTest, WriteTakesOnlyItsByteLanes) {
  PowerUp();
  for (const auto& c : kWriteLaneCases) {
    WriteWord(kSram + 0x200, 0x44444444);
    ApWrite(0x00, c.Csw);
    ApWrite(0x04, kSram + 0x200 + c.Offset);
    ApWrite(0x0C, 0xAABBCCDD);
    EXPECT_EQ(ReadWord(kSram + 0x200), c.Memory) << "size " << c.Csw << " offset " << c.Offset;
  }
}

struct TIncrementCase {
  uint32_t Csw;
  uint32_t Start;
  uint32_t After;
};
constexpr TIncrementCase kIncrementCases[] = {
    {0x12, kSram + 0x3FC, kSram + 0x400},   // carries across a 1 KB boundary
    {0x12, kSram + 0xFFC, kSram + 0x000},   // wraps inside the 4 KB block
    {0x12, kSram + 0x1FFC, kSram + 0x1000}, // the block is the one TAR is in
    {0x11, kSram + 0xFFE, kSram + 0x000},   {0x10, kSram + 0x001, kSram + 0x002},
    {0x02, kSram + 0x3FC, kSram + 0x3FC}, // no increment
};

TEST_F(TDebugPortTest, TarIncrementsBySizeAndWrapsAt4KB) {
  PowerUp();
  for (const auto& c : kIncrementCases) {
    ApWrite(0x00, c.Csw);
    ApWrite(0x04, c.Start);
    ApWrite(0x0C, 0);
    EXPECT_EQ(ApRead(0x04), c.After) << std::hex << c.Start << " csw " << c.Csw;
  }
}

TEST_F(TDebugPortTest, AutoIncrementWritesConsecutiveWordsAcross1KB) {
  PowerUp();
  ApWrite(0x00, 0x12);
  ApWrite(0x04, kSram + 0x3F8);
  for (uint32_t v : {1u, 2u, 3u, 4u})
    ApWrite(0x0C, v);
  EXPECT_EQ(ReadWord(kSram + 0x3F8), 1u);
  EXPECT_EQ(ReadWord(kSram + 0x3FC), 2u);
  EXPECT_EQ(ReadWord(kSram + 0x400), 3u);
  EXPECT_EQ(ReadWord(kSram + 0x404), 4u);
}

TEST_F(TDebugPortTest, CswKeepsSizeAndIncrementAndShowsDeviceEnabled) {
  PowerUp();
  ApWrite(0x00, 0xA2000012);
  EXPECT_EQ(ApRead(0x00), 0xA2000052u);
  ApWrite(0x00, 0xA2000022); // packed increment is not there
  EXPECT_EQ(ApRead(0x00) & 0x30, 0u);
}

TEST_F(TDebugPortTest, WaitFaultAnswersWaitAndDropsTheRequests) {
  PowerUp();
  WriteWord(kSram, 0);
  Sim.Faults().WaitAccesses = 2;
  const TScan first = Scan35(TArmDebugPort::IR_APACC, 0x4, false, kSram + 0x10);
  const TScan second = Scan35(TArmDebugPort::IR_APACC, 0x4, false, kSram + 0x20);
  EXPECT_EQ(first.Ack, TArmDebugPort::kAckWait);
  EXPECT_EQ(second.Ack, TArmDebugPort::kAckWait);
  const TScan third = Scan35(TArmDebugPort::IR_DPACC, 0xC, true, 0);
  EXPECT_EQ(third.Ack, TArmDebugPort::kAckOkFault);
  EXPECT_EQ(ApRead(0x04), kSram);
  EXPECT_EQ(Sim.Counters().WaitResponses, 2u);
}

TEST_F(TDebugPortTest, WaitWithOverrunDetectionSetsStickyOverrun) {
  DpWrite(0x4, 0x50000001);
  Sim.Faults().WaitAccesses = 1;
  DpRead(0x4);
  EXPECT_EQ(CtrlStat() & TArmDebugPort::STICKYORUN, TArmDebugPort::STICKYORUN);
  DpWrite(0x4, 0x50000003);
  EXPECT_EQ(CtrlStat() & TArmDebugPort::STICKYORUN, 0u);
}

TEST_F(TDebugPortTest, AbortGivesUpTheStalledTransaction) {
  Sim.Faults().WaitAccesses = 100;
  Scan35(TArmDebugPort::IR_ABORT, 0, false, 1);
  EXPECT_EQ(Scan35(TArmDebugPort::IR_DPACC, 0xC, true, 0).Ack, TArmDebugPort::kAckOkFault);
}

TEST_F(TDebugPortTest, BusErrorFaultHitsOnlyItsWord) {
  PowerUp();
  Sim.Faults().BusErrorEnabled = true;
  Sim.Faults().BusErrorAddress = kSram + 0x44;
  WriteWord(kSram + 0x40, 7);
  EXPECT_EQ(CtrlStat() & STICKYERR, 0u);
  ReadWord(kSram + 0x46);
  EXPECT_EQ(CtrlStat() & STICKYERR, STICKYERR);
  ClearSticky();
  EXPECT_EQ(ReadWord(kSram + 0x40), 7u);
}

TEST_F(TDebugPortTest, OtherAccessPortsReadZero) {
  PowerUp();
  DpWrite(0x8, 0x010000F0);
  Scan35(TArmDebugPort::IR_APACC, 0xC, true, 0);
  EXPECT_EQ(Scan35(TArmDebugPort::IR_DPACC, 0xC, true, 0).Data, 0u);
}

} // namespace
