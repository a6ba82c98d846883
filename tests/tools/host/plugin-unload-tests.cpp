// The plug-in as the host unloads it: every reference it took on the
// host's objects while it ran goes back by the time FreeLibrary returns,
// and a plug-in loaded again binds to the host afresh.

#include "plugin-library.h"
#include "test-host.h"

#include <gtest/gtest.h>

#include <oleauto.h>

#include <string>

namespace {

constexpr DISPID kGetBitmapHandle = 503756;

HRESULT InvokeWithoutArguments(IDispatch* AObject, DISPID ADispId) {
  DISPPARAMS none = {};
  VARIANT result;
  VariantInit(&result);
  const HRESULT answer =
      AObject->Invoke(ADispId, IID_NULL, LOCALE_USER_DEFAULT,
                      DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
  VariantClear(&result);
  return answer;
}

struct TReferences {
  LONG Client;
  LONG ClientApi;
};

TReferences ReferencesOf(TTestHost& AHost) {
  return {AHost.Client().RefCount(), AHost.ClientApi().RefCount()};
}

} // namespace

TEST(PluginUnload, EveryHostReferenceTheDriverTookIsReleasedWhenThePluginIsUnloaded) {
  struct TCase {
    const char* Name;
    DISPID Call; // made on the driver after its creation; 0: none
  };
  // Each case loads the library anew, so the second round also shows that
  // a reloaded plug-in binds to the host again instead of keeping a dead
  // binding from the first load.
  const TCase cases[] = {
      {"creating a driver", 0},
      {"asking the driver for its bitmap", kGetBitmapHandle},
      {"creating a driver after a reload", 0},
  };
  TTestHost host;
  const TReferences before = ReferencesOf(host);
  for (const TCase& c : cases) {
    {
      TPluginLibrary plugin;
      ASSERT_TRUE(plugin.Load(DefaultPluginPath())) << c.Name;
      IDispatch* driver = nullptr;
      ASSERT_EQ(plugin.GetTarvoDriver_Plugin(0, &driver), S_OK) << c.Name;
      ASSERT_NE(driver, nullptr) << c.Name;
      if (c.Call) {
        EXPECT_EQ(InvokeWithoutArguments(driver, c.Call), S_OK) << c.Name;
      }
      driver->Release();
      EXPECT_GT(host.Client().RefCount(), before.Client)
          << c.Name << ": the plug-in keeps the client while it is loaded";
    } // FreeLibrary
    const TReferences after = ReferencesOf(host);
    EXPECT_EQ(after.Client, before.Client) << c.Name;
    EXPECT_EQ(after.ClientApi, before.ClientApi) << c.Name;
  }
  EXPECT_TRUE(host.Errors().empty());
}
