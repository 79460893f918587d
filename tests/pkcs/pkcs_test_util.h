// DER building blocks of PKCS structures for the tests: elements from their parts, a few
// fixed values (identifiers, a name, an algorithm, a small RSA key) and typed decoding.
#pragma once

#include "tests/x509/peer.h"
#include "vorlan/pkcs/signeddata.h"

namespace pkcstest {

using namespace x509test;

inline Octets Set(const std::vector<Octets>& parts) { return Tlv(0x31, Concat(parts)); }
inline Octets Ctx(unsigned n, const std::vector<Octets>& parts) { return Tlv(0xA0 | n, Concat(parts)); }
inline Octets Int(unsigned char n) { return {0x02, 0x01, n}; }

inline const Octets kData = FromHex("06092A864886F70D010701");
inline const Octets kContentTypeAttr = FromHex("06092A864886F70D010903");
inline const Octets kSha1 = Seq({FromHex("06052B0E03021A"), FromHex("0500")});
inline const Octets kRsa = Seq({FromHex("06092A864886F70D010101"), FromHex("0500")});
inline const Octets kName = Name("test");
inline const Octets kOctets = FromHex("0402ABCD");
inline const Octets kIssuerAndSerial = Seq({kName, Int(5)});
inline const Octets kAttribute = Seq({kContentTypeAttr, Set({kData})});
inline const Octets kContentInfo = Seq({kData, Ctx(0, {kOctets})});
inline const Octets kEncryptedContentInfo = Seq({kData, kSha1, FromHex("8002ABCD")});
// A version 1 revocation list without entries (its signature is not checked by the shape).
inline const Octets kCrl =
    Seq({Seq({kSha1, kName, Text(0x17, "980305140709Z"), Text(0x17, "980405140709Z")}), kSha1, FromHex("030100")});
inline const Octets kSpki = Seq({kRsa, Tlv(0x03, Concat({{0x00}, Seq({FromHex("02020101"), Int(3)})}))});

// A version 3 certificate.
inline const Octets& Certificate() {
    static const Octets der = ReadFile(VORLAN_TEST_DATA "/pkcs_cert.der");
    return der;
}

// A value of class T decoded from `der` (the encoding lives as long as the program).
template <class T>
T Decoded(const Octets& der) {
    T value;
    Decode(value, der);
    return value;
}

}  // namespace pkcstest
