// Key stores read from arbitrary DER: every getter of every record either answers or fails
// with the decoding exception, and a store that reads is written back and reads again.
#include "vorlan/store/keystore.h"
#include "vorlan/x509/certificate.h"

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

template <class Action>
void tolerate(Action&& action) {
    try {
        action();
    } catch (CDERDecodingException* e) {
        e->Delete();
    }
}

void visit(const CASN1_RSAKeyWithCertsAndDistinguishedName& record) {
    static_cast<void>(record.GetName());
    static_cast<void>(record.IsPrivateKey() + record.IsDistinguishedName());
    CRSAPublicKey publicKey;
    CRSAPrivateKey privateKey;
    CDistinguishedName owner;
    tolerate([&] { record.GetPublicKey(publicKey); });
    tolerate([&] { record.GetPrivateKey(privateKey); });
    tolerate([&] { record.GetDistinguishedName(owner); });
    for (int i = 0; i < record.GetCertificateCount(); ++i) {
        CCertificate certificate;
        tolerate([&] { record.GetCertificate(i).SetDataTo(certificate); });
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CDEREncoding der(0, const_cast<uint8_t*>(data), size, 0, 1);
    try {
        const CASN1_KCDNs store(der);
        for (int i = 0; i < store.GetCount(); ++i) visit(store.GetRecord(i));
        CByteArray written;
        store.encodeTo(written);
        CDEREncoding again(0, written.GetData(), static_cast<unsigned long>(written.GetSize()), 0, 1);
        require(CASN1_KCDNs(again).GetCount() == store.GetCount());
    } catch (CDERDecodingException* e) {
        e->Delete();
    }
    return 0;
}
