#pragma once

// The root of the plug-in's own exceptions is the component framework's
// `Exception` (and its `EConvertError`): one class of that name in the
// module, whichever layer raises or catches it. Failures inside the plug-in
// are exceptions; every COM boundary turns them into an HRESULT.
#include "../runtime/rtl-exceptions.h"

#include <windows.h>

#include <stdexcept>
#include <string>

// A failing HRESULT from an outgoing call or an operation.
class EOleSysError : public Exception {
public:
  EOleSysError(HRESULT AErrorCode, std::wstring AMessage)
      : Exception(std::move(AMessage)), FErrorCode(AErrorCode) {}
  HRESULT ErrorCode() const { return FErrorCode; }

private:
  HRESULT FErrorCode;
};

// DISP_E_EXCEPTION from the host, with the host's exception information.
class EOleException : public EOleSysError {
public:
  EOleException(std::wstring AMessage, HRESULT AErrorCode, std::wstring ASource,
                std::wstring AHelpFile, DWORD AHelpContext)
      : EOleSysError(AErrorCode, std::move(AMessage)), Source(std::move(ASource)),
        HelpFile(std::move(AHelpFile)), HelpContext(AHelpContext) {}
  std::wstring Source;
  std::wstring HelpFile;
  DWORD HelpContext;
};

class EVariantDispatchError : public Exception {
public:
  using Exception::Exception;
};

class EIntfCastError : public Exception {
public:
  using Exception::Exception;
};

// A host answer whose VARTYPE is not the one the call declared.
class EHostResultError : public Exception {
public:
  using Exception::Exception;
};

// UTF-16 <-> UTF-8 for messages that leave through narrow channels.
std::string WideToUtf8(const std::wstring& AText);
std::wstring Utf8ToWide(const std::string& AText);
