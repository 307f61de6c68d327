#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>

#include "NarrowPath.h"
#include "NarrowPathWindows.h"

namespace {
struct Conversion {
    const char* name;
    const wchar_t* path;
    std::string expected;
};

void PrintTo(const Conversion& conversion, std::ostream* out) { *out << conversion.name; }

// The buffer has two bytes per UTF-16 unit, terminator included. UTF-8 needs
// three for most non-Latin characters, so a short path of them does not fit:
// it must come out as the empty string, never as a cut, unterminated copy.
class NarrowPathInUtf8 : public ::testing::TestWithParam<Conversion> {};

TEST_P(NarrowPathInUtf8, ConvertsWhatFitsAndEmptiesWhatDoesNot) {
    const auto narrow = NarrowPathInCodePage(GetParam().path, CP_UTF8);
    ASSERT_NE(narrow, nullptr);
    EXPECT_EQ(std::string(narrow.get()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, NarrowPathInUtf8,
    ::testing::Values(Conversion{"Ascii", L"C:\\images\\in.bmp", "C:\\images\\in.bmp"},
                      Conversion{"TwoByteCharacters", L"\u00E9\u00E9.bmp", "\xC3\xA9\xC3\xA9.bmp"},
                      Conversion{"ThreeBytesFillingTheBuffer", L"\u65E5", "\xE6\x97\xA5"},
                      Conversion{"ThreeBytesOneTooMany", L"\u65E5\u65E5", ""},
                      Conversion{"LongPathThatDoesNotFit", L"\u65E5\u672C\u8A9E\u65E5\u672C\u8A9E.bmp", ""},
                      Conversion{"Empty", L"", ""}),
    [](const ::testing::TestParamInfo<Conversion>& test) { return std::string(test.param.name); });

TEST(NarrowPath, NullStaysNull) {
    EXPECT_EQ(NarrowPath(nullptr), nullptr);
    EXPECT_EQ(NarrowPathInCodePage(nullptr, CP_UTF8), nullptr);
}

TEST(NarrowPath, UsesTheDefaultCodePage) {
    const wchar_t* path = L"D:\\data\\caf\u00E9.bmp";
    char expected[64] = {};
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, path, -1, expected, int(sizeof expected), nullptr, nullptr), 0);
    EXPECT_STREQ(NarrowPath(path).get(), expected);
}
}  // namespace
