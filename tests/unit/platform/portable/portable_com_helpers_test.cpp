// StringFromCLSID, QISearch, PropVariantClear and the per-thread error code, as Windows answers them.
#include <lumicap/portable/win32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Narrow(const OLECHAR* text)
{
    std::string out;
    for (; *text; ++text) out.push_back(static_cast<char>(*text));
    return out;
}

struct ClsidCase {
    const char* name;
    GUID guid;
    const char* text;
};

class ClsidText : public ::testing::TestWithParam<ClsidCase> {};

TEST_P(ClsidText, BracedUpperCaseInStoredByteOrder)
{
    LPOLESTR text = nullptr;
    ASSERT_EQ(StringFromCLSID(GetParam().guid, &text), S_OK);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(Narrow(text), GetParam().text);
    CoTaskMemFree(text);
}

INSTANTIATE_TEST_SUITE_P(
    Portable, ClsidText,
    ::testing::Values(
        ClsidCase{"VideoInputDeviceCategory",
                  {0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}},
                  "{860BB310-5D01-11D0-BD3B-00A0C911CE86}"},
        ClsidCase{"Null", GUID_NULL, "{00000000-0000-0000-0000-000000000000}"},
        ClsidCase{"LeadingZerosAndHighBits",
                  {0x0000ABCD, 0x00EF, 0xF00F, {0x01, 0x02, 0xFF, 0x10, 0x0A, 0xB0, 0x00, 0x9C}},
                  "{0000ABCD-00EF-F00F-0102-FF100AB0009C}"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortableStringFromClsid, NullOutIsInvalid) { EXPECT_EQ(StringFromCLSID(GUID_NULL, nullptr), E_INVALIDARG); }

// Two interfaces at different offsets, so a wrong adjustment shows.
constexpr IID IID_IFirst = {0x11111111, 0x1111, 0x1111, {1, 1, 1, 1, 1, 1, 1, 1}};
constexpr IID IID_ISecond = {0x22222222, 0x2222, 0x2222, {2, 2, 2, 2, 2, 2, 2, 2}};
constexpr IID IID_IUnlisted = {0x33333333, 0x3333, 0x3333, {3, 3, 3, 3, 3, 3, 3, 3}};

struct IFirst : IUnknown {
    virtual int First() = 0;
};
struct ISecond : IUnknown {
    virtual int Second() = 0;
};

class TwoFaced : public IFirst, public ISecond {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        static const QITAB table[] = {QITABENT(TwoFaced, IFirst), QITABENT(TwoFaced, ISecond), {nullptr, 0}};
        return QISearch(this, table, riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    int First() override { return 1; }
    int Second() override { return 2; }
    ULONG refs = 1;
};

TEST(PortableQISearch, AnswersFromTheTable)
{
    TwoFaced object;
    ASSERT_NE(OFFSETOFCLASS(ISecond, TwoFaced), 0) << "the second interface must sit at an offset";

    void* unknown = nullptr;
    ASSERT_EQ(object.QueryInterface(IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<IFirst*>(&object));
    EXPECT_EQ(object.refs, 2u);

    void* second = nullptr;
    ASSERT_EQ(object.QueryInterface(IID_ISecond, &second), S_OK);
    EXPECT_EQ(second, static_cast<ISecond*>(&object));
    EXPECT_EQ(static_cast<ISecond*>(second)->Second(), 2);
    EXPECT_EQ(object.refs, 3u);

    void* first = nullptr;
    ASSERT_EQ(object.QueryInterface(IID_IFirst, &first), S_OK);
    EXPECT_EQ(static_cast<IFirst*>(first)->First(), 1);
    EXPECT_EQ(object.refs, 4u);
}

TEST(PortableQISearch, UnlistedOrBadArguments)
{
    TwoFaced object;
    void* out = &object;
    EXPECT_EQ(object.QueryInterface(IID_IUnlisted, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object.QueryInterface(IID_IFirst, nullptr), E_POINTER);

    static const QITAB empty[] = {{nullptr, 0}};
    out = &object;
    EXPECT_EQ(QISearch(&object, empty, IID_IUnknown, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object.refs, 1u);
}

TEST(PortablePropVariantClear, FreesWhatEachTypeOwnsAndEmptiesTheValue)
{
    // What each value owns is freed (LeakSanitizer checks) and the whole value is zeroed.
    std::vector<PROPVARIANT> values(5);
    values[0].vt = VT_LPWSTR;
    values[0].pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(8 * sizeof(WCHAR)));
    values[1].vt = VT_BSTR;
    values[1].bstrVal = SysAllocString(TEXT("name"));
    values[2].vt = VT_CLSID;
    values[2].puuid = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID)));
    values[3].vt = VT_VECTOR | VT_UI1;
    values[3].caub.cElems = 16;
    values[3].caub.pElems = static_cast<UCHAR*>(CoTaskMemAlloc(16));
    values[4].vt = VT_UI8;
    values[4].uhVal.QuadPart = ~0ull;
    PROPVARIANT zero;
    std::memset(&zero, 0, sizeof(zero));
    for (auto& value : values) {
        value.wReserved1 = 7;
        const VARTYPE vt = value.vt;
        EXPECT_EQ(PropVariantClear(&value), S_OK) << "vt " << vt;
        EXPECT_EQ(std::memcmp(&value, &zero, sizeof(zero)), 0) << "vt " << vt;
    }
}

TEST(PortablePropVariantClear, ReleasesUnknownAndAcceptsNull)
{
    TwoFaced object;
    object.AddRef();
    PROPVARIANT value;
    std::memset(&value, 0, sizeof(value));
    value.vt = VT_UNKNOWN;
    value.punkVal = static_cast<IFirst*>(&object);
    EXPECT_EQ(PropVariantClear(&value), S_OK);
    EXPECT_EQ(object.refs, 1u);
    EXPECT_EQ(value.vt, VT_EMPTY);
    EXPECT_EQ(value.punkVal, nullptr);

    value.vt = VT_UNKNOWN;
    EXPECT_EQ(PropVariantClear(&value), S_OK);
    EXPECT_EQ(PropVariantClear(nullptr), S_OK);
}

TEST(PortablePropVariantClear, UnknownTypeIsLeftUntouched)
{
    PROPVARIANT value;
    std::memset(&value, 0, sizeof(value));
    value.vt = VT_VARIANT | VT_VECTOR;
    value.ulVal = 5;
    EXPECT_EQ(PropVariantClear(&value), DISP_E_BADVARTYPE);
    EXPECT_EQ(value.vt, VT_VARIANT | VT_VECTOR);
    EXPECT_EQ(value.ulVal, 5u);
}

TEST(PortableThreadState, LastErrorAndThreadIdArePerThread)
{
    // All threads stay alive until each has taken its id, so the ids must all differ.
    constexpr int kThreads = 4;
    std::mutex mutex;
    std::condition_variable allArrived;
    int arrived = 0;
    std::vector<DWORD> seenErrors(kThreads), firstIds(kThreads), secondIds(kThreads);
    std::vector<std::thread> threads;
    const DWORD mainId = GetCurrentThreadId();
    SetLastError(77);
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            firstIds[i] = GetCurrentThreadId();
            SetLastError(1000 + i);
            std::unique_lock<std::mutex> lock(mutex);
            ++arrived;
            allArrived.notify_all();
            allArrived.wait_for(lock, std::chrono::seconds(30), [&] { return arrived == kThreads; });
            seenErrors[i] = GetLastError();
            secondIds[i] = GetCurrentThreadId();
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(GetLastError(), 77u);
    EXPECT_EQ(GetCurrentThreadId(), mainId);
    std::set<DWORD> ids{mainId};
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(seenErrors[i], DWORD(1000 + i));
        EXPECT_NE(firstIds[i], 0u);
        EXPECT_EQ(firstIds[i], secondIds[i]);
        ids.insert(firstIds[i]);
    }
    EXPECT_EQ(arrived, kThreads);
    EXPECT_EQ(ids.size(), size_t(kThreads + 1));
}

}  // namespace
