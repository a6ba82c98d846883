#include "cli-device.h"

#include "cli-common.h"
#include "cli-part.h"
#include "dispatch.h"

#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace {

constexpr DISPID kIdCode = 503379, kDeviceName = 503380, kBSDLEntity = 503406;
// The entity's op-code table and an op-code's name and pattern.
constexpr DISPID kEntityOpcode = 503465, kEntityOpcodeCount = 503470, kOpCodeName = 503513,
                 kOpCodePattern = 503514;

enum class TAnswerKind { Text, Int, Hex, Bool };

struct TInfoRow {
  const wchar_t* Label;
  DISPID DispId;
  TAnswerKind Kind;
};

// What "info" prints, in order.
constexpr TInfoRow kInfoRows[] = {
    {L"Device name", 503380, TAnswerKind::Text},
    {L"Description", 503381, TAnswerKind::Text},
    {L"Vendor", 503407, TAnswerKind::Text},
    {L"Family", 503382, TAnswerKind::Text},
    {L"Family description", 503383, TAnswerKind::Text},
    {L"Library", 503384, TAnswerKind::Text},
    {L"Base name", 503386, TAnswerKind::Text},
    {L"IDCODE", 503379, TAnswerKind::Hex},
    {L"Instruction length", 503408, TAnswerKind::Int},
    {L"Package", 503392, TAnswerKind::Text},
    {L"Package name", 503393, TAnswerKind::Text},
    {L"Package description", 503394, TAnswerKind::Text},
    {L"Package dimensions", 503395, TAnswerKind::Text},
    {L"Package type", 503389, TAnswerKind::Text},
    {L"Package type name", 503390, TAnswerKind::Text},
    {L"Package type description", 503391, TAnswerKind::Text},
    {L"Temperature grade", 503396, TAnswerKind::Text},
    {L"Temperature name", 503397, TAnswerKind::Text},
    {L"Temperature range", 503398, TAnswerKind::Text},
    {L"Speed grade", 503399, TAnswerKind::Text},
    {L"Speed description", 503401, TAnswerKind::Text},
    {L"Option designator", 503402, TAnswerKind::Text},
    {L"Option name", 503403, TAnswerKind::Text},
    {L"Option description", 503404, TAnswerKind::Text},
    {L"BSDL file", 503405, TAnswerKind::Text},
    {L"Pins", 503409, TAnswerKind::Int},
    {L"Maximum I/O", 503388, TAnswerKind::Int},
    {L"Memory size (KB)", 503415, TAnswerKind::Int},
    {L"I/O standards", 503421, TAnswerKind::Int},
    {L"Termination support", 503416, TAnswerKind::Bool},
};

// TAP states as the host's channel numbers them.
constexpr int kReset = 1, kIdle = 2, kDrShift = 5, kDrExit1 = 6;

// Calls a DISPID with at most one argument; raises naming the DISPID when
// the call fails.
void Call(IDispatch* AObject, DISPID ADispId, VARIANT* AArgument, VARIANT* AResult) {
  std::vector<VARIANT> args;
  if (AArgument)
    args.push_back(*AArgument);
  const HRESULT hr = InvokeInOrder(*AObject, ADispId, std::move(args), AResult, DISPATCH_METHOD);
  if (FAILED(hr))
    throw std::runtime_error("DISPID " + std::to_string(ADispId) + " failed with " +
                             Hex8(uint32_t(hr)));
}

std::wstring CallText(IDispatch* AObject, DISPID ADispId) {
  TVariant result;
  Call(AObject, ADispId, nullptr, &result);
  if (V_VT(&result) != VT_BSTR)
    throw std::runtime_error("DISPID " + std::to_string(ADispId) + " answered no text");
  return std::wstring(V_BSTR(&result), SysStringLen(V_BSTR(&result)));
}

int32_t CallInt(IDispatch* AObject, DISPID ADispId) {
  TVariant result;
  Call(AObject, ADispId, nullptr, &result);
  if (V_VT(&result) == VT_BOOL)
    return V_BOOL(&result) ? 1 : 0;
  if (V_VT(&result) != VT_I4)
    throw std::runtime_error("DISPID " + std::to_string(ADispId) + " answered no integer");
  return V_I4(&result);
}

// A new driver of a kind; drivers live as long as the plug-in.
IDispatch* TakeDriver(TPluginLibrary& APlugin, int32_t AKind) {
  IDispatch* driver = nullptr;
  const HRESULT hr = APlugin.GetTarvoDriver_Plugin(AKind, &driver);
  if (FAILED(hr) || !driver)
    throw std::runtime_error("no driver for kind " + std::to_string(AKind) + " (" +
                             Hex8(uint32_t(hr)) + ")");
  return driver;
}

int32_t KindCount(TPluginLibrary& APlugin) {
  int32_t count = 0;
  const HRESULT hr = APlugin.GetTarvoDriverCount(&count);
  if (FAILED(hr))
    throw std::runtime_error("GetTarvoDriverCount failed with " + Hex8(uint32_t(hr)));
  return count;
}

} // namespace

int32_t IdcodeInstruction(IDispatch* AEntity) {
  const int32_t count = CallInt(AEntity, kEntityOpcodeCount);
  for (int32_t i = 0; i < count; ++i) {
    TVariant index, result;
    V_VT(&index) = VT_I4;
    V_I4(&index) = i;
    Call(AEntity, kEntityOpcode, &index, &result);
    IDispatch* opcode = V_VT(&result) == VT_DISPATCH ? V_DISPATCH(&result) : nullptr;
    if (!opcode || !SameName(CallText(opcode, kOpCodeName), L"IDCODE"))
      continue;
    const std::wstring pattern = CallText(opcode, kOpCodePattern);
    // The first of several patterns ("1110, 1111") is the one to load.
    int32_t value = 0;
    std::size_t bits = 0;
    for (const wchar_t c : pattern) {
      if (c != L'0' && c != L'1')
        break;
      value = (value << 1) | (c - L'0');
      ++bits;
    }
    if (bits == 0 || bits > 31)
      throw std::runtime_error("the IDCODE op-code has no usable pattern");
    return value;
  }
  throw std::runtime_error("the boundary-scan description has no IDCODE instruction");
}

std::vector<std::wstring> DeviceNames(TPluginLibrary& APlugin) {
  const int32_t count = KindCount(APlugin);
  std::vector<std::wstring> names;
  names.reserve(std::size_t(std::max(count, 0)));
  for (int32_t kind = 0; kind < count; ++kind)
    names.push_back(CallText(TakeDriver(APlugin, kind), kDeviceName));
  return names;
}

std::wstring FormatInColumns(const std::vector<std::wstring>& ANames, std::size_t AWidth) {
  if (ANames.empty())
    return {};
  std::size_t longest = 0;
  for (const std::wstring& name : ANames)
    longest = std::max(longest, name.size());
  const std::size_t cell = longest + 2;
  const std::size_t columns = std::max<std::size_t>(1, (AWidth + 2) / cell);
  const std::size_t rows = (ANames.size() + columns - 1) / columns;
  std::wstring out;
  for (std::size_t row = 0; row < rows; ++row) {
    std::wstring line;
    for (std::size_t column = 0; column < columns && column * rows + row < ANames.size();
         ++column) {
      line.resize(column * cell, L' ');
      line += ANames[column * rows + row];
    }
    out += line + L"\n";
  }
  return out;
}

int DevicesVerb(TPluginLibrary& APlugin, std::FILE* AOut, std::FILE* AErr) {
  try {
    const std::vector<std::wstring> names = DeviceNames(APlugin);
    WriteUtf8(AOut, std::to_wstring(names.size()) + L" device kinds\n");
    WriteUtf8(AOut, FormatInColumns(names));
    return 0;
  } catch (const std::exception& e) {
    WriteUtf8(AErr, L"orvandel: " + Widened(e.what()) + L"\n");
    return 1;
  }
}

int InfoVerb(TPluginLibrary& APlugin, const std::wstring& APart, std::FILE* AOut, std::FILE* AErr) {
  try {
    int32_t kind = 0;
    IDispatch* driver = TakePartDriver(APlugin, APart, AErr, &kind);
    if (!driver)
      return 1;
    std::size_t labelWidth = 0;
    for (const TInfoRow& row : kInfoRows)
      labelWidth = std::max(labelWidth, std::wstring_view(row.Label).size());
    for (const TInfoRow& row : kInfoRows) {
      std::wstring value;
      switch (row.Kind) {
      case TAnswerKind::Text:
        value = CallText(driver, row.DispId);
        break;
      case TAnswerKind::Int:
        value = std::to_wstring(CallInt(driver, row.DispId));
        break;
      case TAnswerKind::Hex:
        value = Widened(Hex8(uint32_t(CallInt(driver, row.DispId))));
        break;
      case TAnswerKind::Bool:
        value = CallInt(driver, row.DispId) ? L"yes" : L"no";
        break;
      }
      std::wstring label = row.Label;
      label.resize(labelWidth, L' ');
      WriteUtf8(AOut, label + L"  " + value + L"\n");
    }
    // The driver cannot tell where its pin and boundary-scan data came
    // from; the build that compiled them in can.
    const TPartDataOrigin origin = PartDataOrigin(kind);
    const std::pair<std::wstring, std::wstring> originRows[] = {
        {L"Pin data", origin.PinsText()}, {L"Boundary-scan data", origin.BoundaryScanText()}};
    for (auto [label, value] : originRows) {
      label.resize(std::max(labelWidth, label.size()), L' ');
      WriteUtf8(AOut, label + L"  " + value + L"\n");
    }
    return 0;
  } catch (const std::exception& e) {
    WriteUtf8(AErr, L"orvandel: " + Widened(e.what()) + L"\n");
    return 1;
  }
}

int IdentifyVerb(TPluginLibrary& APlugin, TTestHost& AHost, const std::wstring& APart,
                 std::FILE* AOut, std::FILE* AErr, unsigned AChainPosition) {
  try {
    IDispatch* driver = BindPartDriver(APlugin, AHost, APart, AErr, AChainPosition);
    if (!driver)
      return 1;

    TVariant entityResult;
    Call(driver, kBSDLEntity, nullptr, &entityResult);
    IDispatch* entity = V_VT(&entityResult) == VT_DISPATCH ? V_DISPATCH(&entityResult) : nullptr;
    if (!entity) {
      WriteUtf8(AErr, L"orvandel: the driver has no boundary-scan description\n");
      return 1;
    }
    const int32_t instruction = IdcodeInstruction(entity);
    const uint32_t expected = uint32_t(CallInt(driver, kIdCode));

    TTestJtagChannel& channel = AHost.Channel();
    channel.OpenChannel();
    channel.MoveToState(0, kReset);
    channel.MoveToState(kReset, kIdle);
    channel.SendInstruction(instruction, int32_t(AChainPosition));
    channel.MoveToState(kIdle, kDrShift);
    const uint32_t code = uint32_t(channel.ShiftDataCapture(0, 32, int32_t(AChainPosition)));
    channel.MoveToState(kDrExit1, kIdle);
    channel.CloseChannel();

    const std::wstring name = CallText(driver, kDeviceName);
    WriteUtf8(AOut, name + L": IDCODE " + Widened(Hex8(code)) + L" (expected " +
                        Widened(Hex8(expected)) + L")" +
                        (code == expected ? L" match\n" : L" MISMATCH\n"));
    return code == expected ? 0 : 1;
  } catch (const std::exception& e) {
    WriteUtf8(AErr, L"orvandel: " + Widened(e.what()) + L"\n");
    return 1;
  }
}
