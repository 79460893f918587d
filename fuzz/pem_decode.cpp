// Decodes arbitrary text as base64 and as PEM. Decoding is strict, so whatever base64
// decodes must encode to the very same text, and every PEM block must survive encoding
// and decoding again. Every failure must be the file exception.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "vorlan/support/base64.h"
#include "vorlan/support/pem.h"

namespace {

bool Same(const char* a, int aLength, const BYTE* b, int bLength) {
    return aLength == bLength && (aLength == 0 || std::memcmp(a, b, static_cast<size_t>(aLength)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    const auto* text = reinterpret_cast<const char*>(data);
    const int length = static_cast<int>(size);
    try {
        CByteArray octets;
        DecodeBase64(text, length, octets);
        const CString again = EncodeBase64(octets.GetData(), octets.GetSize());
        if (!Same(again, again.GetLength(), data, length)) std::abort();
    } catch (CFileException* e) {
        e->Delete();
    }
    try {
        CArray<SPemBlock> blocks;
        DecodePem(text, length, blocks);
        for (int i = 0; i < blocks.GetSize(); ++i) {
            const CString pem = EncodePem(blocks[i].label, blocks[i].octets.GetData(), blocks[i].octets.GetSize());
            CArray<SPemBlock> back;
            const CByteArray& octets = blocks[i].octets;
            if (DecodePem(pem, pem.GetLength(), back) != 1 || back[0].label != blocks[i].label ||
                !Same(reinterpret_cast<const char*>(back[0].octets.GetData()), back[0].octets.GetSize(),
                      octets.GetData(), octets.GetSize()))
                std::abort();
        }
    } catch (CFileException* e) {
        e->Delete();
    }
    return 0;
}
