// Single-byte code pages given by a table: every byte is one character.
#pragma once

#include <array>
#include <cstdint>

#include "platform.h"

namespace ordplan {

// A code page in which each of the 256 bytes stands for one UTF-16 code unit, and a code unit
// that no byte stands for is written as '?'.
class SingleByteCodePage final : public CodePage {
 public:
  explicit SingleByteCodePage(const std::array<char16_t, 256>& units);

  bool DecodeCharacter(std::span<const unsigned char> bytes, char16_t& unit) const override;
  void Encode(std::u16string_view text, std::string& out) const override;

 private:
  std::array<char16_t, 256> decode_;
  std::array<unsigned char, 65536> encode_;
};

// Windows-1250, the Central European code page ordplan uses on systems without an ANSI code
// page. The five bytes the code page leaves undefined (0x81, 0x83, 0x88, 0x90, 0x98) stand for
// the C1 controls of the same number, so every byte reads as a character and is written back
// as the same byte.
const SingleByteCodePage& Windows1250();

}  // namespace ordplan
