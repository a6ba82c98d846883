#include "dc-component.h"

#include <algorithm>

bool TDCClassInfo::InheritsFrom(const TDCClassInfo* AClass) const {
  for (const TDCClassInfo* c = this; c; c = c->ClassParent)
    if (c == AClass)
      return true;
  return false;
}

const TDCClassInfo TDCComponent::ClassInfo{L"TDCComponent", nullptr};

TDCComponent::TDCComponent(TDCComponent* AOwner) {
  if (AOwner)
    AOwner->InsertComponent(this);
}

TDCComponent::~TDCComponent() {
  FDestroying = true;
  // Those that asked are told first, while this component is still whole.
  while (!FFreeNotifies.empty()) {
    TDCComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    other->RemoveFreeNotify(this);
    other->Notification(this, TDCOperation::opRemove);
  }
  while (!FComponents.empty()) {
    TDCComponent* owned = FComponents.back();
    delete owned; // removes itself from FComponents
  }
  if (FOwner)
    FOwner->RemoveComponent(this);
}

void TDCComponent::InsertComponent(TDCComponent* AComponent) {
  AComponent->FOwner = this;
  FComponents.push_back(AComponent);
}

void TDCComponent::RemoveComponent(TDCComponent* AComponent) {
  auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (it != FComponents.end())
    FComponents.erase(it);
  AComponent->FOwner = nullptr;
}

void TDCComponent::FreeNotification(TDCComponent* AComponent) {
  if (!AComponent || AComponent == this)
    return;
  AddFreeNotify(AComponent);
  AComponent->AddFreeNotify(this);
}

void TDCComponent::RemoveFreeNotification(TDCComponent* AComponent) {
  if (!AComponent)
    return;
  RemoveFreeNotify(AComponent);
  AComponent->RemoveFreeNotify(this);
}

void TDCComponent::Notification(TDCComponent* AComponent, TDCOperation AOperation) {
  if (AOperation == TDCOperation::opRemove)
    RemoveFreeNotify(AComponent);
}

void TDCComponent::EndLoading() {
  FLoading = false;
  Loaded();
}

void TDCComponent::AddFreeNotify(TDCComponent* AComponent) {
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
    FFreeNotifies.push_back(AComponent);
}

void TDCComponent::RemoveFreeNotify(TDCComponent* AComponent) {
  auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
  if (it != FFreeNotifies.end())
    FFreeNotifies.erase(it);
}
