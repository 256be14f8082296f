// The platform's media types and attribute stores as the rest of the platform uses them.
#pragma once

#include "platform/capture_engine/camera_record.h"

namespace lumicap::virt {

// A device media type for one format, as a camera offers it.
HRESULT CreateFormatMediaType(const Format& format, IMFMediaType** mediaType);

// Reads and copies made by the platform itself: neither counted as operations nor subject to faults.
// They work on the platform's own attribute stores and media types.
HRESULT GetUINT32Quietly(IMFAttributes* attributes, REFGUID key, UINT32* value);
HRESULT GetUINT64Quietly(IMFAttributes* attributes, REFGUID key, UINT64* value);
HRESULT GetGUIDQuietly(IMFAttributes* attributes, REFGUID key, GUID* value);
HRESULT CloneMediaTypeQuietly(IMFMediaType* source, IMFMediaType** copy);

}  // namespace lumicap::virt
