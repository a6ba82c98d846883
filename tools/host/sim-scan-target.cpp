#include "sim-scan-target.h"

#include "scan-target.h"

TSimChipTarget::TSimChipTarget(const TSimConfig& AConfig)
    : FSim(std::make_unique<TStellarisSim>(AConfig)), FScan(std::make_unique<TSimScanTarget>(*FSim)) {}

TSimChipTarget::~TSimChipTarget() = default;

unsigned TSimChipTarget::DeviceCount() const { return FScan->DeviceCount(); }

unsigned TSimChipTarget::IrLength(unsigned APosition) const { return FScan->IrLength(APosition); }

void TSimChipTarget::MoveToState(int AState) {
  if (AState == int(TTapState::Reset)) {
    FScan->ResetTap();
    return;
  }
  if (AState <= 0 || AState > int(TTapState::IrUpdate)) return;
  FScan->MoveToState(static_cast<TTapState>(AState));
}

std::string TSimChipTarget::ShiftIR(unsigned APosition, const std::string& ABits) {
  return FScan->ShiftIR(APosition, ABits);
}

std::string TSimChipTarget::ShiftDR(unsigned APosition, const std::string& ABits) {
  return FScan->ShiftDR(APosition, ABits);
}

void TSimChipTarget::ShiftIRInto(unsigned APosition, const std::string& ABits,
                                 std::string& ACaptured) {
  FScan->ShiftIRInto(APosition, ABits, ACaptured);
}

void TSimChipTarget::ShiftDRInto(unsigned APosition, const std::string& ABits,
                                 std::string& ACaptured) {
  FScan->ShiftDRInto(APosition, ABits, ACaptured);
}
