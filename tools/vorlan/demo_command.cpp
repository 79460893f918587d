// vorlan demo: a short end-to-end walk through what the library does, checking each step.
#include <cstring>
#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

class Walk {
public:
    void Step(const char* title) { std::printf("\n== %s\n", title); }
    void Check(const char* what, bool passed) {
        std::printf("   [%s] %s\n", passed ? "passed" : "FAILED", what);
        ++m_checks;
        if (!passed) ++m_failures;
    }
    int Finish() const {
        if (m_failures == 0)
            std::printf("\nall %d checks passed\n", m_checks);
        else
            std::printf("\n%d of %d checks FAILED\n", m_failures, m_checks);
        return m_failures == 0 ? 0 : 1;
    }

private:
    int m_checks = 0;
    int m_failures = 0;
};

std::string Hex(const unsigned char* octets, size_t count) {
    CString hex = OctetsToHexChars(octets, static_cast<int>(count));
    hex.MakeLower();
    return std::string(hex);
}

std::vector<unsigned char> Octets(const CByteArray& array) {
    return {array.GetData(), array.GetData() + array.GetSize()};
}

// A small message record: SEQUENCE { version, algorithm, subject, urgent, [0] body }.
std::unique_ptr<CASN1_SEQUENCE> BuildRecord() {
    auto record = std::make_unique<CASN1_SEQUENCE>();
    record->AddObject(new CASN1_INTEGER(1998));
    record->AddObject(new CASN1_sha1WithRSAEncryption());
    static const char subject[] = "vorlan demo";
    record->AddObject(
        new CASN1_PrintableString(reinterpret_cast<const unsigned char*>(subject), sizeof subject - 1));
    record->AddObject(new CASN1_BOOLEAN(1));
    static const char body[] = "DER all the way down";
    auto* tagged = new CASN1_TAGGED(ASN1ContextTag(0), 0);
    tagged->AddObject(new CASN1_OCTET_STRING(reinterpret_cast<const unsigned char*>(body), sizeof body - 1));
    record->AddObject(tagged);
    return record;
}

template <class Maker>
std::vector<unsigned char> DigestOnTheFly(const CASN1Type& value) {
    Maker maker;
    value.digestEncoding(maker, 0, 0, 0);
    std::vector<unsigned char> digest(Maker::digestSize);
    maker.GetCurrentDigest(digest.data());
    return digest;
}

template <class Maker>
std::vector<unsigned char> DigestOfOctets(const CByteArray& octets) {
    Maker maker;
    maker.UpdateBlock(octets.GetData(), octets.GetSize(), nullptr, 1, 1);
    std::vector<unsigned char> digest(Maker::digestSize);
    maker.GetCurrentDigest(digest.data());
    return digest;
}

// The octets a value's clear contents streamed through a cipher into a fresh encoding.
template <class Stream>
CByteArray StreamThrough(const CASN1Type& value, Stream stream) {
    CDEREncoding target(0);
    stream(value, target);
    CByteArray octets;
    target.SeekToBegin();
    target.Read(octets, static_cast<unsigned long>(target.GetFile()->GetLength()));
    return octets;
}

int RunDemo(unsigned bits) {
    Walk walk;
    walk.Step("RSA key pair");
    std::unique_ptr<CRSAKeyPair> pair;
    unsigned long messages = 0;
    {
        TerminalProgress bar("key pair");
        pair = std::make_unique<CRSAKeyPair>(static_cast<unsigned short>(bits), 1, nullptr, 0, bar.Receiver());
        messages = bar.Messages();
    }
    const CRSAPublicKey publicKey = *pair;
    std::printf("   %u-bit modulus, public exponent 65537 (%lu progress messages)\n", pair->bits, messages);
    walk.Check("TestKeys: 8 encrypt/decrypt and sign/verify trials", pair->TestKeys(8, nullptr, 1) == 0);

    walk.Step("ASN.1 value tree and its DER");
    const std::unique_ptr<CASN1_SEQUENCE> record = BuildRecord();
    std::fflush(stdout);  // Dump writes to the descriptor directly
    CFile console(1);
    record->Dump(0, &console);
    CByteArray der;
    record->encodeTo(der);
    std::printf("   DER: %d octets\n", der.GetSize());
    CDEREncoding encoding(0, der);
    CASN1_SEQUENCE decoded;
    decoded.decodeFrom(encoding);
    CByteArray again;
    decoded.encodeTo(again);
    walk.Check("decoding the DER and encoding it again gives the same octets", Octets(again) == Octets(der));

    walk.Step("Digests of the encoding, computed while it is written");
    const auto md5Digest = DigestOnTheFly<CMD5DigestMaker>(*record);
    const auto sha1Digest = DigestOnTheFly<CSHA1DigestMaker>(*record);
    std::printf("   MD5   %s\n   SHA-1 %s\n", Hex(md5Digest.data(), md5Digest.size()).c_str(),
                Hex(sha1Digest.data(), sha1Digest.size()).c_str());
    walk.Check("MD5 on the fly equals MD5 of the DER octets", md5Digest == DigestOfOctets<CMD5DigestMaker>(der));
    walk.Check("SHA-1 on the fly equals SHA-1 of the DER octets", sha1Digest == DigestOfOctets<CSHA1DigestMaker>(der));

    walk.Step("Signing the SHA-1 digest (LockDigest) and checking it (UnlockDigest)");
    CByteArray signature;
    pair->LockDigest(sha1, sha1Digest.data(), signature);
    std::printf("   signature: %d octets\n", signature.GetSize());
    unsigned char recovered[20] = {};
    publicKey.UnlockDigest(sha1, signature, recovered, publicKey.bits);
    walk.Check("the public key recovers the signed digest", std::memcmp(recovered, sha1Digest.data(), 20) == 0);
    signature[signature.GetSize() / 2] ^= 0x01;
    bool tamperedRejected = false;
    try {
        publicKey.UnlockDigest(sha1, signature, recovered, publicKey.bits);
        tamperedRejected = std::memcmp(recovered, sha1Digest.data(), 20) != 0;
    } catch (CUnlockException* e) {
        e->Delete();
        tamperedRejected = true;
    }
    walk.Check("a signature with one bit flipped is rejected", tamperedRejected);

    walk.Step("Wrapping a triple-DES key (LockKey) and unwrapping it (UnlockKey)");
    const CTripleDESkey sessionKey;
    CByteArray wrapped;
    publicKey.LockKey(sessionKey, wrapped);
    CTripleDESkey unwrapped;
    pair->UnlockKey(wrapped, unwrapped, pair->bits);
    std::printf("   24-octet key wrapped into %d octets\n", wrapped.GetSize());
    walk.Check("the unwrapped key equals the original",
               unwrapped.Size() == 24 && std::memcmp(unwrapped.Data(), sessionKey.Data(), 24) == 0);

    walk.Step("Triple-DES-CBC of a buffer, streamed through the encoding of an OCTET STRING");
    std::string text;
    while (text.size() < 5000) text += "Octets stream through the cipher 2,400 at a time. ";
    const CASN1_OCTET_STRING plain(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    static const unsigned char iv[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    const CByteArray ciphertext = StreamThrough(plain, [&](const CASN1Type& value, CDEREncoding& target) {
        CCBC<CTripleDESAlgorithm> cipher(unwrapped, iv);
        value.encryptClearContents(cipher, target);
    });
    const CASN1_OCTET_STRING sealed(ciphertext.GetData(), static_cast<unsigned long>(ciphertext.GetSize()));
    const CByteArray opened = StreamThrough(sealed, [&](const CASN1Type& value, CDEREncoding& target) {
        CCBC<CTripleDESAlgorithm> cipher(sessionKey, iv);
        value.decryptClearContents(cipher, target);
    });
    std::printf("   %zu plaintext octets -> %d ciphertext octets -> %d octets\n", text.size(), ciphertext.GetSize(),
                opened.GetSize());
    walk.Check("the ciphertext is padded to whole blocks", ciphertext.GetSize() == static_cast<int>(text.size() / 8 * 8 + 8));
    walk.Check("decrypting gives the plaintext back",
               opened.GetSize() == static_cast<int>(text.size()) &&
                   std::memcmp(opened.GetData(), text.data(), text.size()) == 0);
    return walk.Finish();
}

}  // namespace

void AddDemoCommand(CLI::App& app) {
    auto* demo = app.add_subcommand("demo", "Walk through the library end to end, checking every step");
    auto bits = std::make_shared<unsigned>(1024);
    demo->add_option("--bits", *bits, "RSA key size")->capture_default_str()->check(CLI::Range(512, 2048));
    demo->callback([bits] {
        const int status = RunDemo(*bits);
        if (status != 0) throw Failure("some checks failed");
    });
}

}  // namespace cli
