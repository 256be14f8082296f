// The photo sink's way of writing its JPEG into the host's byte stream, chosen by the control API:
// plain Write calls, BeginWrite/EndWrite pairs, or a placeholder for the first bytes that is patched
// at the end after seeking back, as an image encoder does with a header it fills in last.
#pragma once
#include "platform/control/engine_control.h"


namespace lumicap::virt {

// Stands between the encoder and the output stream: Write goes out in the chosen way, every other
// call is the output's own. Finish writes what was held back.
HRESULT CreatePhotoWriteStream(IMFByteStream* output, PhotoWriteMode mode, IMFByteStream** stream);
HRESULT FinishPhotoWriteStream(IMFByteStream* stream);

// Writes all of data through IMFByteStream::Write, in chunks of at most 64 KiB; the first failure, or
// E_FAIL from a stream that accepts nothing.
HRESULT WriteAll(IMFByteStream* output, const BYTE* data, size_t size);

}  // namespace lumicap::virt
