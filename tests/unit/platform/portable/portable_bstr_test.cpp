// BSTR and task memory behave as on Windows: a byte-count prefix, a terminator outside the count,
// embedded NULs kept.
#include <lumicap/portable/win32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

uint32_t PrefixOf(BSTR text)
{
    uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(text) - sizeof(bytes), sizeof(bytes));
    return bytes;
}

struct BstrCase {
    const char* name;
    std::u16string content;  // may hold NULs
};

class BstrLayout : public ::testing::TestWithParam<BstrCase> {};

TEST_P(BstrLayout, AllocStringLenKeepsEveryCharacterAndTerminates)
{
    const std::u16string& content = GetParam().content;
    BSTR text = SysAllocStringLen(content.data(), static_cast<UINT>(content.size()));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(PrefixOf(text), content.size() * sizeof(OLECHAR));
    EXPECT_EQ(SysStringLen(text), content.size());
    EXPECT_EQ(std::u16string(text, content.size()), content);
    EXPECT_EQ(text[content.size()], u'\0');
    SysFreeString(text);
}

INSTANTIATE_TEST_SUITE_P(Portable, BstrLayout,
                         ::testing::Values(BstrCase{"Empty", u""}, BstrCase{"Plain", u"Lumicap Virtual Camera"},
                                           BstrCase{"EmbeddedNul", std::u16string(u"ab\0cd", 5)},
                                           BstrCase{"OnlyNuls", std::u16string(3, u'\0')},
                                           BstrCase{"NonAscii", u"Kamera \u00e9\u4e2d\U0001F4F7"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortableBstr, AllocStringStopsAtTheFirstNul)
{
    const std::u16string source(u"front\0back", 10);
    BSTR text = SysAllocString(source.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 5u);
    EXPECT_EQ(PrefixOf(text), 10u);
    EXPECT_EQ(std::u16string(text), u"front");
    SysFreeString(text);
}

TEST(PortableBstr, NullInputs)
{
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    CoTaskMemFree(nullptr);

    BSTR zeroed = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(SysStringLen(zeroed), 4u);
    for (UINT i = 0; i <= 4; ++i) EXPECT_EQ(zeroed[i], u'\0') << "at " << i;
    SysFreeString(zeroed);
}

TEST(PortableBstr, LengthTooLargeForThePrefixFails)
{
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(PortableTaskMemory, ZeroByteBlocksAreDistinct)
{
    void* first = CoTaskMemAlloc(0);
    void* second = CoTaskMemAlloc(0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    CoTaskMemFree(first);
    CoTaskMemFree(second);
}

}  // namespace
