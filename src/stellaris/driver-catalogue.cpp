#include "driver-catalogue.h"

#include "device-driver.h"
#include "device-tables.h"

#include <stdexcept>

// One driver kind per row of the device table.
int32_t DriverKindCount() {
  return DeviceKindCount;
}

// A new object on every call: the host owns what it is given, and the
// library keeps no list of the drivers it made.
IDispatch* CreateDriver(int32_t AKind) {
  if (AKind < 0 || AKind >= DeviceKindCount)
    throw std::out_of_range("no driver for this device kind");
  TCortexM3* driver = new TCortexM3(AKind);
  IDispatch* result = nullptr;
  if (FAILED(driver->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&result))) || !result)
    throw std::runtime_error("the driver has no IDispatch");
  return result;
}
