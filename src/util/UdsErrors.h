// The library's error types. An error raised inside an operation unwinds to the export, which
// releases what the call created and hands the message to the host as a structured exception.
#pragma once
#include <stdexcept>
#include <string>

// Base of every error the library raises itself; the message is GBK text.
class EdsError : public std::runtime_error {
public:
  explicit EdsError(const std::string& message) : std::runtime_error(message) {}
};

// A text that should hold a number does not.
class EConvertError : public EdsError {
public:
  using EdsError::EdsError;
};

// An INI file or another file the library must write refused the write.
class EFileError : public EdsError {
public:
  using EdsError::EdsError;
};

// The database layer failed; the message is the database's own text.
class EDatabaseError : public EdsError {
public:
  using EdsError::EdsError;
};

// printf-style formatting into a std::string (for messages with a %s).
std::string FormatText(const char* format, const std::string& arg);

#ifdef _WIN32
// The system's text for a Win32 error code, in the ANSI code page, without the final line break.
std::string SysErrorMessage(unsigned long Code);
#endif
