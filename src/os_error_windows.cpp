// The operating system's errors on Windows: GetLastError's codes, their category and the system's
// message.

#include <windows.h>

#include <string>

#include "os_error.hpp"
#include "text.hpp"

OsErrorKind OsError::kind() const {
  // The codes that loading a library or writing a line can give, and their near relatives.
  switch (static_cast<DWORD>(code)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_MOD_NOT_FOUND: return OsErrorKind::NotFound;
    case ERROR_ACCESS_DENIED: return OsErrorKind::PermissionDenied;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return OsErrorKind::OutOfMemory;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY: return OsErrorKind::ResourceBusy;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return OsErrorKind::AlreadyExists;
    case ERROR_NOT_SAME_DEVICE: return OsErrorKind::CrossesDevices;
    case ERROR_DIRECTORY: return OsErrorKind::NotADirectory;
    case ERROR_INVALID_PARAMETER: return OsErrorKind::InvalidInput;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return OsErrorKind::StorageFull;
    case ERROR_WRITE_PROTECT: return OsErrorKind::ReadOnlyFilesystem;
    // A reader that went away: the pipe is closed, being closed, or was never connected.
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED: return OsErrorKind::BrokenPipe;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE: return OsErrorKind::InvalidFilename;
    // A function the library does not export, as ENOSYS is on POSIX systems.
    case ERROR_PROC_NOT_FOUND:
    case ERROR_CALL_NOT_IMPLEMENTED: return OsErrorKind::Unsupported;
    case ERROR_DIR_NOT_EMPTY: return OsErrorKind::DirectoryNotEmpty;
    case ERROR_TIMEOUT: return OsErrorKind::TimedOut;
    default: return OsErrorKind::Other;
  }
}

std::string OsError::message() const {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text != nullptr ? text : L"", length);
  LocalFree(text);
  // The system ends its messages with a line break.
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) message.pop_back();
  if (message.empty()) return "Unknown error " + std::to_string(code);
  return utf8_from_utf16({reinterpret_cast<const char16_t*>(message.data()), message.size()});
}
