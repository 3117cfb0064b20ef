#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/unique_resource.h"
#include "linux/platform/cp1252_code_page.h"
#include "linux/platform/locale_text_case.h"

// glibc's newlocale keeps its parse of LOCPATH for good, and only this test sets LOCPATH: the
// leak checker of the sanitizer build is told so (this hook is its built-in suppression list).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:__argz_add_sep\nleak:__argz_create_sep\n";
}

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
  const LocaleTextCase textCase("C.UTF-8");
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

// The user's locale, from the environment. Turkish upper-cases i to dotted İ; its locales are
// built with localedef into a private folder that LOCPATH names, so the system needs none.
class UserLocaleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/marqel-locales-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    folder_ = pattern;
    const std::string build = "localedef -i tr_TR -f UTF-8 " + folder_ +
                              "/tr_TR.UTF-8 >/dev/null 2>&1 && localedef -i tr_TR -f ISO-8859-9 " +
                              folder_ + "/tr_TR.ISO-8859-9 >/dev/null 2>&1";
    built_ = std::system(build.c_str()) == 0;
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  void SetUp() override {
    if (!built_) GTEST_SKIP() << "localedef could not build tr_TR (Debian package locales)";
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    ::setenv("LOCPATH", (folder_ + ":/usr/lib/locale").c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
  }
  static void Set(const char* name, const char* value) {
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }

  static constexpr const char* kVariables[] = {"LC_ALL", "LC_CTYPE", "LANG", "LOCPATH"};
  static inline std::string folder_;
  static inline bool built_ = false;
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(UserLocaleTest, TakesTheUsersUtf8CharacterTypeLocaleElseCUtf8) {
  struct Case {
    const char* lcAll;
    const char* lcCtype;
    const char* lang;
    std::u16string upper;  // of "i\u00E9"
  };
  const std::u16string turkish = u"\u0130\u00C9";
  const std::u16string plain = u"I\u00C9";
  const Case cases[] = {
      {nullptr, nullptr, "tr_TR.UTF-8", turkish},
      {nullptr, "tr_TR.UTF-8", "C.UTF-8", turkish},    // LC_CTYPE before LANG
      {"", "tr_TR.UTF-8", nullptr, turkish},           // an empty one counts as not set
      {"C.UTF-8", "tr_TR.UTF-8", nullptr, plain},      // LC_ALL before all
      {nullptr, nullptr, "tr_TR.ISO-8859-9", plain},   // not UTF-8
      {nullptr, nullptr, "C", plain},                  // not UTF-8 either
      {nullptr, nullptr, "xx_NO.SUCH-LOCALE", plain},  // missing
      {nullptr, nullptr, nullptr, plain},              // none named
  };
  for (const Case& c : cases) {
    Set("LC_ALL", c.lcAll);
    Set("LC_CTYPE", c.lcCtype);
    Set("LANG", c.lang);
    const LocaleTextCase textCase;
    EXPECT_EQ(textCase.upperCase(u"i\u00E9"), c.upper)
        << (c.lcAll ? c.lcAll : "-") << " " << (c.lcCtype ? c.lcCtype : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

}  // namespace
}  // namespace marqel::platform::linux_
