#include "rack-holder.h"

#include <oleauto.h>

#include <algorithm>
#include <sstream>

namespace {

constexpr DISPID kHolderGetHandle = 69, kHolderCaptionChanged = 71;
constexpr DISPID kCreateRackViewer = 503759, kGetRackViewer = 503760;
constexpr DISPID kSetParentWindowHolder = 49, kAttach = 50, kSetBounds = 56, kShow = 58;
constexpr DISPID kUpdateDisplay = 503697, kGetBounds = 503700, kHidden = 503704;
constexpr wchar_t kHolderClass[] = L"OrvandelTestRackHolder";

ATOM HolderClass(WNDPROC AProcedure) {
  static ATOM atom = [AProcedure] {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = AProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kHolderClass;
    return RegisterClassExW(&windowClass);
  }();
  return atom;
}

} // namespace

TRackHolder::TRackHolder(int AX, int AY, int AWidth, int AHeight) {
  HolderClass(&WindowProc);
  RECT frame = {0, 0, AWidth, AHeight};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN | WS_VISIBLE;
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  FWindow =
      CreateWindowExW(0, kHolderClass, L"Rack", style, AX, AY, frame.right - frame.left,
                      frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  FObject = TFakeHostObject::Create({L"IExternalFormHolder"});
  FObject->AddService(L"ExternalFormHolder");
  FObject->OnCall(kHolderGetHandle, [this](TFakeInvocation& AInvocation) {
    // Window handles are 32-bit values on both architectures.
    AInvocation.ReturnInt(int32_t(reinterpret_cast<uintptr_t>(FWindow)));
    return S_OK;
  });
  FObject->OnCall(kHolderCaptionChanged, [this](TFakeInvocation&) {
    ++FCaptionChanges;
    return S_OK;
  });
}

TRackHolder::~TRackHolder() {
  if (FWindow) {
    SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
    DestroyWindow(FWindow);
  }
}

LRESULT CALLBACK TRackHolder::WindowProc(HWND AWindow, UINT AMessage, WPARAM AWParam,
                                         LPARAM ALParam) {
  if (AMessage == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(ALParam);
    SetWindowLongPtrW(AWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* holder = reinterpret_cast<TRackHolder*>(GetWindowLongPtrW(AWindow, GWLP_USERDATA));
  if (holder && (AMessage == WM_LBUTTONDOWN || AMessage == WM_RBUTTONDOWN))
    holder->FClicks.push_back({AMessage, AWParam, ALParam});
  return DefWindowProcW(AWindow, AMessage, AWParam, ALParam);
}

HRESULT InvokeRack(IDispatch& AObject, DISPID ADispId, std::vector<VARIANT> AArgs, VARIANT* AResult,
                   WORD AFlags) {
  std::reverse(AArgs.begin(), AArgs.end());
  DISPPARAMS params = {AArgs.empty() ? nullptr : AArgs.data(), nullptr, UINT(AArgs.size()), 0};
  VARIANT scratch;
  VariantInit(&scratch);
  const HRESULT hr = AObject.Invoke(ADispId, IID_NULL, LOCALE_USER_DEFAULT, AFlags, &params,
                                    AResult ? AResult : &scratch, nullptr, nullptr);
  VariantClear(&scratch);
  return hr;
}

HRESULT TRackPanel::Answer() const {
  for (const TRackCall& call : Calls)
    if (FAILED(call.Answer))
      return call.Answer;
  return S_OK;
}

TRackPanel EmbedRackPanel(IDispatch& ADriver, TRackHolder& AHolder) {
  TRackPanel panel;
  const auto made = [&panel](DISPID ADispId, HRESULT AAnswer) {
    panel.Calls.push_back({ADispId, AAnswer});
    return SUCCEEDED(AAnswer);
  };
  if (!made(kCreateRackViewer, InvokeRack(ADriver, kCreateRackViewer, {})))
    return panel;
  VARIANT view;
  VariantInit(&view);
  if (!made(kGetRackViewer,
            InvokeRack(ADriver, kGetRackViewer, {}, &view, DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
    return panel;
  if (V_VT(&view) == VT_DISPATCH && V_DISPATCH(&view))
    panel.View = TComPtr<IDispatch>::Attach(std::exchange(V_DISPATCH(&view), nullptr));
  VariantClear(&view);
  if (!panel.View) {
    made(kGetRackViewer, E_POINTER);
    return panel;
  }
  IDispatch& v = *panel.View.Get();
  VARIANT holder;
  VariantInit(&holder);
  V_VT(&holder) = VT_DISPATCH;
  V_DISPATCH(&holder) = AHolder.Object().Dispatch();
  if (!made(kSetParentWindowHolder, InvokeRack(v, kSetParentWindowHolder, {holder})))
    return panel;
  LONG bounds[4] = {-1, -1, -1, -1};
  std::vector<VARIANT> refs(4);
  for (int i = 0; i < 4; ++i) {
    VariantInit(&refs[i]);
    V_VT(&refs[i]) = VT_I4 | VT_BYREF;
    V_I4REF(&refs[i]) = &bounds[i];
  }
  if (!made(kGetBounds, InvokeRack(v, kGetBounds, refs)))
    return panel;
  panel.Left = bounds[0];
  panel.Top = bounds[1];
  panel.Width = bounds[2];
  panel.Height = bounds[3];
  std::vector<VARIANT> values(4);
  for (int i = 0; i < 4; ++i) {
    VariantInit(&values[i]);
    V_VT(&values[i]) = VT_I4;
    V_I4(&values[i]) = bounds[i];
  }
  if (!made(kSetBounds, InvokeRack(v, kSetBounds, values)))
    return panel;
  if (!made(kAttach, InvokeRack(v, kAttach, {})))
    return panel;
  if (!made(kShow, InvokeRack(v, kShow, {})))
    return panel;
  made(kUpdateDisplay, InvokeRack(v, kUpdateDisplay, {}));
  return panel;
}

HRESULT ReleaseRackPanel(TRackPanel& APanel) {
  if (!APanel.View)
    return S_OK;
  const HRESULT hr = InvokeRack(*APanel.View.Get(), kHidden, {});
  APanel.View.Reset();
  return hr;
}

std::vector<TPanelControl> ReadPanelControls(HWND AForm) {
  std::vector<TPanelControl> controls;
  if (!AForm)
    return controls;
  static const UINT message = RegisterWindowMessageW(L"OrvandelControlListing");
  const LRESULT length = SendMessageW(AForm, message, 0, 0);
  if (length <= 0)
    return controls;
  std::wstring text(size_t(length) + 1, L'\0');
  SendMessageW(AForm, message, WPARAM(text.size()), reinterpret_cast<LPARAM>(text.data()));
  text.resize(size_t(length));
  std::wistringstream lines(text);
  std::wstring line;
  while (std::getline(lines, line)) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find(L'\t', start)) != std::wstring::npos; start = tab + 1)
      fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    if (fields.size() != 11)
      continue;
    TPanelControl control;
    control.Depth = std::stoi(fields[0]);
    control.Name = fields[1];
    control.ClassName = fields[2];
    control.Caption = fields[3];
    control.Checked = fields[4] == L"1";
    control.Enabled = fields[5] == L"1";
    control.Visible = fields[6] == L"1";
    control.Bounds = {std::stoi(fields[7]), std::stoi(fields[8]), std::stoi(fields[9]),
                      std::stoi(fields[10])};
    controls.push_back(std::move(control));
  }
  return controls;
}

const TPanelControl* FindPanelControl(const std::vector<TPanelControl>& AControls,
                                      const std::wstring& AName) {
  for (const TPanelControl& control : AControls)
    if (control.Name == AName)
      return &control;
  return nullptr;
}
