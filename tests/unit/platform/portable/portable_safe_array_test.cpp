// SAFEARRAY as Windows lays it out and answers: bounds stored last dimension first, the VARTYPE in
// the four bytes before the descriptor, lock counting, and destruction freeing the elements.
#include <lumicap/portable/win32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Frees the array at scope exit unless a test already did.
struct ArrayOwner {
    SAFEARRAY* psa;
    ~ArrayOwner()
    {
        if (psa) SafeArrayDestroy(psa);
    }
};

DWORD StoredVartype(SAFEARRAY* psa)
{
    DWORD vt = 0;
    std::memcpy(&vt, reinterpret_cast<unsigned char*>(psa) - sizeof(vt), sizeof(vt));
    return vt;
}

struct TypeCase {
    VARTYPE vt;
    ULONG cbElements;
    USHORT features;
};

class SafeArrayTypes : public ::testing::TestWithParam<TypeCase> {};

TEST_P(SafeArrayTypes, DescriptorMatchesWindows)
{
    const TypeCase c = GetParam();
    SAFEARRAYBOUND bound{3, 0};
    ArrayOwner array{SafeArrayCreate(c.vt, 1, &bound)};
    ASSERT_NE(array.psa, nullptr);
    EXPECT_EQ(array.psa->cbElements, c.cbElements);
    EXPECT_EQ(array.psa->fFeatures, c.features);
    EXPECT_EQ(array.psa->cLocks, 0u);
    EXPECT_EQ(StoredVartype(array.psa), c.vt);
    VARTYPE vt = VT_EMPTY;
    ASSERT_EQ(SafeArrayGetVartype(array.psa, &vt), S_OK);
    EXPECT_EQ(vt, c.vt);

    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array.psa, &data), S_OK);
    const std::vector<unsigned char> zeros(3 * c.cbElements, 0);
    EXPECT_EQ(std::memcmp(data, zeros.data(), zeros.size()), 0);
    EXPECT_EQ(SafeArrayUnaccessData(array.psa), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Portable, SafeArrayTypes,
                         ::testing::Values(TypeCase{VT_BSTR, sizeof(BSTR), FADF_HAVEVARTYPE | FADF_BSTR},
                                           TypeCase{VT_UNKNOWN, sizeof(IUnknown*), FADF_HAVEVARTYPE | FADF_UNKNOWN},
                                           TypeCase{VT_UI1, 1, FADF_HAVEVARTYPE}, TypeCase{VT_I2, 2, FADF_HAVEVARTYPE},
                                           TypeCase{VT_I4, 4, FADF_HAVEVARTYPE}, TypeCase{VT_R8, 8, FADF_HAVEVARTYPE}),
                         [](const auto& info) { return "vt" + std::to_string(info.param.vt); });

TEST(PortableSafeArray, BoundsPerDimensionAndReversedStorage)
{
    SAFEARRAYBOUND bounds[3] = {{2, -1}, {3, 5}, {4, 0}};
    ArrayOwner array{SafeArrayCreate(VT_I4, 3, bounds)};
    ASSERT_NE(array.psa, nullptr);
    EXPECT_EQ(SafeArrayGetDim(array.psa), 3u);
    // Windows keeps the last dimension first.
    EXPECT_EQ(array.psa->rgsabound[0].cElements, 4u);
    EXPECT_EQ(array.psa->rgsabound[2].lLbound, -1);

    const struct {
        UINT dim;
        LONG lower;
        LONG upper;
    } expected[] = {{1, -1, 0}, {2, 5, 7}, {3, 0, 3}};
    for (const auto& e : expected) {
        LONG lower = 99, upper = 99;
        EXPECT_EQ(SafeArrayGetLBound(array.psa, e.dim, &lower), S_OK) << "dim " << e.dim;
        EXPECT_EQ(SafeArrayGetUBound(array.psa, e.dim, &upper), S_OK) << "dim " << e.dim;
        EXPECT_EQ(lower, e.lower) << "dim " << e.dim;
        EXPECT_EQ(upper, e.upper) << "dim " << e.dim;
    }
    for (UINT bad : {0u, 4u, 0xFFFFFFFFu}) {
        LONG value = 42;
        EXPECT_EQ(SafeArrayGetLBound(array.psa, bad, &value), DISP_E_BADINDEX) << "dim " << bad;
        EXPECT_EQ(SafeArrayGetUBound(array.psa, bad, &value), DISP_E_BADINDEX) << "dim " << bad;
        EXPECT_EQ(value, 42);
    }
}

TEST(PortableSafeArray, EmptyDimensionHasUpperBoundBelowLower)
{
    SAFEARRAYBOUND bound{0, 5};
    ArrayOwner array{SafeArrayCreate(VT_BSTR, 1, &bound)};
    ASSERT_NE(array.psa, nullptr);
    LONG upper = 0;
    ASSERT_EQ(SafeArrayGetUBound(array.psa, 1, &upper), S_OK);
    EXPECT_EQ(upper, 4);
}

TEST(PortableSafeArray, CreateRefusesWhatItCannotHold)
{
    SAFEARRAYBOUND one{1, 0};
    SAFEARRAYBOUND huge[2] = {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 1, &one), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, &one), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &one), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_R8, 2, huge), nullptr);
}

TEST(PortableSafeArray, LocksAreCountedAndBlockDestroy)
{
    SAFEARRAYBOUND bound{2, 0};
    ArrayOwner array{SafeArrayCreate(VT_BSTR, 1, &bound)};
    ASSERT_NE(array.psa, nullptr);
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array.psa, &first), S_OK);
    ASSERT_EQ(SafeArrayAccessData(array.psa, &second), S_OK);
    EXPECT_EQ(first, second);
    EXPECT_EQ(array.psa->cLocks, 2u);

    EXPECT_EQ(SafeArrayDestroy(array.psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(array.psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array.psa), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(array.psa), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(array.psa), E_UNEXPECTED);
    EXPECT_EQ(array.psa->cLocks, 0u);
    EXPECT_EQ(SafeArrayDestroy(array.psa), S_OK);
    array.psa = nullptr;
}

TEST(PortableSafeArray, NullArguments)
{
    SAFEARRAYBOUND bound{1, 0};
    ArrayOwner array{SafeArrayCreate(VT_UI1, 1, &bound)};
    ASSERT_NE(array.psa, nullptr);
    void* data = nullptr;
    LONG value = 0;
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
    EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
    EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
    EXPECT_EQ(SafeArrayAccessData(array.psa, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayUnaccessData(nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetLBound(array.psa, 1, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetUBound(nullptr, 1, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetUBound(array.psa, 1, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetVartype(nullptr, &vt), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetVartype(array.psa, nullptr), E_INVALIDARG);
    EXPECT_EQ(array.psa->cLocks, 0u);
}

TEST(PortableSafeArray, DestroyFreesEveryStringOfAMultiDimensionalArray)
{
    // Leaks would show under LeakSanitizer; the strings are also read back before destruction.
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};
    SAFEARRAY* psa = SafeArrayCreate(VT_BSTR, 2, bounds);
    ASSERT_NE(psa, nullptr);
    BSTR* strings = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&strings)), S_OK);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(strings[i], nullptr);
        strings[i] = SysAllocString(std::u16string(u"camera ").append(1, static_cast<char16_t>(u'0' + i)).c_str());
    }
    EXPECT_EQ(SysStringLen(strings[5]), 8u);
    ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

class CountedObject : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
};

TEST(PortableSafeArray, DestroyReleasesUnknownElements)
{
    CountedObject held;
    SAFEARRAYBOUND bound{3, 0};
    SAFEARRAY* psa = SafeArrayCreate(VT_UNKNOWN, 1, &bound);
    ASSERT_NE(psa, nullptr);
    IUnknown** objects = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&objects)), S_OK);
    held.AddRef();
    objects[0] = &held;
    held.AddRef();
    objects[2] = &held;  // the slot between stays null and must be skipped
    ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
    ASSERT_EQ(held.refs, 3u);
    EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
    EXPECT_EQ(held.refs, 1u);
}

}  // namespace
