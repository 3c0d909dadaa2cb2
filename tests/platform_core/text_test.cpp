// 16-bit text: wsprintfW's conversions and its 1024-character limit, the wcs functions, and the
// UTF-8 conversions the platform uses for host strings.
#include <gtest/gtest.h>

#include <string>

#include "platform/internal/module_interfaces.h"
#include "platform/win32.h"

namespace {

struct FormatCase {
  const char* name;
  std::u16string expected;
  std::u16string produced;
};

std::u16string Format(LPCWSTR format, int a, int b, int c = 0) {
  WCHAR buffer[1024];
  wsprintfW(buffer, format, a, b, c);
  return buffer;
}

TEST(WsprintfW, ConvertsLikeWin32) {
  const FormatCase cases[] = {
      {"clock line", u" 9:05", Format(u"%2d:%02d", 9, 5)},
      {"two-digit hour", u"12:30", Format(u"%2d:%02d", 12, 30)},
      {"negative", u"-42|7", Format(u"%d|%u", -42, 7)},
      {"zero-padded negative", u"-0042", Format(u"%05d", -42, 0)},
      {"left aligned", u"7  |", Format(u"%-3d|", 7, 0)},
      {"hex", u"ff FF 0xff", Format(u"%x %X %#x", 255, 255, 255)},
      {"unsigned of negative", u"4294967295", Format(u"%u", -1, 0)},
      {"percent", u"100%", Format(u"%d%%", 100, 0)},
      {"precision on numbers", u"007", Format(u"%.3d", 7, 0)},
      {"character", u"A-b", Format(u"%c-%c", 'A', 'b')},
      {"unknown conversion copied", u"q", Format(u"%q", 1, 0)},
      {"lone percent at end", u"5", Format(u"5%", 0, 0)},
  };
  for (const FormatCase& c : cases) EXPECT_EQ(c.produced, c.expected) << c.name;
}

TEST(WsprintfW, FormatsStrings) {
  WCHAR buffer[64];
  wsprintfW(buffer, u"[%s][%5s][%-5s][%.2s]", u"ab", u"ab", u"ab", u"abcdef");
  EXPECT_EQ(std::u16string(buffer), u"[ab][   ab][ab   ][ab]");
  wsprintfW(buffer, u"[%S][%hs]", "narrow", "too");
  EXPECT_EQ(std::u16string(buffer), u"[narrow][too]");
  wsprintfW(buffer, u"%s", static_cast<LPCWSTR>(nullptr));
  EXPECT_EQ(std::u16string(buffer), u"(null)");
}

TEST(WsprintfW, ReturnsTheCharactersWritten) {
  WCHAR buffer[32];
  EXPECT_EQ(wsprintfW(buffer, u"%2d:%02d", 9, 5), 5);
  EXPECT_EQ(wsprintfW(buffer, u""), 0);
  EXPECT_EQ(buffer[0], 0);
}

TEST(WsprintfW, NeverWritesMoreThan1024CharactersWithTheTerminator) {
  std::u16string filler(1500, u'x');
  WCHAR buffer[1100];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(wsprintfW(buffer, u"%s%s", filler.c_str(), u"tail"), 1023);
  EXPECT_EQ(buffer[1022], u'x');
  EXPECT_EQ(buffer[1023], 0);
  EXPECT_EQ(buffer[1024], u'#');
  // Padding counts against the limit too.
  EXPECT_EQ(wsprintfW(buffer, u"%2000d", 1), 1023);
  EXPECT_EQ(buffer[1024], u'#');
}

TEST(WsprintfW, NullBufferOrFormatWritesNothing) {
  EXPECT_EQ(wsprintfW(nullptr, u"%d", 1), 0);
  WCHAR buffer[4] = {u'a', u'b', 0, 0};
  EXPECT_EQ(wsprintfW(buffer, nullptr), 0);
  EXPECT_EQ(buffer[0], 0);
}

TEST(WideStrings, CopyMeasureAndCompare) {
  WCHAR buffer[16];
  EXPECT_EQ(wcscpy(buffer, u"DiskRead"), buffer);
  EXPECT_EQ(std::u16string(buffer), u"DiskRead");
  EXPECT_EQ(wcslen(buffer), 8u);
  EXPECT_EQ(wcslen(u""), 0u);

  struct {
    LPCWSTR a;
    LPCWSTR b;
    int sign;
  } const comparisons[] = {
      {u"Atlan", u"Atlan", 0}, {u"Atlan", u"Atlas", -1}, {u"Atlan", u"Atla", 1},
      {u"", u"a", -1},         {u"\xFFFF", u"a", 1},     {nullptr, u"", -1},
      {u"", nullptr, 1},       {nullptr, nullptr, 0},
  };
  for (const auto& c : comparisons) {
    int result = wcscmp(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign);
  }
}

TEST(WideStrings, NullPointersAreHarmless) {
  EXPECT_EQ(wcslen(static_cast<LPCWSTR>(nullptr)), 0u);
  WCHAR buffer[4] = {u'k', 0};
  EXPECT_EQ(wcscpy(buffer, nullptr), buffer);
  EXPECT_EQ(buffer[0], u'k');
  EXPECT_EQ(wcscpy(nullptr, u"x"), nullptr);
}

TEST(Utf, ConvertsBothWays) {
  const std::u16string samples[] = {u"", u"Storage Card", u"Grüße", u"\u20AC", u"a\U0001F600b"};
  for (const std::u16string& wide : samples) {
    EXPECT_EQ(platform::WideFromUtf8(platform::Utf8FromWide(wide.c_str())), wide);
  }
  EXPECT_EQ(platform::Utf8FromWide(u"\u00FC"), "\xC3\xBC");
  EXPECT_EQ(platform::Utf8FromWide(nullptr), "");
}

TEST(Utf, ReplacesWhatIsMalformed) {
  const char16_t lone_high[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(platform::Utf8FromWide(lone_high),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(platform::WideFromUtf8("\xFF"), u"\uFFFD");
  EXPECT_EQ(platform::WideFromUtf8("\xC3"), u"\uFFFD");                      // cut short
  EXPECT_EQ(platform::WideFromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
  EXPECT_EQ(platform::WideFromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // surrogate
}

}  // namespace
