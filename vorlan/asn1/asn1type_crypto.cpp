// The CASN1Type members that digest an encoding or run it through a cipher.
#include "vorlan/asn1/asn1type.h"
#include "vorlan/asn1/cryptofilters.h"

namespace {

// Runs `writer` into `sink` within one encoding pass and ends the stream.
template <class Writer>
void streamInto(CBufferedFilterNS& sink, Writer&& writer) {
    vorlan::detail::EncodingPass pass;
    writer(sink);
    sink.Finish();
}

// The sink Filter<Target> for `target` on the stack, fed by `writer`.
template <template <class> class Filter, class Target, class Writer>
void cipherInto(CCryptoProcessor& processor, Target& target, Writer&& writer) {
    Filter<Target> sink(processor, target);
    streamInto(sink, writer);
}

auto encodingWriter(const CASN1Type& value, int contentsOnly) {
    return [&value, contentsOnly](CBufferedFilterNS& sink) { value.writeEncoding(sink, contentsOnly, 0, 0); };
}

auto clearContentsWriter(const CASN1Type& value) {
    return [&value](CBufferedFilterNS& sink) { value.writeClearContents(sink); };
}

}  // namespace

void CASN1Type::digestEncoding(CDigestMaker& digest, int contentsOnly, int useTag, unsigned char tag) const {
    vorlan::detail::CDigestFilter sink(digest);
    streamInto(sink, [&](CBufferedFilterNS& out) { writeEncoding(out, contentsOnly, useTag, tag); });
}

void CASN1Type::digestClearContents(CDigestMaker& digest) const {
    vorlan::detail::CDigestFilter sink(digest);
    streamInto(sink, clearContentsWriter(*this));
}

// The four cipher members for one target kind.
#define CIPHER_MEMBERS_FOR(Target)                                                                      \
    void CASN1Type::encryptEncoding(CCryptoProcessor& processor, Target& out, int contentsOnly) const { \
        cipherInto<vorlan::detail::CEncryptFilter>(processor, out, encodingWriter(*this, contentsOnly));        \
    }                                                                                                   \
    void CASN1Type::encryptClearContents(CCryptoProcessor& processor, Target& out) const {              \
        cipherInto<vorlan::detail::CEncryptFilter>(processor, out, clearContentsWriter(*this));                 \
    }                                                                                                   \
    void CASN1Type::decryptEncoding(CCryptoProcessor& processor, Target& out, int contentsOnly) const { \
        cipherInto<vorlan::detail::CDecryptFilter>(processor, out, encodingWriter(*this, contentsOnly));        \
    }                                                                                                   \
    void CASN1Type::decryptClearContents(CCryptoProcessor& processor, Target& out) const {              \
        cipherInto<vorlan::detail::CDecryptFilter>(processor, out, clearContentsWriter(*this));                 \
    }

CIPHER_MEMBERS_FOR(CFile)
CIPHER_MEMBERS_FOR(CDEREncoding)
CIPHER_MEMBERS_FOR(CArchive)
CIPHER_MEMBERS_FOR(CBufferedFilterNS)

#undef CIPHER_MEMBERS_FOR
