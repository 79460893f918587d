// Reads arbitrary octets as an ECDSA key, a signature and a digest: the first octet picks the
// curve (low bit) and where the point ends, the next where the signature ends, the rest is the
// digest. A point either decodes, writes back and decodes to the same key, or throws
// CUnlockException; a signature either parses as DER with its two INTEGERs inside it or is refused,
// and the verdicts in DER and in raw octets agree.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "vorlan/ec/ecdsasignature.h"
#include "vorlan/ec/ecpublickey.h"
#include "vorlan/support/unlockexception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::span<const unsigned char> input(data + 2, size - 2);
    const EEllipticCurve curve = data[0] & 1 ? EEllipticCurve::p384 : EEllipticCurve::p256;
    const std::size_t pointLength = std::min<std::size_t>(data[0] >> 1, input.size());
    const std::size_t signatureLength = std::min<std::size_t>(data[1], input.size() - pointLength);
    const auto point = input.first(pointLength);
    const auto signature = input.subspan(pointLength, signatureLength);
    const auto digest = input.subspan(pointLength + signatureLength);

    std::span<const unsigned char> r, s;
    const bool parsed = vorlan::detail::ParseEcdsaSignature(signature, r, s);
    if (parsed && (r.data() < signature.data() || s.data() + s.size() > signature.data() + signature.size()))
        std::abort();
    try {
        const CECPublicKey key(curve, point);
        CByteArray written;
        key.GetPoint(written);
        if (!(CECPublicKey(curve, std::span<const unsigned char>(written.GetData(), written.GetSize())) == key))
            std::abort();
        const bool verdict = key.VerifyDer(digest, signature);
        if (verdict != (parsed && key.Verify(digest, r, s))) std::abort();
    } catch (CUnlockException* e) {
        e->Delete();
    }
    return 0;
}
