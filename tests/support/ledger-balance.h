#pragma once

#include "graphics.h"
#include "resource-ledger.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

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

// The ledger's counts of some kinds, taken at construction; ExpectUnchanged
// names each kind whose count has moved since.
class TLedgerKindCounts {
public:
  TLedgerKindCounts(std::initializer_list<TResourceKind> AKinds) : FKinds(AKinds) {
    for (TResourceKind kind : FKinds)
      FCounts.push_back(TResourceLedger::Count(kind));
  }
  void ExpectUnchanged() const {
    for (size_t i = 0; i < FKinds.size(); ++i) {
      const std::wstring name = ResourceKindName(FKinds[i]);
      EXPECT_EQ(TResourceLedger::Count(FKinds[i]), FCounts[i])
          << std::string(name.begin(), name.end());
    }
  }

private:
  std::vector<TResourceKind> FKinds;
  std::vector<size_t> FCounts;
};
