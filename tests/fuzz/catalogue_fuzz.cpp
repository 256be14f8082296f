// The catalogue line from random width, height, subtype and frame rate, checked against a model of the
// text written here from the description alone: "<width> X <height> <subtype> FPS <rate>", the subtype
// being the bytes of its first field, least significant first, up to the first zero byte (none for the
// value 20), and the rate the whole frames per second (0 with a zero denominator). The line then goes
// into a SAFEARRAY of BSTR with each byte widened by sign extension.
#include "fuzz_input.h"

#include "capture/media_type_catalogue.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using lumicap::fuzz::Input;
using lumicap::fuzz::Require;

std::string ModelSubtype(uint32_t code)
{
    if (code % 256 == 20) return "";
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const unsigned byte = code % 256;
        code /= 256;
        if (byte == 0) break;
        text += static_cast<char>(byte);
    }
    return text;
}

std::string ModelLine(uint32_t width, uint32_t height, uint32_t code, uint32_t numerator, uint32_t denominator)
{
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%lu X %lu ", static_cast<unsigned long>(width),
                  static_cast<unsigned long>(height));
    char rate[32];
    std::snprintf(rate, sizeof rate, " FPS %lu",
                  static_cast<unsigned long>(denominator == 0 ? 0 : numerator / denominator));
    return numbers + ModelSubtype(code) + rate;
}

// A value that often lands on the edges: 0, 1, 20, the 32-bit maximum, or anything.
uint32_t Value(Input& input)
{
    switch (input.Byte() % 5) {
    case 0:
        return 0;
    case 1:
        return 1;
    case 2:
        return 0xFFFFFFFFu - input.Byte();
    case 3:
        return input.Word();
    default:
        return input.Dword();
    }
}

// A subtype code built from four chosen bytes: printable, zero, 20, high (sign-extended when widened).
uint32_t SubtypeCode(Input& input)
{
    uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
        const uint8_t pick = input.Byte();
        uint8_t byte = 0;
        switch (pick % 5) {
        case 0:
            byte = 0;
            break;
        case 1:
            byte = 20;
            break;
        case 2:
            byte = static_cast<uint8_t>('A' + pick % 26);
            break;
        case 3:
            byte = static_cast<uint8_t>(0x80 | pick);
            break;
        default:
            byte = input.Byte();
            break;
        }
        code |= static_cast<uint32_t>(byte) << (8 * i);
    }
    return code;
}

void CheckWidened(const std::vector<std::string>& lines)
{
    SAFEARRAY* array = nullptr;
    lumicap::StringsToBstrArray(lines, &array);
    Require(array != nullptr, "the array is made");
    LONG lower = -1;
    LONG upper = -2;
    Require(SafeArrayGetLBound(array, 1, &lower) == S_OK && lower == 0, "lower bound 0");
    Require(SafeArrayGetUBound(array, 1, &upper) == S_OK && upper == static_cast<LONG>(lines.size()) - 1,
            "one element per line");
    BSTR* elements = nullptr;
    Require(SafeArrayAccessData(array, reinterpret_cast<void**>(&elements)) == S_OK, "access");
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        // A zero byte in the text would end the BSTR there; the model never makes one.
        Require(elements[i] && SysStringLen(elements[i]) == line.size(), "BSTR length");
        for (size_t k = 0; k < line.size(); ++k) {
            const unsigned byte = static_cast<unsigned char>(line[k]);
            const unsigned wide = byte >= 0x80 ? 0xFF00u | byte : byte;
            Require(static_cast<unsigned>(elements[i][k]) == wide, "each byte widened by sign extension");
        }
    }
    SafeArrayUnaccessData(array);
    SafeArrayDestroy(array);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input input(data, size);
    std::vector<std::string> lines;
    while (!input.Empty() && lines.size() < 64) {
        const uint32_t width = Value(input);
        const uint32_t height = Value(input);
        GUID subtype = MFVideoFormat_YUY2;
        subtype.Data1 = SubtypeCode(input);
        subtype.Data2 = input.Word();
        const uint32_t numerator = Value(input);
        const uint32_t denominator = Value(input);

        const std::string expected = ModelLine(width, height, subtype.Data1, numerator, denominator);
        Require(lumicap::DescribeSubtype(subtype) == ModelSubtype(subtype.Data1), "subtype text");
        const std::string line = lumicap::DescribeFormat(width, height, subtype, numerator, denominator);
        if (line != expected) {
            std::fprintf(stderr, "fuzz: got \"%s\", expected \"%s\"\n", line.c_str(), expected.c_str());
            Require(false, "catalogue line");
        }
        lines.push_back(line);
    }
    CheckWidened(lines);
    return 0;
}
