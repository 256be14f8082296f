// Shared set-up for the virtual device tests: a fresh platform per test and a leak check at the end.
#pragma once

#include "platform/virtual/virtual_platform.h"
#include "platform/media_foundation/activation.h"
#include "platform/media_foundation/media_event.h"
#include "platform/media_foundation/media_type.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumicap::virt::testing {

class VirtualDevicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Reset();
        liveAtStart_ = LiveObjectCount();
    }
    // Every test gives back every reference it took.
    void TearDown() override
    {
        Reset();
        EXPECT_EQ(LiveObjectCount(), liveAtStart_);
    }

private:
    long liveAtStart_ = 0;
};

inline ComPtr<IMFAttributes> NewAttributes()
{
    ComPtr<IMFAttributes> attributes;
    EXPECT_EQ(platform::MFCreateAttributes(attributes.Put(), 4), S_OK);
    return attributes;
}

inline ComPtr<IMFMediaType> NewMediaType()
{
    ComPtr<IMFMediaType> mediaType;
    EXPECT_EQ(platform::MFCreateMediaType(mediaType.Put()), S_OK);
    return mediaType;
}

inline WideString ReadString(IMFAttributes* attributes, REFGUID key)
{
    LPWSTR text = nullptr;
    UINT32 length = 0;
    if (FAILED(attributes->GetAllocatedString(key, &text, &length))) return TEXT("<missing>");
    WideString result(text, text + length);
    CoTaskMemFree(text);
    return result;
}

// The activation objects MFEnumDeviceSources gives for a source type, each owned once.
inline std::vector<ComPtr<IMFActivate>> Enumerate(REFGUID sourceType = MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID)
{
    ComPtr<IMFAttributes> attributes = NewAttributes();
    EXPECT_EQ(attributes->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, sourceType), S_OK);
    IMFActivate** array = nullptr;
    UINT32 count = 0;
    EXPECT_EQ(platform::MFEnumDeviceSources(attributes.Get(), &array, &count), S_OK);
    std::vector<ComPtr<IMFActivate>> activates;
    for (UINT32 i = 0; i < count; ++i) activates.push_back(ComPtr<IMFActivate>::Attach(array[i]));
    CoTaskMemFree(array);
    return activates;
}

inline std::vector<WideString> EnumeratedNames()
{
    std::vector<WideString> names;
    for (const auto& activate : Enumerate()) {
        names.push_back(ReadString(activate.Get(), MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME));
    }
    return names;
}

inline UINT64 Pack(UINT32 high, UINT32 low) { return (static_cast<UINT64>(high) << 32) | low; }

}  // namespace lumicap::virt::testing
