#include "output_text_file.h"

#include <algorithm>

namespace ordplan {

OutputTextFile::OutputTextFile(FileSystem& files, const CodePage& codePage,
                               PendingIoResult& pending)
    : files_(files),
      codePage_(codePage),
      pending_(pending),
      fixed_(std::make_unique<FixedText[]>(FixedSlots)) {}

OutputTextFile::~OutputTextFile() = default;

void OutputTextFile::Bind(std::u16string name) {
  name_ = std::move(name);
  file_.reset();
  fill_ = 0;
  writeFailed_ = false;
}

void OutputTextFile::Create() {
  const int error = files_.CreateForWriting(name_, file_);
  if (error != 0) {
    file_.reset();
    pending_.Record(error);
    return;
  }
  if (!batch_) batch_ = std::make_unique<char[]>(BatchSize);
  fill_ = 0;
  writeFailed_ = false;
}

void OutputTextFile::HandOver(std::size_t size) {
  const int error = file_ ? file_->Write(batch_.get(), size) : ErrorAccessDenied;
  if (error != 0) {
    pending_.Record(error);
    writeFailed_ = true;
  }
  // The handed-over bytes leave the batch whether or not they were stored.
  std::memmove(batch_.get(), batch_.get() + size, fill_ - size);
  fill_ -= size;
}

void OutputTextFile::AppendAcrossBatches(const char* bytes, std::size_t size) {
  while (size > 0) {
    const std::size_t part = std::min(size, BatchSize - fill_);
    std::memcpy(batch_.get() + fill_, bytes, part);
    fill_ += part;
    bytes += part;
    size -= part;
    if (fill_ == BatchSize) HandOver(BatchSize);
  }
}

const OutputTextFile::EncodedChar& OutputTextFile::Encoded(char16_t character) {
  EncodedChar& entry = chars_[character & 0xFF];
  if (entry.Length == 0 || entry.Character != character) {
    std::string bytes;
    codePage_.Encode(std::u16string_view(&character, 1), bytes);
    if (bytes.size() > sizeof entry.Bytes) bytes.resize(sizeof entry.Bytes);
    entry.Character = character;
    entry.Length = static_cast<std::uint8_t>(bytes.size());
    std::memcpy(entry.Bytes, bytes.data(), bytes.size());
    // A character that converts to no bytes at all is not kept: Length 0 means empty.
  }
  return entry;
}

const std::string& OutputTextFile::EncodeNewText(std::u16string_view text) {
  EncodedText& entry = texts_[TextSlot(text)];
  entry.Text.assign(text);
  entry.Bytes.clear();
  codePage_.Encode(text, entry.Bytes);
  return entry.Bytes;
}

std::size_t OutputTextFile::RenderChar(char16_t character, std::int32_t width, char* out) {
  const std::size_t padding =
      width > 1 ? static_cast<std::size_t>(std::min<std::int32_t>(width, MaxFieldWidth) - 1) : 0;
  std::memset(out, ' ', padding);
  const EncodedChar& encoded = Encoded(character);
  std::memcpy(out + padding, encoded.Bytes, encoded.Length);
  return padding + encoded.Length;
}

void OutputTextFile::WriteCharField(char16_t character, std::int32_t width) {
  char field[MaxFieldText];
  Append(field, RenderChar(character, width, field));
}

void OutputTextFile::WriteInteger(std::int64_t value, std::int32_t width) {
  char field[MaxFieldText];
  Append(field, FormatInteger(value, width, field));
}

void OutputTextFile::WriteInteger(Int128 value, std::int32_t width) {
  char field[MaxFieldText];
  Append(field, FormatInteger(value, width, field));
}

std::string_view OutputTextFile::NewFixed(double value, std::int32_t width, std::int32_t decimals) {
  const std::size_t length = FormatFixed(value, width, decimals, longFixed_.data());
  if (length > MaxCachedFixed) return std::string_view(longFixed_.data(), length);
  FixedText& entry = fixed_[FixedSlot(std::bit_cast<std::uint64_t>(value), width, decimals)];
  entry.Bits = std::bit_cast<std::uint64_t>(value);
  entry.Width = width;
  entry.Decimals = decimals;
  entry.Length = static_cast<std::uint8_t>(length);
  std::memcpy(entry.Text, longFixed_.data(), length);
  return std::string_view(entry.Text, length);
}

void OutputTextFile::Close() {
  if (!file_) return;
  if (fill_ > 0) {
    const int error = file_->Write(batch_.get(), fill_);
    fill_ = 0;
    if (error != 0) {
      pending_.Record(error);
      writeFailed_ = true;
      return;  // the file stays open
    }
  }
  const int error = file_->Close();
  file_.reset();
  if (error != 0) pending_.Record(error);
}

void OutputTextFile::Abandon() {
  if (!file_ || writeFailed_) return;
  const std::size_t whole = fill_ - fill_ % TextBufferSize;
  if (whole > 0) file_->Write(batch_.get(), whole);
  fill_ = 0;
}

}  // namespace ordplan
