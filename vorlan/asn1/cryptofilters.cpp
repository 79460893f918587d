#include "vorlan/asn1/cryptofilters.h"

namespace vorlan::detail {

namespace {

// Block size of the digesting sink.
constexpr unsigned long kDigestSinkBlockSize = 1024;

}  // namespace

CDigestFilter::CDigestFilter(CDigestMaker& digest) : m_pDigest(&digest) { SetBlockSize(kDigestSinkBlockSize); }

// The octets may be part of a secret (a key or a password being digested).
CDigestFilter::~CDigestFilter() { SecureWipe(m_pBlock, m_dwBlockSize); }

void CDigestFilter::ProcessBlock(int final, const unsigned char* data, unsigned long length) {
    ResolveBlock(data, length);
    m_pDigest->UpdateBlock(data, static_cast<int>(length), nullptr, final, 1);
}

}  // namespace vorlan::detail
