// The plug-in as the host unloads it: every reference it took on the
// host's objects while it ran goes back by the time FreeLibrary returns,
// no window class or window of it is left with a procedure in the freed
// library, and a plug-in loaded again binds to the host afresh.

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

// The plug-in's window classes, as any window of the host's process may
// name them.
constexpr const wchar_t* kPluginWindowClasses[] = {
    L"TDelayedDestroyer", L"TExternalFormComponent", L"TFormWithHelp",          L"TServerViewForm",
    L"TServerPanelForm",  L"TServerDialog",          L"OrvandelInstrumentForm",
    L"OrvandelControl",
};
// The class of the plug-in's hidden windows, which every build of it holds.
constexpr wchar_t kHiddenWindowClass[] = L"TDelayedDestroyer";

bool ClassIsRegistered(HINSTANCE AInstance, const wchar_t* AName, WNDCLASSEXW& AClass) {
  AClass = {};
  AClass.cbSize = sizeof(AClass);
  return GetClassInfoExW(AInstance, AName, &AClass) != FALSE;
}

HMODULE ModuleOfCode(const void* ACode) {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCWSTR>(ACode), &module);
  return module;
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

TEST(PluginUnload, TheWindowClassesOfThePluginAreItsOwnAndGoWithItSoAReloadRegistersThemAfresh) {
  TTestHost host;
  const HINSTANCE program = GetModuleHandleW(nullptr);
  for (const char* round : {"first load", "reload"}) {
    HMODULE module = nullptr; // freed at the end of the round
    HWND leftOpen = nullptr;
    {
      TPluginLibrary plugin;
      ASSERT_TRUE(plugin.Load(DefaultPluginPath())) << round;
      module = plugin.Module();
      IDispatch* driver = nullptr;
      ASSERT_EQ(plugin.GetTarvoDriver_Plugin(0, &driver), S_OK) << round;
      ASSERT_NE(driver, nullptr) << round;
      EXPECT_EQ(InvokeWithoutArguments(driver, kGetBitmapHandle), S_OK) << round;

      WNDCLASSEXW windowClass;
      ASSERT_TRUE(ClassIsRegistered(module, kHiddenWindowClass, windowClass))
          << round << ": registered under the plug-in's own instance";
      EXPECT_EQ(ModuleOfCode(reinterpret_cast<const void*>(windowClass.lpfnWndProc)), module)
          << round << ": its procedure is the loaded library's";
      EXPECT_FALSE(ClassIsRegistered(program, kHiddenWindowClass, windowClass))
          << round << ": not under the host program's instance";
      // A window of the plug-in's class that is still there when the host
      // unloads the plug-in.
      leftOpen = CreateWindowExW(0, kHiddenWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 module, nullptr);
      ASSERT_NE(leftOpen, nullptr) << round;
      driver->Release();
    } // FreeLibrary
    EXPECT_FALSE(IsWindow(leftOpen)) << round << ": no window keeps a freed procedure";
    for (const wchar_t* name : kPluginWindowClasses) {
      WNDCLASSEXW windowClass;
      EXPECT_FALSE(ClassIsRegistered(module, name, windowClass))
          << round << ": " << std::string(name, name + wcslen(name)) << " left registered";
      EXPECT_FALSE(ClassIsRegistered(program, name, windowClass))
          << round << ": " << std::string(name, name + wcslen(name))
          << " left under the program's instance";
    }
  }
  EXPECT_TRUE(host.Errors().empty());
}
