#pragma once

#include <stdexcept>
#include <string>

// The framework's exceptions. Each carries its message as UTF-8 and, for
// callers that show it in a window, as wide text.
class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& AMessage) : std::runtime_error(AMessage) {}
  explicit Exception(const std::wstring& AMessage);
  std::wstring Message() const;
};

// A stream or stored property could not be read (truncated or malformed data).
class EReadError : public Exception {
  using Exception::Exception;
};
class EWriteError : public Exception {
  using Exception::Exception;
};
class EStreamError : public Exception {
  using Exception::Exception;
};
// A graphic was asked for something its kind cannot do.
class EInvalidGraphic : public Exception {
  using Exception::Exception;
};
class EInvalidGraphicOperation : public Exception {
  using Exception::Exception;
};
// A window, device context or GDI object could not be made.
class EOutOfResources : public Exception {
  using Exception::Exception;
};
class EAssertionFailed : public Exception {
  using Exception::Exception;
};
class EConvertError : public Exception {
  using Exception::Exception;
};
class EListError : public Exception {
  using Exception::Exception;
};
class EStringListError : public Exception {
  using Exception::Exception;
};
class EComponentError : public Exception {
  using Exception::Exception;
};
class EClassNotFound : public Exception {
  using Exception::Exception;
};
class ERegistryException : public Exception {
  using Exception::Exception;
};
class EIniFileException : public Exception {
  using Exception::Exception;
};
// A file could not be made or opened; the message names the file.
class EFCreateError : public EStreamError {
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
  using EStreamError::EStreamError;
};
// A module has no resource of the asked name and type.
class EResNotFound : public Exception {
  using Exception::Exception;
};
// zlib refused to deflate, or the deflated data are corrupt. A corrupt stream
// is a read error too, so callers that reject unreadable data catch both.
class ECompressionError : public EWriteError {
  using EWriteError::EWriteError;
};
class EDecompressionError : public EReadError {
  using EReadError::EReadError;
};
