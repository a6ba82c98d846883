// The host's embedded-project services: the platform document of a file,
// open in the client or opened for it, and the workspace as the
// embedded-memory manager.

#include "embedded-access.h"
#include "host-services-fixture.h"

namespace {

constexpr DISPID kGetDocumentByPath = 491, kOpenDocument = 506;

TEST_F(HostServices, EmbeddedStackIsTheClientsOpenDocumentOrTheFileItOpens) {
  const std::wstring existing = Tree.File(L"platform\\design.SwPlatform", "platform");
  const std::wstring missing = Tree.Root() + L"platform\\absent.SwPlatform";
  auto open = TFakeHostObject::Create({L"IServerDocument", L"IEmbeddedStack"});
  auto opened = TFakeHostObject::Create({L"IServerDocument", L"IEmbeddedStack"});
  std::wstring openPath = existing;
  Host.Client().OnCall(kGetDocumentByPath, [&](TFakeInvocation& AInv) {
    AInv.ReturnObject(AInv.Text(0) == openPath ? open->Dispatch() : nullptr);
    return S_OK;
  });
  Host.Client().OnCall(kOpenDocument, [&](TFakeInvocation& AInv) {
    AInv.ReturnObject(AInv.Text(0) == L"EmbeddedStack" ? opened->Dispatch() : nullptr);
    return S_OK;
  });
  struct TCase {
    const char* Name;
    std::wstring File, OpenPath;
    IDispatch* Expected;
    size_t Opens;
  };
  const TCase cases[] = {
      {"open in the client", existing, existing, open->Dispatch(), 0},
      {"opened as a platform document", existing, L"", opened->Dispatch(), 1},
      {"no such file", missing, L"", nullptr, 0},
      {"no name", L"", existing, nullptr, 0},
  };
  for (const TCase& c : cases) {
    openPath = c.OpenPath;
    const size_t opensBefore = CallsOf(Host.Client(), kOpenDocument).size();
    IEmbeddedStack stack = IEmbeddedStack::FromDispatch(open->Dispatch()); // emptied first
    EXPECT_EQ(GetEmbeddedStack(c.File, stack), S_OK) << c.Name;
    EXPECT_EQ(stack.Intf(), c.Expected) << c.Name;
    const auto opens = CallsOf(Host.Client(), kOpenDocument);
    EXPECT_EQ(opens.size() - opensBefore, c.Opens) << c.Name;
  }
  const auto opens = CallsOf(Host.Client(), kOpenDocument);
  ASSERT_EQ(opens.size(), 1u);
}

TEST_F(HostServices, EmbeddedStackFailureAnswersUnexpectedAndAnEmptyStack) {
  Host.Client().OnCall(kGetDocumentByPath,
                       [](TFakeInvocation& AInv) { return AInv.Raise(L"no documents today"); });
  auto stale = TFakeHostObject::Create({L"IEmbeddedStack"});
  IEmbeddedStack stack = IEmbeddedStack::FromDispatch(stale->Dispatch());
  EXPECT_EQ(GetEmbeddedStack(L"C:\\design.SwPlatform", stack), E_UNEXPECTED);
  EXPECT_TRUE(stack.IsEmpty());
}

TEST_F(HostServices, EmbeddedMemoryManagerIsEmptyWithoutAWorkspace) {
  EXPECT_TRUE(GetEmbeddedMemoryManager().IsEmpty());
}

} // namespace
