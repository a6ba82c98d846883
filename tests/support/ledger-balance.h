#pragma once

#include "graphics.h"
#include "resource-ledger.h"

#include <gtest/gtest.h>

// A test that ends with the resource ledger where it began: whatever it
// made, freeing it and the framework's shared graphics objects gives it all
// back. A fixture frees its own process-wide objects in ReleaseShared.
class TLedgerBalancedTest : public ::testing::Test {
protected:
  void SetUp() override { FStart = TResourceLedger::Total(); }
  void TearDown() override {
    ReleaseShared();
    FinalizeGraphics();
    EXPECT_EQ(TResourceLedger::Total(), FStart);
  }
  virtual void ReleaseShared() {}

private:
  size_t FStart = 0;
};
