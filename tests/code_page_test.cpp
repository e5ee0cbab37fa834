#include "code_page.h"

#include <gtest/gtest.h>

namespace ordplan {
namespace {

TEST(Windows1250, EveryByteIsOneCharacterAndComesBack) {
  const SingleByteCodePage& codePage = Windows1250();
  for (int byte = 0; byte < 256; ++byte) {
    const unsigned char b = static_cast<unsigned char>(byte);
    char16_t unit;
    ASSERT_TRUE(codePage.DecodeCharacter(std::span(&b, 1), unit)) << byte;
    std::string back;
    codePage.Encode(std::u16string_view(&unit, 1), back);
    EXPECT_EQ(back, std::string(1, static_cast<char>(b))) << byte;
  }
}

TEST(Windows1250, KnownCharacters) {
  struct Case {
    unsigned char byte;
    char16_t unit;
  };
  for (const Case& c : {Case{0x41, u'A'}, Case{0x1A, u'\x1A'}, Case{0x80, u'\u20AC'},
                        Case{0x81, u'\u0081'}, Case{0x8A, u'\u0160'}, Case{0x9E, u'\u017E'},
                        Case{0xA5, u'\u0104'}, Case{0xC8, u'\u010C'}, Case{0xE8, u'\u010D'},
                        Case{0xED, u'\u00ED'}, Case{0xF8, u'\u0159'}, Case{0xFF, u'\u02D9'}}) {
    char16_t unit;
    ASSERT_TRUE(Windows1250().DecodeCharacter(std::span(&c.byte, 1), unit));
    EXPECT_EQ(unit, c.unit) << int{c.byte};
  }
}

TEST(Windows1250, MissingCharactersBecomeQuestionMarks) {
  std::string out;
  Windows1250().Encode(u"a\u00E6\u4E00\u20AC", out);
  EXPECT_EQ(out, "a??\x80");
  const unsigned char two[2] = {'A', 'B'};
  char16_t unit;
  EXPECT_FALSE(Windows1250().DecodeCharacter(std::span(two, 2), unit));
}

}  // namespace
}  // namespace ordplan
