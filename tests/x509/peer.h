// Helpers of the x509 tests: certificates and lists read and written, archives, and the
// openssl command as the peer (keys made once per build tree, certificates of `openssl req`).
#pragma once

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/sha.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "tests/common/archive_io.h"
#include "tests/common/decoding.h"
#include "tests/common/der.h"
#include "tests/common/rows.h"
#include "tests/common/shell.h"
#include "tests/common/temp_file.h"
#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/asn1crl.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/certificaterevocationlist.h"
#include "vorlan/x509/privatekey.h"

namespace x509test {

using namespace testcommon;
namespace fs = std::filesystem;

inline void WriteFile(const fs::path& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }
inline void WriteFile(const fs::path& path, const Octets& o) { WriteFile(path, std::string(o.begin(), o.end())); }

// Standard output and error of a shell command; the command must succeed unless `status` takes its code.
inline std::string Shell(const std::string& command, int* status = nullptr) { return ShellOutput(command + " 2>&1", status); }

// A directory of this test process, removed when it ends.
inline fs::path InScratch(const std::string& name) {
    struct Dir {
        fs::path path = fs::temp_directory_path() / ("vorlan-x509-" + std::to_string(::getpid()));
        Dir() { fs::create_directories(path); }
        ~Dir() { fs::remove_all(path); }
    };
    static Dir dir;
    return dir.path / name;
}

// A key file `name` made once per build tree by `make` (a shell command writing the path it is
// given). Parallel test processes may each make one; the first link wins and the others take
// it, so a key once read never changes under a process.
inline std::string MadeOnce(const std::string& name, const std::function<std::string(const std::string&)>& make) {
    const fs::path dir = fs::path(VORLAN_BINARY_DIR) / "x509-peer";
    fs::create_directories(dir);
    const fs::path key = dir / name;
    if (!fs::exists(key)) {
        const fs::path fresh = dir / ("fresh-" + std::to_string(::getpid()) + ".pem");  // beside it, to link
        Shell(make(fresh.string()));
        std::error_code taken;  // another process linked its key first
        fs::create_hard_link(fresh, key, taken);
        fs::remove(fresh);
    }
    return key.string();
}

// An RSA key of the given size and public exponent (3 or 65537) as a PEM file.
inline std::string KeyFile(int bits, int exponent = 65537) {
    return MadeOnce("key-" + std::to_string(bits) + "-" + std::to_string(exponent) + ".pem", [&](const std::string& out) {
        return "openssl genrsa " + std::string(exponent == 3 ? "-3 " : "") + "-out " + out + " " + std::to_string(bits);
    });
}

// An EC key on the named curve ("P-256", "P-384", ...) as a PEM file.
inline std::string ECKeyFile(const std::string& curve) {
    return MadeOnce("ec-" + curve + ".pem", [&](const std::string& out) {
        return "openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:" + curve + " -out " + out;
    });
}

// libcrypto's private key of a PEM key file.
using PeerKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
inline PeerKey PeerKeyOf(const std::string& keyFile) {
    const std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(keyFile.c_str(), "r"), BIO_free);
    return {PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr), EVP_PKEY_free};
}

// The key in one of the DER forms `openssl rsa` writes: "-traditional" (RSAPrivateKey),
// "-RSAPublicKey_out" (RSAPublicKey) or "-pubout" (SubjectPublicKeyInfo).
inline Octets KeyDer(const std::string& keyFile, const std::string& form) {
    const fs::path out = InScratch("key.der");
    Shell("openssl rsa -in " + keyFile + " " + form + " -outform DER -out " + out.string());
    return ReadFile(out);
}

// A certificate of `openssl req -x509` with the subject lines `dn` (the private type
// vorlanTest known), or with `ca` ("-CA PEM -CAkey KEY") one of `openssl x509 -req`; DER.
inline Octets PeerCertificate(const std::string& key, const std::string& dn, const std::string& options,
                              const std::string& stringMask = "utf8only", const std::string& extensions = "",
                              const std::string& ca = "") {
    const std::string config = InScratch("req.cnf"), csr = InScratch("req.csr"), der = InScratch("peer.der");
    WriteFile(config, "oid_section=oids\n[oids]\nvorlanTest=1.3.6.1.4.1.99999.1\n[req]\nprompt=no\nutf8=yes\n"
                      "string_mask=" + stringMask + "\ndistinguished_name=dn\n[dn]\n" + dn + "[ext]\n" + extensions);
    const std::string out = " " + options + (extensions.empty() ? "" : " -extensions ext") + " -outform DER -out " + der;
    if (ca.empty()) {
        Shell("openssl req -x509 -new -key " + key + " -config " + config + out);
    } else {
        Shell("openssl req -new -key " + key + " -config " + config + " -out " + csr);
        Shell("openssl x509 -req -in " + csr + " " + ca + (extensions.empty() ? "" : " -extfile " + config) + out);
    }
    return ReadFile(der);
}

// libcrypto's reading of a certificate.
using X509Ptr = std::unique_ptr<X509, decltype(&X509_free)>;
inline X509Ptr Parse(const Octets& der) {
    const unsigned char* at = der.data();
    return {d2i_X509(nullptr, &at, static_cast<long>(der.size())), X509_free};
}

// The PEM file of a DER certificate.
inline std::string Pem(const Octets& der, const std::string& name) {
    const fs::path path = InScratch(name + ".der"), pem = InScratch(name + ".pem");
    WriteFile(path, der);
    Shell("openssl x509 -inform DER -in " + path.string() + " -out " + pem.string());
    return pem.string();
}

// One DER value decoded into `target` (its identifier must match).
inline void Decode(CASN1Type& target, const Octets& der) {
    CDEREncoding encoding(0, const_cast<unsigned char*>(der.data()), der.size(), 0, 1);
    target.decodeFrom(encoding);
}

// The certificate structure of DER octets.
inline CASN1_Certificate DecodeCertificate(const Octets& der) {
    return OnEncoding(der, [](CDEREncoding& e) { return CASN1_Certificate(e); });
}

inline CRSAPrivateKey PrivateKeyOf(const std::string& keyFile) {
    CASN1_PrivateKey structure;
    Decode(structure, KeyDer(keyFile, "-traditional"));
    CRSAPrivateKey key;
    structure.SetDataTo(key);
    return key;
}

// A row of a table of shapes: the DER and the reason it is refused with, "" when it is read.
struct ShapeRow {
    const char* name;
    Octets der;
    std::string reason;
    friend void PrintTo(const ShapeRow& row, std::ostream* out) { *out << row.name; }
};

// The certificate of DER octets, as a client reads a received one.
inline CCertificate ReadCertificate(const Octets& der) {
    CCertificate certificate;
    DecodeCertificate(der).SetDataTo(certificate);
    return certificate;
}

inline Octets OctetsOf(const CByteArray& a) { return Octets(a.GetData(), a.GetData() + a.GetSize()); }
// The DER libcrypto writes of a value (it read).
template <class T>
Octets Der(const T* value, int (*i2d)(const T*, unsigned char**)) {
    unsigned char* der = nullptr;
    const int n = i2d(value, &der);
    Octets out(der, der + n);
    OPENSSL_free(der);
    return out;
}
inline Octets EncodingOf(const CCertificate& certificate) {
    CByteArray out;
    certificate.GetEncoding(out);
    return OctetsOf(out);
}

// A list of DER octets read into `crl`: the decoding reason, "" when read.
inline std::string ReadInto(CCertificateRevocationList& crl, const Octets& der) {
    const auto read = [&](CDEREncoding& e) { CASN1_CertificateRevocationList(e).SetDataTo(crl); };
    return DecodingReason([&] { OnEncoding(der, read); });
}
inline CCertificateRevocationList ReadList(const Octets& der) {
    CCertificateRevocationList crl;
    EXPECT_EQ(ReadInto(crl, der), "");
    return crl;
}
inline Octets EncodingOf(const CCertificateRevocationList& crl) { return Encoded(CASN1_CertificateRevocationList(crl)); }

// The archive form of a value, and the cause of the archive exception loading octets into one.
template <class T>
std::vector<BYTE> Stored(const T& value) {
    return Store([&](CArchive& ar) { const_cast<T&>(value).Serialize(ar); });
}
template <class T>
int LoadInto(T& target, const std::vector<BYTE>& octets) {
    Loader loader(octets);
    return CauseOf([&] { target.Serialize(loader.ar); });
}

inline Octets Sha1(const Octets& data) {
    Octets digest(SHA_DIGEST_LENGTH);
    SHA1(data.data(), data.size(), digest.data());
    return digest;
}
inline const Octets kSha1WithRSA = Seq({FromHex("06092a864886f70d010105"), FromHex("0500")});
inline const Octets kSha224WithRSA = Seq({FromHex("06092a864886f70d01010e"), FromHex("0500")});
inline const Octets kSignature = FromHex("030400010203");
// A client's name of RDNs given first to last, and one of a common name (also as DER).
inline CDistinguishedName NameOf(
    std::initializer_list<std::initializer_list<std::pair<DNAttrNameEnum, const char*>>> rdns) {
    CDistinguishedName name;
    for (const auto& attributes : rdns) {
        auto* rdn = new CRelativeDN;
        for (const auto& [type, value] : attributes) rdn->Add(new CAttributeValue(type, value));
        name.Add(rdn);
    }
    return name;
}
inline CDistinguishedName NameOf(const char* cn) { return NameOf({{{dnCommonName, cn}}}); }
inline Octets Name(const std::string& cn) { return Seq({Tlv(0x31, Seq({FromHex("0603550403"), Text(0x13, cn)}))}); }

// A signature made without the private key for an issuer of public exponent 3, placed in the
// object's fields: s with s^3 = block modulo 2^(8 * block size), bit by bit from the lowest
// (adding 2^i to an odd s flips bit i of s^3 and keeps the bits below). The block must be odd.
// The forgery is real: s^3 stays below the modulus, so the RSA output ends in the block.
inline void PlaceForgery(CSignedObject& object, const Octets& block, const CRSAPublicKey& issuer) {
    const int bits = static_cast<int>(8 * block.size());
    std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
    BIGNUM* target = BN_bin2bn(block.data(), static_cast<int>(block.size()), nullptr);
    BIGNUM* root = BN_new();
    BIGNUM* cube = BN_new();
    BN_one(root);
    for (int i = 1; i < bits; ++i) {
        BN_sqr(cube, root, ctx.get());
        BN_mul(cube, cube, root, ctx.get());
        if (BN_is_bit_set(cube, i) != BN_is_bit_set(target, i)) BN_set_bit(root, i);
    }
    BN_bn2binpad(root, object.m_signature + CSignedObject::kFieldSize - block.size(), static_cast<int>(block.size()));
    object.m_wSignatureBits = static_cast<WORD>(bits);
    BIGNUM* modulus = BN_bin2bn(issuer.modulus, CRSAPublicKey::kFieldSize, nullptr);
    BN_set_word(cube, 3);
    BN_mod_exp(root, root, cube, modulus, ctx.get());
    Octets output(CRSAPublicKey::kFieldSize);
    BN_bn2binpad(root, output.data(), static_cast<int>(output.size()));
    EXPECT_EQ(Octets(output.end() - static_cast<long>(block.size()), output.end()), block);
    BN_free(target), BN_free(root), BN_free(cube), BN_free(modulus);
}

// The signature fields and the cached digests of a certificate or list, for comparisons.
inline std::string SignedState(const CSignedObject& o) {
    return std::to_string(o.m_nSignatureAlgorithm) + "/" + std::to_string(o.m_wSignatureBits) +
           ToHex(o.m_signature, CSignedObject::kFieldSize) + std::to_string(o.m_bHasDigest16) + ToHex(o.m_digest16, 16) +
           std::to_string(o.m_bHasDigestSha1) + ToHex(o.m_digestSha1, 20) + std::to_string(o.m_bHasDigestSha256) +
           ToHex(o.m_digestSha256, 32) + std::to_string(o.m_bHasDigestLong) + ToHex(o.m_digestLong, 64);
}

}  // namespace x509test
