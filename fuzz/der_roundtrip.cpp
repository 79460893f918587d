// Decodes arbitrary octets; whatever decodes is encoded again, and that encoding must
// decode and encode to the same octets. Copies, comparison and the dump run on the way.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "vorlan/asn1/decoder.h"
#include "vorlan/framework/memfile.h"

namespace {

// The tree of one element, or null when the octets do not decode.
std::unique_ptr<CASN1Type> decodeOctets(const uint8_t* data, size_t size) {
    auto* der = new CDEREncoding(1, const_cast<uint8_t*>(data), size, 0, 1);
    der->AddRef();
    std::unique_ptr<CASN1Type> tree;
    try {
        tree.reset(___buildFromEncoding(*der));
    } catch (CDERDecodingException* e) {
        e->Delete();
    }
    der->Release();
    return tree;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<CASN1Type> tree = decodeOctets(data, size);
    if (!tree) return 0;
    CByteArray first;
    tree->encodeTo(first);

    std::unique_ptr<CASN1Type> again = decodeOctets(first.GetData(), static_cast<size_t>(first.GetSize()));
    if (!again) std::abort();
    CByteArray second;
    again->encodeTo(second);
    if (second.GetSize() != first.GetSize() ||
        std::memcmp(second.GetData(), first.GetData(), static_cast<size_t>(first.GetSize())) != 0)
        std::abort();

    std::unique_ptr<CASN1Type> copy(tree->clone());
    if (___cmp(*copy, *again) != 0) std::abort();
    CMemFile dump;
    copy->Dump(0, &dump);
    CByteArray clear;
    copy->GetClearData(clear, 0);
    if (static_cast<unsigned long>(clear.GetSize()) != copy->getClearContentsLength()) std::abort();
    return 0;
}
