#include "window/key_filter.h"

#include <gtest/gtest.h>

#include <ostream>

#include "support/case_names.h"

namespace tambrel {
namespace {

struct KeyCase {
  const char* what;
  int code;
  bool passes;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.what; }

class KeyFilterTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyFilterTest, DigitsAndControlCodesPassEverythingElseBeeps) {
  const KeyCase& c = GetParam();
  const KeyVerdict verdict = FilterKey(c.code);
  if (c.passes) {
    EXPECT_EQ(verdict.keyCode, c.code) << c.what;
    EXPECT_FALSE(verdict.beep) << c.what;
  } else {
    EXPECT_EQ(verdict.keyCode, 0) << c.what;
    EXPECT_TRUE(verdict.beep) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, KeyFilterTest,
    ::testing::Values(KeyCase{"NUL", 0, true}, KeyCase{"Ctrl+C", 3, true},
                      KeyCase{"backspace", 8, true}, KeyCase{"Enter", 13, true},
                      KeyCase{"Ctrl+V", 22, true}, KeyCase{"Ctrl+X", 24, true},
                      KeyCase{"code 30", 30, true}, KeyCase{"code 31", 31, false},
                      KeyCase{"space", 32, false}, KeyCase{"minus", '-', false},
                      KeyCase{"point", '.', false}, KeyCase{"slash, below 0", '/', false},
                      KeyCase{"0", '0', true}, KeyCase{"5", '5', true}, KeyCase{"9", '9', true},
                      KeyCase{"colon, above 9", ':', false}, KeyCase{"a", 'a', false},
                      KeyCase{"DEL", 127, false}, KeyCase{"code 128", 128, false},
                      KeyCase{"e acute", 0xE9, false}, KeyCase{"CJK", 0x8000, false},
                      KeyCase{"emoji", 0x1F3B2, false}, KeyCase{"negative", -1, true}),
    [](const auto& param_info) { return testing::WordsName(param_info.param.what); });

}  // namespace
}  // namespace tambrel
