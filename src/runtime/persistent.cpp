#include "persistent.h"

#include "rtl-exceptions.h"

void TPersistent::Assign(const TPersistent* ASource) {
  if (ASource) {
    ASource->AssignTo(this);
    return;
  }
  throw EConvertError(L"Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* ADest) const {
  throw EConvertError(L"Cannot assign a " + ClassName() + L" to a " + ADest->ClassName());
}

std::wstring TPersistent::GetNamePath() const {
  TPersistent* owner = GetOwner();
  std::wstring ownerPath = owner ? owner->GetNamePath() : std::wstring();
  return ownerPath.empty() ? ClassName() : ownerPath + L"." + ClassName();
}
