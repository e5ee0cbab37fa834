// The report writer: a buffered text file for writing, and the field kinds every report line
// is built from.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "failure.h"
#include "fields.h"
#include "platform.h"

namespace ordplan {

// A text file for writing in the run's code page, with CR LF line ends.
//
// On disk the file behaves as if it had a buffer of TextBufferSize bytes that is handed to the
// operating system whenever it is full: during a run the file grows only in whole blocks of
// TextBufferSize bytes, and Close writes the rest. The text is handed over in batches of
// BatchSize bytes, a multiple of TextBufferSize, so that a large report costs few system
// calls; after a failure, Abandon hands over the whole blocks still in the batch, which leaves
// the file exactly as the small buffer would have.
//
// No operation throws: a failure is recorded in the run's PendingIoResult, which the caller
// checks after each statement.
class OutputTextFile {
 public:
  static constexpr std::size_t TextBufferSize = 128;
  static constexpr std::size_t BatchSize = std::size_t{1} << 20;
  static_assert(BatchSize % TextBufferSize == 0);

  OutputTextFile(FileSystem& files, const CodePage& codePage, PendingIoResult& pending);
  ~OutputTextFile();
  OutputTextFile(const OutputTextFile&) = delete;
  OutputTextFile& operator=(const OutputTextFile&) = delete;

  // Records the name; touches no file.
  void Bind(std::u16string name);

  // Creates the named file, or empties it; records 5 when it may not be written.
  void Create();

  // A text, converted to the code page, with no padding.
  void WriteText(std::u16string_view text) { WriteBytes(Encode(text)); }

  // A character field: width - 1 spaces (none for widths 0 and 1), then the character.
  void WriteChar(char16_t character, std::int32_t width) {
    if (width <= 1) {
      WriteBytes(Encode(character));
    } else {
      WriteCharField(character, width);
    }
  }

  // An integer field: the decimal form right-aligned in `width`, never cut.
  void WriteInteger(std::int64_t value, std::int32_t width);
  void WriteInteger(Int128 value, std::int32_t width);

  // A fixed-point field of `width` with `decimals` decimals (fields.h).
  void WriteFixed(double value, std::int32_t width, std::int32_t decimals) {
    const std::string_view text = Fixed(value, width, decimals);
    Append(text.data(), text.size());
  }

  // The bytes of a fixed-point field (fields.h), valid until the next call.
  std::string_view Fixed(double value, std::int32_t width, std::int32_t decimals) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const FixedText& entry = fixed_[FixedSlot(bits, width, decimals)];
    if (entry.Length != 0 && entry.Bits == bits && entry.Width == width &&
        entry.Decimals == decimals) {
      return std::string_view(entry.Text, entry.Length);
    }
    return NewFixed(value, width, decimals);
  }

  // CR LF.
  void WriteLineEnd() { Append("\r\n", 2); }

  // Bytes already in the code page.
  void WriteBytes(std::string_view bytes) { Append(bytes.data(), bytes.size()); }

  // The bytes of `character` in the code page.
  std::string_view Encode(char16_t character) {
    const EncodedChar& entry = chars_[character & 0xFF];
    if (entry.Length != 0 && entry.Character == character) {
      return std::string_view(entry.Bytes, entry.Length);
    }
    const EncodedChar& encoded = Encoded(character);
    return std::string_view(encoded.Bytes, encoded.Length);
  }

  // The bytes of `text` in the code page.
  std::string_view Encode(std::u16string_view text) {
    const EncodedText& entry = texts_[TextSlot(text)];
    if (SameText(entry.Text, text)) return entry.Bytes;
    return EncodeNewText(text);
  }

  // The bytes of a character field of `width` into `out` (at least MaxFieldText bytes);
  // returns their count.
  std::size_t RenderChar(char16_t character, std::int32_t width, char* out);

  // Hands the buffered text to the operating system and closes the file. When that write
  // fails the failure is recorded and the file stays open.
  void Close();

  // A failure ends the run: hands over the whole TextBufferSize blocks of text still batched,
  // unless a write has failed, and leaves the file as it is.
  void Abandon();

  bool IsOpen() const { return file_ != nullptr; }

  // memcpy, with the short copies of fields and fixed texts done in place.
  static void CopyBytes(char* to, const char* from, std::size_t size) {
    if (size > 64) {
      std::memcpy(to, from, size);
    } else if (size >= 16) {
      // Up to four copies of 16 bytes, the last ones overlapping.
      const std::size_t half = size / 2 >= 16 ? size - 32 : 0;
      char chunks[4][16];
      std::memcpy(chunks[0], from, 16);
      std::memcpy(chunks[1], from + (size >= 32 ? 16 : 0), 16);
      std::memcpy(chunks[2], from + half, 16);
      std::memcpy(chunks[3], from + size - 16, 16);
      std::memcpy(to, chunks[0], 16);
      std::memcpy(to + (size >= 32 ? 16 : 0), chunks[1], 16);
      std::memcpy(to + half, chunks[2], 16);
      std::memcpy(to + size - 16, chunks[3], 16);
    } else if (size >= 8) {
      std::uint64_t head, tail;
      std::memcpy(&head, from, 8);
      std::memcpy(&tail, from + size - 8, 8);
      std::memcpy(to, &head, 8);
      std::memcpy(to + size - 8, &tail, 8);
    } else if (size >= 4) {
      std::uint32_t head, tail;
      std::memcpy(&head, from, 4);
      std::memcpy(&tail, from + size - 4, 4);
      std::memcpy(to, &head, 4);
      std::memcpy(to + size - 4, &tail, 4);
    } else if (size > 0) {
      to[0] = from[0];
      to[size / 2] = from[size / 2];
      to[size - 1] = from[size - 1];
    }
  }

 private:
  void Append(const char* bytes, std::size_t size) {
    if (size <= BatchSize - fill_) [[likely]] {
      CopyBytes(batch_.get() + fill_, bytes, size);
      fill_ += size;
      if (fill_ == BatchSize) HandOver(BatchSize);
    } else {
      AppendAcrossBatches(bytes, size);
    }
  }
  void AppendAcrossBatches(const char* bytes, std::size_t size);
  // Hands the first `size` bytes of the batch to the operating system and keeps the rest.
  void HandOver(std::size_t size);

  struct EncodedChar {
    char16_t Character = 0;
    std::uint8_t Length = 0;  // 0: not filled
    char Bytes[13] = {};
  };
  const EncodedChar& Encoded(char16_t character);
  void WriteCharField(char16_t character, std::int32_t width);

  struct EncodedText {
    std::u16string Text;
    std::string Bytes;
  };
  static bool SameText(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    if (a.size() > 32) return std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
    // Eight bytes at a time, the last word overlapping.
    const std::size_t bytes = a.size() * sizeof(char16_t);
    const char* x = reinterpret_cast<const char*>(a.data());
    const char* y = reinterpret_cast<const char*>(b.data());
    if (bytes < 8) {
      for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return false;
      }
      return true;
    }
    std::uint64_t difference = 0;
    for (std::size_t i = 0; i + 8 <= bytes; i += 8) difference |= Word(x + i) ^ Word(y + i);
    return (difference | (Word(x + bytes - 8) ^ Word(y + bytes - 8))) == 0;
  }
  static std::uint64_t Word(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    return word;
  }
  static std::size_t TextSlot(std::u16string_view text) {
    return (text.size() * 31 + (text.empty() ? 0 : text[0])) % TextSlots;
  }
  const std::string& EncodeNewText(std::u16string_view text);
  static constexpr std::size_t TextSlots = 16;
  static constexpr std::size_t FixedSlots = 2048;
  static constexpr std::size_t MaxCachedFixed = 23;

  FileSystem& files_;
  const CodePage& codePage_;
  PendingIoResult& pending_;
  std::u16string name_;
  std::unique_ptr<OsFile> file_;
  std::unique_ptr<char[]> batch_;
  std::size_t fill_ = 0;
  bool writeFailed_ = false;
  // Each conversion to the code page depends only on what is converted, so the program's
  // fixed texts and the job labels are converted once and then copied.
  std::array<EncodedChar, 256> chars_;
  std::array<EncodedText, TextSlots> texts_;

  // The text of a fixed-point field depends only on the value, the width and the decimals.
  struct FixedText {
    std::uint64_t Bits = 0;
    std::int32_t Width = 0;
    std::int32_t Decimals = 0;
    std::uint8_t Length = 0;  // 0: empty
    char Text[MaxCachedFixed];
  };
  std::array<char, MaxFieldText> longFixed_;  // a field too long for the memo
  static std::size_t FixedSlot(std::uint64_t bits, std::int32_t width, std::int32_t decimals) {
    const std::uint64_t hash = (bits ^ (bits >> 31) ^ static_cast<std::uint64_t>(width) ^
                                (static_cast<std::uint64_t>(decimals) << 8)) *
                               0x9E3779B97F4A7C15u;
    return static_cast<std::size_t>(hash >> 53);  // FixedSlots entries
  }
  std::string_view NewFixed(double value, std::int32_t width, std::int32_t decimals);
  std::unique_ptr<FixedText[]> fixed_;
};

}  // namespace ordplan
