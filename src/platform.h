// Operating-system services used by ordplan: files, the code page and the process.
//
// Every service sits behind this one header. Each operating system has its own backend file
// (platform_posix.cpp, platform_win32.cpp); no other module calls the operating system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace ordplan {

// Error numbers that have a meaning of their own in ordplan's messages. Every other failure
// keeps the operating system's own number.
inline constexpr int ErrorFileNotFound = 2;
inline constexpr int ErrorTooManyOpenFiles = 4;
inline constexpr int ErrorAccessDenied = 5;

// An open file. Its calls return 0 on success or an error number as above; they never throw.
class OsFile {
 public:
  virtual ~OsFile() = default;

  // Reads at most `size` bytes into `buffer` and sets `got` to the number read: 0 means the
  // physical end of the file.
  virtual int Read(void* buffer, std::size_t size, std::size_t& got) = 0;

  // Hands all `size` bytes to the operating system; a call that stores only part of them is
  // continued with the rest. On failure the bytes not stored are lost.
  virtual int Write(const void* data, std::size_t size) = 0;

  // Closes the file. The object may be destroyed afterwards whatever the result.
  virtual int Close() = 0;
};

// Opens files by name, relative names against the current directory.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Creates the file for writing, or empties it if it exists. While it is open, other
  // programs may read it but not write it. On failure `file` stays empty and an existing
  // file is left as it was.
  virtual int CreateForWriting(std::u16string_view name, std::unique_ptr<OsFile>& file) = 0;

  // Opens an existing file for reading. While it is open, other programs may read it but
  // not write it.
  virtual int OpenForReading(std::u16string_view name, std::unique_ptr<OsFile>& file) = 0;
};

// The code page of the report and of the input: text inside the program is UTF-16.
class CodePage {
 public:
  virtual ~CodePage() = default;

  // True when `bytes` form exactly one complete character that converts to a single UTF-16
  // code unit, which is then stored in `unit`.
  virtual bool DecodeCharacter(std::span<const unsigned char> bytes, char16_t& unit) const = 0;

  // Appends `text` converted to the code page; a character the code page lacks becomes the
  // code page's replacement.
  virtual void Encode(std::u16string_view text, std::string& out) const = 0;
};

// The services of the running process.
class Process {
 public:
  virtual ~Process() = default;

  // The file name of the running executable, without its directory, in the encoding of the
  // standard error stream.
  virtual std::string ExecutableName() const = 0;

  // The address at which the executable's image is loaded.
  virtual std::uintptr_t ImageBase() const = 0;

  // Writes bytes to the standard error stream (converted there to the console's code page
  // where the system has one).
  virtual void WriteStandardError(std::string_view bytes) const = 0;
};

// The services of the system ordplan runs on, chosen by the build. The process is also set up
// so that a write beyond a file-size limit fails with an error number instead of killing it.
struct SystemServices {
  std::unique_ptr<FileSystem> Files;
  std::unique_ptr<CodePage> Text;
  std::unique_ptr<Process> Host;
};
SystemServices OpenSystemServices();

}  // namespace ordplan
