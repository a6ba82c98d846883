#include "arm-test-support.h"

#include <algorithm>

HRESULT InvokeDispId(IDispatch& AObject, DISPID ADispId, std::vector<VARIANT> AArgs,
                     VARIANT* AResult) {
  std::reverse(AArgs.begin(), AArgs.end());
  DISPPARAMS params{AArgs.data(), nullptr, UINT(AArgs.size()), 0};
  if (AResult)
    VariantInit(AResult);
  return AObject.Invoke(ADispId, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                        AResult, nullptr, nullptr);
}
