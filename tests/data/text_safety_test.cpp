// Text from files made safe for output: what stays as it is, what is escaped, what is isolated,
// and the shell word that gives the same bytes back.
#include "data/text_safety.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_support.h"

namespace momiru {
namespace {

constexpr const char* kIsolate = "\xE2\x81\xA8";  // U+2068
constexpr const char* kPop = "\xE2\x81\xA9";      // U+2069

TEST(TextSafety, OrdinaryNamesAndMarkupLookalikesStayByteForByte) {
  for (const std::string name :
       {"a.datのポチまる(1)", "<img src=/dev/zero>", "<h1>x</h1>", "<a href=x>y</a>", "%2&amp;",
        "back\\slash 'quote'", "ｶﾀｶﾅ全角　スペース", "🐉"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(visibleText(name), name);
    EXPECT_EQ(plainName(name), name);
  }
}

TEST(TextSafety, NothingInANameActsWhenShown) {
  const struct {
    std::string raw;
    std::string shown;
  } cases[] = {
      {"a\r\nb\tc", "a\\r\\nb\\tc"},
      {std::string("nul\0esc\x1b[2J\x7f", 12), "nul\\x00esc\\x1B[2J\\x7F"},
      {"c1\xC2\x9B\xC2\x85", "c1\\u009B\\u0085"},
      {"rev\xE2\x80\xAEtxt", "rev\\u202Etxt"},                     // right-to-left override
      {"sep\xE2\x80\xA8par\xE2\x80\xA9", "sep\\u2028par\\u2029"},  // line, paragraph
      {"iso\xE2\x81\xA6\xE2\x81\xA9mark\xE2\x80\x8F", "iso\\u2066\\u2069mark\\u200F"},
      {"bad\xff\xE3\x81", "bad\\xFF\\xE3\\x81"},  // not UTF-8, and cut short
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(visibleText(c.raw), c.shown);
    EXPECT_EQ(plainName(c.raw), c.shown);
    EXPECT_EQ(markupName(c.raw), "<bdi>" + c.shown + "</bdi>");
  }
}

// Each byte that is not part of a valid sequence becomes one U+FFFD, as the plain output shows
// each such byte; NUL stays (JSON escapes it), and printable() also replaces control characters.
TEST(TextSafety, EveryInvalidByteBecomesOneReplacementCharacter) {
  EXPECT_EQ(validUtf8("a\xff!"), "a\xEF\xBF\xBD!");
  EXPECT_EQ(validUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");                  // overlong '/'
  EXPECT_EQ(validUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // a surrogate
  EXPECT_EQ(validUtf8("\xE3\x83"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // cut short at the end
  EXPECT_EQ(validUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(printable(std::string("a\0\x1b[2J\x7f\xC2\x85z", 10)),
            "a\xEF\xBF\xBD\xEF\xBF\xBD[2J\xEF\xBF\xBD\xEF\xBF\xBDz");
}

TEST(TextSafety, ARightToLeftNameIsIsolatedFromTheTextAroundIt) {
  const std::string hebrew = "a.dat\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";  // a.datשלום
  EXPECT_EQ(plainName(hebrew), kIsolate + hebrew + kPop);
  const std::string arabic = "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7\n";  // مرحبا and LF
  EXPECT_EQ(plainName(arabic), kIsolate + arabic.substr(0, arabic.size() - 1) + "\\n" + kPop);
  // In markup the <bdi> isolates it, with no isolate characters of its own.
  EXPECT_EQ(markupName(hebrew), "<bdi>" + hebrew + "</bdi>");
}

TEST(TextSafety, MarkupNamesHoldNoMarkup) {
  EXPECT_EQ(escapeMarkup("<a href='x'>&\"</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;&lt;/a&gt;");
  EXPECT_EQ(markupName("<img src=/dev/zero>"), "<bdi>&lt;img src=/dev/zero&gt;</bdi>");
  // XML cannot hold U+FFFE even as a reference.
  EXPECT_EQ(markupName("x\xEF\xBF\xBE"), "<bdi>x\xEF\xBF\xBD</bdi>");
}

#ifndef _WIN32  // the case needs what only Linux has
// What bash makes of a quoted word.
std::string throughBash(const std::string& word) {
  testing::ScratchDir dir;
  testing::writeFile(dir / "echo.sh", "printf %s " + word);
  std::string out;
  FILE* pipe = ::popen(("LC_ALL=C bash '" + (dir / "echo.sh").string() + "'").c_str(), "r");
  if (pipe == nullptr) return out;
  char buf[256];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
  ::pclose(pipe);
  return out;
}
#endif

#ifndef _WIN32  // the case needs what only Linux has
TEST(TextSafety, AShellWordIsOneSafeLineThatGivesTheSameBytesBack) {
  EXPECT_EQ(shellQuote("/tmp/ポチ's.dat"), "'/tmp/ポチ'\\''s.dat'");
  EXPECT_EQ(shellQuote("a\nb"), "$'a\\x0ab'");
  EXPECT_EQ(shellQuote("r\xE2\x80\xAE\xC2\x9B'\\"), "$'r\\xe2\\x80\\xae\\xc2\\x9b\\'\\\\'");
  for (const std::string path :
       {"/tmp/plain.dat", "/tmp/$(rm -rf x)`y`.dat", "/tmp/line\nbreak\t\x1b.dat",
        "/tmp/rev\xE2\x80\xAEtad.\xC2\x9B\xE2\x80\xA8", "/tmp/\xff\xfe.dat",
        "/tmp/ぽち\\まる'.dat"}) {
    SCOPED_TRACE(visibleText(path));
    const std::string quoted = shellQuote(path);
    EXPECT_EQ(visibleText(quoted), quoted);  // nothing in it acts
    EXPECT_EQ(throughBash(quoted), path);
  }
}
#endif

}  // namespace
}  // namespace momiru
