#pragma once

#include "host-scan-target.h"

#include "stellaris-sim.h"

#include <memory>

// The simulated Stellaris chip as the test host's scan target, in process.
class TSimChipTarget : public IScanTarget {
public:
  explicit TSimChipTarget(const TSimConfig& AConfig = TSimConfig());
  ~TSimChipTarget() override;

  TStellarisSim& Sim() { return *FSim; }

  unsigned DeviceCount() const override;
  unsigned IrLength(unsigned APosition) const override;
  void MoveToState(int AState) override;
  std::string ShiftIR(unsigned APosition, const std::string& ABits) override;
  std::string ShiftDR(unsigned APosition, const std::string& ABits) override;
  void ShiftIRInto(unsigned APosition, const std::string& ABits, std::string& ACaptured) override;
  void ShiftDRInto(unsigned APosition, const std::string& ABits, std::string& ACaptured) override;

private:
  std::unique_ptr<TStellarisSim> FSim;
  std::unique_ptr<class TSimScanTarget> FScan;
};
