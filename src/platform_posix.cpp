// The POSIX backend of the platform services.
//
// Sharing is kept with advisory locks: the report is locked exclusively and the input shared,
// both without waiting, so a second ordplan in the same directory fails instead of mixing its
// report with the first one's. A lock held elsewhere fails the open with the lock's error.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "code_page.h"
#include "platform.h"

extern "C" char __executable_start;  // the first byte of the loaded executable (GNU ld, lld)

namespace ordplan {

namespace {

// The error numbers ordplan's messages name; the rest keep their own.
int MapError(int error) {
  switch (error) {
    case ENOENT:
      return ErrorFileNotFound;
    case EMFILE:
    case ENFILE:
      return ErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ErrorAccessDenied;
    default:
      return error;
  }
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

class PosixFile final : public OsFile {
 public:
  explicit PosixFile(int descriptor) : descriptor_(descriptor) {}
  ~PosixFile() override {
    if (descriptor_ >= 0) ::close(descriptor_);
  }

  int Read(void* buffer, std::size_t size, std::size_t& got) override {
    got = 0;
    for (;;) {
      const ssize_t result = ::read(descriptor_, buffer, size);
      if (result >= 0) {
        got = static_cast<std::size_t>(result);
        return 0;
      }
      if (errno != EINTR) return MapError(errno);
    }
  }

  int Write(const void* data, std::size_t size) override {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t result = ::write(descriptor_, bytes, size);
      if (result < 0) {
        if (errno == EINTR) continue;
        return MapError(errno);
      }
      bytes += result;
      size -= static_cast<std::size_t>(result);
    }
    return 0;
  }

  int Close() override {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return ::close(descriptor) == 0 ? 0 : MapError(errno);
  }

 private:
  int descriptor_;
};

class PosixFileSystem final : public FileSystem {
 public:
  int CreateForWriting(std::u16string_view name, std::unique_ptr<OsFile>& file) override {
    // Opened without truncating: an existing file is emptied only once it is known to be
    // writable and no other run holds it.
    const int descriptor = ::open(ToUtf8(name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) return MapError(errno);
    auto opened = std::make_unique<PosixFile>(descriptor);
    struct stat status;
    if (::fstat(descriptor, &status) != 0) return MapError(errno);
    // A file without any write permission bit is read-only, also for a user (root) whom the
    // system would let write it.
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return ErrorAccessDenied;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) return MapError(errno);
    // Only a file that holds something is truncated: ext4 treats a truncation to length 0 as
    // a rewrite of the file and forces all of it to disk when it is closed, which would cost
    // a large new report its writing time again.
    if (S_ISREG(status.st_mode) && status.st_size > 0 && ::ftruncate(descriptor, 0) != 0) {
      return MapError(errno);
    }
    file = std::move(opened);
    return 0;
  }

  int OpenForReading(std::u16string_view name, std::unique_ptr<OsFile>& file) override {
    const int descriptor = ::open(ToUtf8(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return MapError(errno);
    auto opened = std::make_unique<PosixFile>(descriptor);
    struct stat status;
    if (::fstat(descriptor, &status) != 0) return MapError(errno);
    // A directory opens for reading here; it is no input file.
    if (S_ISDIR(status.st_mode)) return ErrorAccessDenied;
    if (::flock(descriptor, LOCK_SH | LOCK_NB) != 0) return MapError(errno);
    file = std::move(opened);
    return 0;
  }
};

class PosixProcess final : public Process {
 public:
  std::string ExecutableName() const override {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "ordplan";
    const std::string full(path, static_cast<std::size_t>(length));
    return full.substr(full.find_last_of('/') + 1);
  }

  std::uintptr_t ImageBase() const override {
    return reinterpret_cast<std::uintptr_t>(&__executable_start);
  }

  void WriteStandardError(std::string_view bytes) const override {
    while (!bytes.empty()) {
      const ssize_t result = ::write(STDERR_FILENO, bytes.data(), bytes.size());
      if (result < 0 && errno == EINTR) continue;
      if (result <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(result));
    }
  }
};

// Windows-1250, whose tables live in static storage: taking it allocates next to nothing.
class FixedCodePage final : public CodePage {
 public:
  bool DecodeCharacter(std::span<const unsigned char> bytes, char16_t& unit) const override {
    return Windows1250().DecodeCharacter(bytes, unit);
  }
  void Encode(std::u16string_view text, std::string& out) const override {
    Windows1250().Encode(text, out);
  }
};

}  // namespace

SystemServices OpenSystemServices() {
  // A write beyond the file-size limit then fails with EFBIG, which the run reports.
  ::signal(SIGXFSZ, SIG_IGN);
  return SystemServices{std::make_unique<PosixFileSystem>(), std::make_unique<FixedCodePage>(),
                        std::make_unique<PosixProcess>()};
}

}  // namespace ordplan
