#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "LoadedDll.h"

namespace {
// The DLL's version resource, read as Explorer and installers read it.
class VersionResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dll.Module(), nullptr);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(dll.Path().c_str(), &ignored);
        ASSERT_GT(size, 0u) << "no version resource, error " << GetLastError();
        info.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(dll.Path().c_str(), 0, size, info.data()));
    }

    // The value at a VerQueryValueW sub-block path, with its length in units the value has.
    const void* Value(const std::wstring& subBlock, UINT& length) {
        void* value = nullptr;
        length = 0;
        if (!VerQueryValueW(info.data(), subBlock.c_str(), &value, &length)) return nullptr;
        return value;
    }

    LoadedDll dll;
    std::vector<uint8_t> info;
};

TEST_F(VersionResourceTest, BinaryVersionsAre1_0_0_1) {
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Value(L"\\", length));
    ASSERT_NE(fixed, nullptr);
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileType, DWORD{VFT_DLL});
}

TEST_F(VersionResourceTest, TranslationIsUsEnglishUnicode) {
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(Value(L"\\VarFileInfo\\Translation", length));
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);
}

struct StringValue {
    const wchar_t* name;
    const wchar_t* expected;
};

void PrintTo(const StringValue& value, std::ostream* out) {
    for (const wchar_t* c = value.name; *c != 0; ++c) *out << char(*c);
}

class VersionStringTest : public VersionResourceTest, public ::testing::WithParamInterface<StringValue> {};

TEST_P(VersionStringTest, HasTheValue) {
    UINT length = 0;
    const std::wstring subBlock = std::wstring(L"\\StringFileInfo\\040904B0\\") + GetParam().name;
    const auto* value = static_cast<const wchar_t*>(Value(subBlock, length));
    ASSERT_NE(value, nullptr) << "no value";
    EXPECT_EQ(std::wstring(value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, VersionStringTest,
    ::testing::Values(StringValue{L"FileDescription", L"VelmoraBMPFilterFrame DLL"},
                      StringValue{L"FileVersion", L"1, 0, 0, 1"},
                      StringValue{L"InternalName", L"VelmoraBMPFilterFrame"},
                      StringValue{L"OriginalFilename", L"VelmoraBMPFilterFrame.DLL"},
                      StringValue{L"ProductName", L"VelmoraBMPFilterFrame Dynamic Link Library"},
                      StringValue{L"ProductVersion", L"1, 0, 0, 1"}),
    [](const ::testing::TestParamInfo<StringValue>& test) {
        std::string name;
        for (const wchar_t* c = test.param.name; *c != 0; ++c) name.push_back(char(*c));
        return name;
    });
}  // namespace
