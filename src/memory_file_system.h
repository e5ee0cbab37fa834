// An in-memory file system for tests and the fuzzer: files are byte strings by name.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform.h"

namespace ordplan {

class MemoryFileSystem final : public FileSystem {
 public:
  // The content of each file, by name.
  std::map<std::u16string, std::string> Files;

  // Failures to inject: the error number of the next create or open (0 for none), and of
  // every write once this many more bytes have been written to the report (none when empty).
  int CreateError = 0;
  int OpenError = 0;
  int ReadError = 0;  // of every read call
  std::optional<std::size_t> WriteFailsAfter;
  int WriteError = 28;

  // The sizes of the write calls made, in order.
  std::vector<std::size_t> WriteCalls;

  int CreateForWriting(std::u16string_view name, std::unique_ptr<OsFile>& file) override;
  int OpenForReading(std::u16string_view name, std::unique_ptr<OsFile>& file) override;
};

}  // namespace ordplan
