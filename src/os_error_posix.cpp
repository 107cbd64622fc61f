// The operating system's errors on POSIX systems: errno values, their category and strerror's text.

#include <cerrno>
#include <cstring>

#include "os_error.hpp"

OsErrorKind OsError::kind() const {
  switch (code) {
    case ENOENT: return OsErrorKind::NotFound;
    case EPERM:
    case EACCES: return OsErrorKind::PermissionDenied;
    case EINTR: return OsErrorKind::Interrupted;
    case E2BIG: return OsErrorKind::ArgumentListTooLong;
    case EAGAIN: return OsErrorKind::WouldBlock;
    case ENOMEM: return OsErrorKind::OutOfMemory;
    case EBUSY: return OsErrorKind::ResourceBusy;
    case EEXIST: return OsErrorKind::AlreadyExists;
    case EXDEV: return OsErrorKind::CrossesDevices;
    case ENOTDIR: return OsErrorKind::NotADirectory;
    case EISDIR: return OsErrorKind::IsADirectory;
    case EINVAL: return OsErrorKind::InvalidInput;
    case ETXTBSY: return OsErrorKind::ExecutableFileBusy;
    case EFBIG: return OsErrorKind::FileTooLarge;
    case ENOSPC: return OsErrorKind::StorageFull;
    case ESPIPE: return OsErrorKind::NotSeekable;
    case EROFS: return OsErrorKind::ReadOnlyFilesystem;
    case EMLINK: return OsErrorKind::TooManyLinks;
    case EPIPE: return OsErrorKind::BrokenPipe;
    case EDEADLK: return OsErrorKind::Deadlock;
    case ENAMETOOLONG: return OsErrorKind::InvalidFilename;
    case ENOSYS: return OsErrorKind::Unsupported;
    case ENOTEMPTY: return OsErrorKind::DirectoryNotEmpty;
    case ELOOP: return OsErrorKind::FilesystemLoop;
    case ETIMEDOUT: return OsErrorKind::TimedOut;
    case ESTALE: return OsErrorKind::StaleNetworkFileHandle;
    case EDQUOT: return OsErrorKind::FilesystemQuotaExceeded;
    default: return OsErrorKind::Other;
  }
}

std::string OsError::message() const { return std::strerror(code); }
