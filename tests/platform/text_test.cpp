#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <string>

#include "common/unique_resource.h"
#include "linux/platform/cp1252_code_page.h"
#include "linux/platform/locale_text_case.h"

namespace marqel::platform::linux_ {
namespace {

bool UndefinedIn1252(int byte) {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

TEST(Cp1252CodePageTest, CodeOfCharacters) {
  struct Case {
    char16_t ch;
    std::uint32_t code;
  };
  const Case cases[] = {
      {u'\0', 0x00},
      {u'A', 0x41},
      {u'\u007F', 0x7F},
      {u'\u20AC', 0x80},
      {u'\u0192', 0x83},
      {u'\u2122', 0x99},
      {u'\u0178', 0x9F},
      {u'\u00A0', 0xA0},
      {u'\u00E9', 0xE9},
      {u'\u00FF', 0xFF},
      {u'\u0081', 0x81},
      {u'\u008D', 0x8D},
      {u'\u008F', 0x8F},
      {u'\u0090', 0x90},
      {u'\u009D', 0x9D},
      // Outside the page, surrogate halves included.
      {u'\u0080', '?'},
      {u'\u009F', '?'},
      {u'\u0100', '?'},
      {u'\u4E00', '?'},
      {char16_t{0xD83D}, '?'},
      {char16_t{0xDE00}, '?'},
      {u'\uFFFD', '?'},
  };
  const Cp1252CodePage page;
  for (const Case& c : cases) {
    EXPECT_EQ(page.codeOf(c.ch), c.code) << "U+" << std::hex << int{c.ch};
  }
}

// The C library's converter, closed however the test ends.
struct IconvTraits {
  using Handle = iconv_t;
  static iconv_t invalid() noexcept { return reinterpret_cast<iconv_t>(std::intptr_t{-1}); }
  static void close(iconv_t converter) noexcept { ::iconv_close(converter); }
};

TEST(Cp1252CodePageTest, DecodesDefinedBytesAsTheCLibraryDoes) {
  const UniqueResource<IconvTraits> owner(::iconv_open("UTF-16LE", "CP1252"));
  const iconv_t converter = owner.get();
  if (!owner) {
    GTEST_SKIP() << "the C library has no CP1252 converter";
  }
  const Cp1252CodePage page;
  for (int byte = 0; byte < 256; ++byte) {
    if (UndefinedIn1252(byte)) {
      continue;
    }
    char in = static_cast<char>(byte);
    unsigned char out[4] = {};
    char* inPtr = &in;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    ASSERT_NE(::iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1))
        << "byte " << byte;
    const auto expected = static_cast<char16_t>(out[0] | (out[1] << 8));
    EXPECT_EQ(page.fromAnsi(std::string(1, in)), std::u16string(1, expected)) << "byte " << byte;
  }
}

TEST(Cp1252CodePageTest, WholeTexts) {
  const Cp1252CodePage page;
  std::string all;
  for (int byte = 0; byte < 256; ++byte) {
    all.push_back(static_cast<char>(byte));
  }
  EXPECT_EQ(page.fromAnsi(all).size(), all.size());
  EXPECT_EQ(page.toAnsi(page.fromAnsi(all)), all);
  EXPECT_EQ(page.fromAnsi("\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
  // A character beyond the BMP is two code units, so two '?'.
  EXPECT_EQ(page.toAnsi(u"Caf\u00E9 \u20AC5 \U0001F600!\u0100"),
            std::string("Caf\xE9 \x80") + "5 ?" + "?!?");
}

TEST(LocaleTextCaseTest, UpperCasesCodeUnitByCodeUnit) {
  const LocaleTextCase textCase;
  if (!textCase.hasLocale()) {
    GTEST_SKIP() << "C.UTF-8 is not installed";
  }
  const std::u16string loneSurrogate{u'a', char16_t{0xD800}, u'b'};
  struct Case {
    std::u16string text;
    std::u16string upper;
  };
  const Case cases[] = {
      {u"abc xyz 09 ABC", u"ABC XYZ 09 ABC"},
      {u"\u00E9t\u00E9", u"\u00C9T\u00C9"},
      {u"stra\u00DFe", u"STRA\u00DFE"},  // SS would be longer
      {u"\u00FF", u"\u0178"},
      {u"\u03B1\u03B2\u03B3 \u03C2", u"\u0391\u0392\u0393 \u03A3"},
      {u"\u0430\u044F", u"\u0410\u042F"},
      {u"\U00010428x", u"\U00010428X"},  // its upper case is outside the BMP
      {loneSurrogate, std::u16string{u'A', char16_t{0xD800}, u'B'}},
      {u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(textCase.upperCase(c.text), c.upper);
  }
}

TEST(LocaleTextCaseTest, WithoutTheLocaleOnlyAsciiChanges) {
  const LocaleTextCase textCase("xx_NO.SUCH-LOCALE");
  EXPECT_FALSE(textCase.hasLocale());
  EXPECT_EQ(textCase.upperCase(u"az \u00E9\u00DF\u03B1 AZ{}`"), u"AZ \u00E9\u00DF\u03B1 AZ{}`");
}

}  // namespace
}  // namespace marqel::platform::linux_
