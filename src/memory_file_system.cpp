#include "memory_file_system.h"

#include <algorithm>
#include <cstring>

namespace ordplan {

namespace {

class MemoryFile final : public OsFile {
 public:
  MemoryFile(MemoryFileSystem& system, std::string& content) : system_(system), content_(content) {}

  int Read(void* buffer, std::size_t size, std::size_t& got) override {
    got = 0;
    if (system_.ReadError != 0) return system_.ReadError;
    got = std::min(size, content_.size() - position_);
    std::memcpy(buffer, content_.data() + position_, got);
    position_ += got;
    return 0;
  }

  int Write(const void* data, std::size_t size) override {
    system_.WriteCalls.push_back(size);
    std::size_t stored = size;
    if (system_.WriteFailsAfter) {
      stored = std::min(size, *system_.WriteFailsAfter);
      *system_.WriteFailsAfter -= stored;
    }
    content_.append(static_cast<const char*>(data), stored);
    return stored == size ? 0 : system_.WriteError;
  }

  int Close() override { return 0; }

 private:
  MemoryFileSystem& system_;
  std::string& content_;
  std::size_t position_ = 0;
};

}  // namespace

int MemoryFileSystem::CreateForWriting(std::u16string_view name, std::unique_ptr<OsFile>& file) {
  if (CreateError != 0) return CreateError;
  std::string& content = Files[std::u16string(name)];
  content.clear();
  file = std::make_unique<MemoryFile>(*this, content);
  return 0;
}

int MemoryFileSystem::OpenForReading(std::u16string_view name, std::unique_ptr<OsFile>& file) {
  if (OpenError != 0) return OpenError;
  const auto found = Files.find(std::u16string(name));
  if (found == Files.end()) return ErrorFileNotFound;
  file = std::make_unique<MemoryFile>(*this, found->second);
  return 0;
}

}  // namespace ordplan
