#include "timers.h"

#include "application.h"
#include "resource-ledger.h"
#include "rtl-exceptions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

namespace {

class Timers : public ::testing::Test {
protected:
  void SetUp() override { FStart = TResourceLedger::Total(); }
  void TearDown() override {
    ReleaseApplication();
    EXPECT_EQ(TTimer::RunningCount(), 0u);
    EXPECT_EQ(TTimer::Window(), nullptr);
    EXPECT_EQ(TResourceLedger::Total(), FStart);
  }

  // Pumps the application's loop until ADone holds, within a generous
  // bound that only a timer that never fires reaches.
  static void PumpUntil(const std::function<bool()>& ADone) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ADone()) {
      ASSERT_LT(std::chrono::steady_clock::now(), limit) << "the timer never fired";
      if (!Application()->ProcessMessage())
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
  }

  // A tick as the system would deliver it for AId.
  static void Tick(UINT_PTR AId) { SendMessageW(TTimer::Window(), WM_TIMER, AId, 0); }

private:
  size_t FStart = 0;
};

TEST_F(Timers, ATimerFiresUnderTheMessageLoop) {
  TTimer timer(nullptr);
  timer.SetInterval(10);
  int ticks = 0;
  TTimer* sender = nullptr;
  timer.SetOnTimer([&](TTimer* ASender) {
    ++ticks;
    sender = ASender;
  });
  PumpUntil([&] { return ticks >= 3; });
  EXPECT_EQ(sender, &timer);
}

TEST_F(Timers, ATimerRunsOnlyWhenEnabledWithAnIntervalAndAnEvent) {
  struct TCase {
    bool Enabled;
    UINT Interval;
    bool HasEvent;
    bool Running;
  } cases[] = {
      {true, 100, true, true},   {false, 100, true, false}, {true, 0, true, false},
      {true, 100, false, false}, {false, 0, false, false},
  };
  for (auto& c : cases) {
    TTimer timer(nullptr);
    timer.SetEnabled(c.Enabled);
    timer.SetInterval(c.Interval);
    if (c.HasEvent)
      timer.SetOnTimer([](TTimer*) {});
    EXPECT_EQ(timer.Running(), c.Running) << c.Enabled << " " << c.Interval << " " << c.HasEvent;
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::Timer), c.Running ? 1u : 0u);
  }
}

TEST_F(Timers, ANewTimerIsEnabledWithASecondsInterval) {
  TTimer timer(nullptr);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  EXPECT_FALSE(timer.Running());
}

TEST_F(Timers, ATickForAnEarlierStartIsIgnored) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetOnTimer([&](TTimer*) { ++ticks; });
  UINT_PTR first = timer.TimerId();
  timer.SetEnabled(false);
  timer.SetEnabled(true);
  UINT_PTR second = timer.TimerId();
  ASSERT_NE(first, second);
  Tick(first);
  EXPECT_EQ(ticks, 0);
  Tick(second);
  EXPECT_EQ(ticks, 1);
}

TEST_F(Timers, ATimerStoppedInsideItsTickDoesNotTickAgain) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetOnTimer([&](TTimer* ASender) {
    ++ticks;
    ASender->SetEnabled(false);
  });
  UINT_PTR id = timer.TimerId();
  Tick(id);
  Tick(id);
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Timer), 0u);
}

TEST_F(Timers, ATimerFreedInsideItsOwnTickLeavesNothingBehind) {
  // The event holds state of its own that must outlive the timer's
  // destruction inside the call.
  auto fired = std::make_shared<std::string>();
  auto* timer = new TTimer(nullptr);
  timer->SetInterval(5);
  timer->SetOnTimer([fired](TTimer* ASender) {
    delete ASender;
    *fired = "freed";
  });
  HWND window = TTimer::Window();
  ASSERT_NE(window, nullptr);
  PumpUntil([&] { return !fired->empty(); });
  EXPECT_EQ(*fired, "freed");
  EXPECT_EQ(TTimer::RunningCount(), 0u);
  // The last timer took its window with it.
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Timer), 0u);
}

TEST_F(Timers, FreeingOneTimerInItsTickKeepsTheOthersTicking) {
  TTimer keeper(nullptr);
  int keeperTicks = 0;
  keeper.SetOnTimer([&](TTimer*) { ++keeperTicks; });
  auto* doomed = new TTimer(nullptr);
  doomed->SetOnTimer([](TTimer* ASender) { delete ASender; });
  Tick(doomed->TimerId());
  EXPECT_EQ(TTimer::RunningCount(), 1u);
  Tick(keeper.TimerId());
  EXPECT_EQ(keeperTicks, 1);
}

TEST_F(Timers, AnOwnerFreesItsTimers) {
  auto* owner = new TComponent(nullptr);
  auto* timer = new TTimer(owner);
  timer->SetOnTimer([](TTimer*) {});
  EXPECT_EQ(TTimer::RunningCount(), 1u);
  TComponent::Free(owner);
  EXPECT_EQ(TTimer::RunningCount(), 0u);
}

TEST_F(Timers, AnExceptionInATickGoesToTheApplicationAndTheTimerKeepsRunning) {
  std::string caught;
  Application()->OnException = [&](TApplication*, const std::exception& AException) {
    caught = AException.what();
  };
  TTimer timer(nullptr);
  timer.SetOnTimer([](TTimer*) { throw EListError("tick failed"); });
  Tick(timer.TimerId());
  EXPECT_EQ(caught, "tick failed");
  EXPECT_TRUE(timer.Running());
}

TEST_F(Timers, ChangingTheIntervalRestartsTheTimer) {
  TTimer timer(nullptr);
  timer.SetOnTimer([](TTimer*) {});
  UINT_PTR before = timer.TimerId();
  timer.SetInterval(250);
  EXPECT_NE(timer.TimerId(), before);
  EXPECT_TRUE(timer.Running());
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::Timer), 1u);
}

} // namespace
