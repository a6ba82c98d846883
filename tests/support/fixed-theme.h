#pragma once

#include "seams.h"

// A theme seam that answers the state the test sets, and counts how often
// drawing code asked. Install it with TSeamScope<TThemeSeam>.
class TFixedTheme : public TThemeSeam {
public:
  explicit TFixedTheme(TThemeState AState) : FState(AState) {}
  explicit TFixedTheme(int AState) : FState(TThemeState(AState)) {}
  TThemeState State() override {
    ++Asked;
    return FState;
  }
  void Set(TThemeState AState) { FState = AState; }
  int Asked = 0;

private:
  TThemeState FState;
};
