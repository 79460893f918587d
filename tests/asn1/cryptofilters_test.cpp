// Digesting and encrypting encodings on the fly: the streamed results against the
// digest of the whole encoding (OpenSSL), one-shot encryption by a fresh processor and
// OpenSSL's CBC, for the four target kinds, lengths around the sink's block boundaries,
// and a file-backed encoding of several megabytes with its peak memory measured.
#include "vorlan/asn1/cryptofilters.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include "../cipher/cipher_test_util.h"
#include "asn1_test_util.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/cipher/tripledes.h"
#include "vorlan/digest/md2.h"
#include "vorlan/digest/md5.h"
#include "vorlan/digest/sha1.h"
#include "vorlan/framework/archive.h"
#include "vorlan/framework/memfile.h"

namespace {

using cipher_test::Bytes;
using cipher_test::Hex;
using cipher_test::Pattern;

// ---- processors -------------------------------------------------------------

const Bytes kKey = Hex("0123456789abcdef fedcba9876543210 89abcdef01234567");
const Bytes kIv = Hex("1234567890abcdef");
constexpr unsigned long K = 8;  // the cipher block of all three ciphers
constexpr unsigned long B = 300 * K;

template <class Processor, class Key, class... Args>
std::unique_ptr<CCryptoProcessor> build(const Bytes& octets, Args... args) {
    Key key;
    key.Set(octets.data(), octets.size());
    return std::make_unique<Processor>(key, args..., kIv.data());
}

// A cipher under test; its fresh processors run CBC from kIv on both chains.
struct Cipher {
    const char* name;
    const char* openSSL;  // OpenSSL's name of the same CBC cipher with PKCS#5 padding; null without a peer
    std::size_t keySize;
    std::unique_ptr<CCryptoProcessor> (*make)(const Bytes& key);

    Bytes Key() const { return Bytes(kKey.begin(), kKey.begin() + static_cast<long>(keySize)); }
    std::unique_ptr<CCryptoProcessor> Fresh() const { return make(Key()); }
};

const Cipher kDES{"DES", "DES-CBC", 8, build<CCBC<CDESAlgorithm>, CDESkey>};
const Cipher kTripleDES{"TripleDES", "DES-EDE3-CBC", 24, build<CCBC<CTripleDESAlgorithm>, CTripleDESkey>};
const Cipher kRC5Unpadded{"RC5Unpadded", nullptr, 16,
                          [](const Bytes& key) { return build<CCBC<CRC5Algorithm>, CRC5key>(key, 12ul, K); }};

// The reference: one EncryptFinal over the whole plaintext by a fresh processor.
Bytes oneShotEncryption(const Cipher& cipher, const Bytes& plaintext) {
    auto processor = cipher.Fresh();
    Bytes out(processor->EncrFinalOutMaxSize(plaintext.size()));
    out.resize(processor->EncryptFinal(plaintext.data(), plaintext.size(), out.data(), nullptr));
    return out;
}

// ---- the four targets -------------------------------------------------------

enum class Target { File, Encoding, Archive, Sink };
constexpr Target kTargets[] = {Target::File, Target::Encoding, Target::Archive, Target::Sink};

Bytes memFileOctets(const CMemFile& file) { return Bytes(file.GetBuffer(), file.GetBuffer() + file.GetLength()); }

// A caller's own sink with an odd block size, collecting what it is handed.
class CollectingSink : public CBufferedFilterNS {
public:
    CollectingSink() { SetBlockSize(7); }
    void ProcessBlock(int, const unsigned char* data, unsigned long length) override {
        if (!data) {
            data = m_pBlock;
            length = m_dwFill;
        }
        octets.insert(octets.end(), data, data + length);
    }
    Bytes octets;
};

// Runs `operation` (a generic lambda over the target) against a target of the kind and
// returns what the target received.
template <class Operation>
Bytes collect(Target kind, Operation&& operation) {
    switch (kind) {
        case Target::File: {
            CMemFile file;
            operation(static_cast<CFile&>(file));
            return memFileOctets(file);
        }
        case Target::Encoding: {
            CDEREncoding encoding(0);
            operation(encoding);
            encoding.SeekToBegin();
            Bytes out(encoding.Remaining());
            if (!out.empty()) encoding.Read(out.data(), out.size());
            return out;
        }
        case Target::Archive: {
            CMemFile file;
            {
                CArchive archive(&file, CArchive::store);
                operation(archive);
                archive.Close();
            }
            return memFileOctets(file);
        }
        case Target::Sink: {
            CollectingSink sink;
            operation(static_cast<CBufferedFilterNS&>(sink));
            sink.Finish();  // the caller ends its own stream
            return sink.octets;
        }
    }
    return {};
}

const char* targetName(Target kind) {
    static const char* names[] = {"CFile", "CDEREncoding", "CArchive", "CBufferedFilterNS"};
    return names[static_cast<int>(kind)];
}

// ---- encryption and decryption round the block boundaries -------------------

struct CipherRow {
    const Cipher* cipher;
    unsigned long length;  // plaintext octets
};

class EncodingCipherTest : public ::testing::TestWithParam<CipherRow> {};

TEST_P(EncodingCipherTest, StreamedEncryptionEqualsOneShotAndOpenSSLAndDecryptsBack) {
    const Cipher& cipher = *GetParam().cipher;
    const Bytes plaintext = Pattern(GetParam().length, static_cast<unsigned>(GetParam().length));
    const CASN1_OCTET_STRING value(plaintext.data(), plaintext.size());

    const Bytes expected = oneShotEncryption(cipher, plaintext);
    if (cipher.openSSL) {
        EXPECT_EQ(expected, cipher_test::OpenSSLCrypt(cipher.openSSL, cipher.Key(), kIv, plaintext, true, true));
    }

    for (Target kind : kTargets) {
        SCOPED_TRACE(targetName(kind));
        auto encryptor = cipher.Fresh();
        const Bytes ciphertext = collect(kind, [&](auto& target) { value.encryptEncoding(*encryptor, target, 1); });
        ASSERT_EQ(ciphertext, expected);

        auto clearEncryptor = cipher.Fresh();
        EXPECT_EQ(collect(kind, [&](auto& target) { value.encryptClearContents(*clearEncryptor, target); }), expected);

        if (ciphertext.empty()) continue;  // nothing to decrypt: see the failure tests
        const CASN1_OCTET_STRING held(ciphertext.data(), ciphertext.size());
        auto decryptor = cipher.Fresh();
        EXPECT_EQ(collect(kind, [&](auto& target) { held.decryptClearContents(*decryptor, target); }), plaintext);
        auto encodingDecryptor = cipher.Fresh();
        EXPECT_EQ(collect(kind, [&](auto& target) { held.decryptEncoding(*encodingDecryptor, target, 1); }), plaintext);
    }
}

std::vector<CipherRow> cipherRows() {
    std::vector<CipherRow> rows;
    for (const Cipher* cipher : {&kDES, &kTripleDES})
        for (unsigned long n : {0ul, 1ul, K - 1, K, K + 1, B - K, B - 1, B, B + 1, B + K, 2 * B, 2 * B + 5, 100003ul})
            rows.push_back({cipher, n});
    // Without padding only whole cipher blocks can be encrypted.
    for (unsigned long n : {0ul, K, B - K, B, B + K, 2 * B, 100000ul}) rows.push_back({&kRC5Unpadded, n});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Lengths, EncodingCipherTest, ::testing::ValuesIn(cipherRows()),
                         [](const ::testing::TestParamInfo<CipherRow>& info) {
                             return std::string(info.param.cipher->name) + "_" + std::to_string(info.param.length);
                         });

TEST(EncodingCipher, WholeEncodingOfAConstructedValueIsEncrypted) {
    CASN1_SEQUENCE sequence;
    sequence.AddObject(new CASN1_INTEGER(0x12345678ul));
    const Bytes payload = Pattern(3000);
    sequence.AddObject(new CASN1_OCTET_STRING(payload.data(), payload.size()));
    CByteArray der;
    sequence.encodeTo(der);
    const Bytes encoding(der.GetData(), der.GetData() + der.GetSize());

    auto processor = kTripleDES.Fresh();
    EXPECT_EQ(collect(Target::File, [&](auto& target) { sequence.encryptEncoding(*processor, target); }),
              oneShotEncryption(kTripleDES, encoding));

    CByteArray clear;
    sequence.GetClearData(clear, 1);
    auto clearProcessor = kTripleDES.Fresh();
    EXPECT_EQ(collect(Target::File, [&](auto& target) { sequence.encryptClearContents(*clearProcessor, target); }),
              oneShotEncryption(kTripleDES, Bytes(clear.GetData(), clear.GetData() + clear.GetSize())));
}

TEST(EncodingCipher, SecondMessageContinuesTheProcessorsChain) {
    const Bytes first = Pattern(2500, 1), second = Pattern(700, 2);
    auto streamed = kDES.Fresh();
    Bytes got = collect(Target::File, [&](auto& target) {
        CASN1_OCTET_STRING(first.data(), first.size()).encryptEncoding(*streamed, target, 1);
        CASN1_OCTET_STRING(second.data(), second.size()).encryptEncoding(*streamed, target, 1);
    });
    auto reference = kDES.Fresh();
    Bytes expected(first.size() + second.size() + 2 * K);
    unsigned long n = reference->EncryptFinal(first.data(), first.size(), expected.data(), nullptr);
    n += reference->EncryptFinal(second.data(), second.size(), expected.data() + n, nullptr);
    expected.resize(n);
    EXPECT_EQ(got, expected);
}

// Records the length that reaches DecryptFinal.
class FinalLengthSpy : public CCBC<CDESAlgorithm> {
public:
    using CCBC<CDESAlgorithm>::CCBC;
    unsigned long DecryptFinal(const unsigned char* in, unsigned long len, unsigned char* out,
                               CProgress* progress) override {
        finalLength = len;
        return CCBC<CDESAlgorithm>::DecryptFinal(in, len, out, progress);
    }
    unsigned long finalLength = 0;
};

TEST(EncodingCipher, LastCipherBlockIsHeldBackForDecryptFinal) {
    // {ciphertext octets, octets DecryptFinal must receive}
    const std::pair<unsigned long, unsigned long> rows[] = {{K, K}, {B, K}, {B + K, K}, {2 * B, K}, {B + 40, 40}};
    for (const auto& [size, finalLength] : rows) {
        SCOPED_TRACE(size);
        const Bytes plaintext = Pattern(size - 1);  // padding fills it up to `size`
        const Bytes ciphertext = oneShotEncryption(kDES, plaintext);
        ASSERT_EQ(ciphertext.size(), size);
        CDESkey key;
        key.Set(kKey.data(), 8);
        FinalLengthSpy spy(key, kIv.data());
        const CASN1_OCTET_STRING held(ciphertext.data(), ciphertext.size());
        EXPECT_EQ(collect(Target::File, [&](auto& target) { held.decryptClearContents(spy, target); }), plaintext);
        EXPECT_EQ(spy.finalLength, finalLength);
    }
}

TEST(EncodingCipher, DecryptionRejectsEmptyOrPartialCiphertext) {
    // {ciphertext octets, reason of the failure}
    const std::pair<unsigned long, const char*> rows[] = {
        {0, "CheckCiphertextSize - in_size = 0, m_block_size = 8, (in_size % m_block_size) = 0!"},
        {B + 1, "CheckCiphertextSize - in_size = 2401, m_block_size = 8, (in_size % m_block_size) = 1!"},
    };
    for (const auto& [size, reason] : rows) {
        const Bytes ciphertext = Pattern(size);
        const CASN1_OCTET_STRING held(ciphertext.data(), ciphertext.size());
        for (const Cipher* cipher : {&kDES, &kTripleDES, &kRC5Unpadded}) {
            auto processor = cipher->Fresh();
            EXPECT_EQ(cipher_test::UnlockReason([&] {
                          collect(Target::File, [&](auto& target) { held.decryptClearContents(*processor, target); });
                      }),
                      reason)
                << cipher->name << " " << size;
        }
    }
}

TEST(EncodingCipher, UnpaddedEncryptionRejectsAPartialLastBlock) {
    const Bytes plaintext = Pattern(B + 1);
    auto processor = kRC5Unpadded.Fresh();
    const std::string reason = cipher_test::UnlockReason([&] {
        collect(Target::File, [&](auto& target) {
            CASN1_OCTET_STRING(plaintext.data(), plaintext.size()).encryptEncoding(*processor, target, 1);
        });
    });
    EXPECT_NE(reason.find("CheckPlaintextSize - in_size = 2401"), std::string::npos) << reason;
}

// ---- digests ----------------------------------------------------------------

std::string tempPath(const std::string& name) { return cipher_test::TempPath("asn1_" + name); }

// An OCTET STRING whose contents stay in a file and are streamed from there.
std::unique_ptr<CASN1_OCTET_STRING> fileBackedOctetString(const std::string& path, unsigned long size) {
    return std::make_unique<CASN1_OCTET_STRING>(new CFile(path.c_str(), CFile::modeRead), size, 1, 0);
}

Bytes encodeWith(const CASN1Type& value, int contentsOnly, int useTag, unsigned char tag) {
    CMemFile file;
    value.encodeTo(static_cast<CFile&>(file), contentsOnly, useTag, tag);
    return memFileOctets(file);
}

Bytes openSSLDigest(const char* name, const Bytes& data) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_Digest(data.data(), data.size(), md, &n, EVP_get_digestbyname(name), nullptr);
    return Bytes(md, md + n);
}

Bytes libraryDigest(CDigestMaker& digest, unsigned long size, const std::function<void(CDigestMaker&)>& feed) {
    digest.ResetContext();
    feed(digest);
    Bytes out(size);
    digest.GetCurrentDigest(out.data());
    return out;
}

TEST(DigestEncoding, EqualsTheDigestOfTheWholeEncoding) {
    const std::string path = tempPath("digest_contents");
    const Bytes fileContents = Pattern(5000, 7);
    cipher_test::WriteFileBytes(path, fileContents);

    const Bytes certificate = asn1test::certificate();
    ASSERT_FALSE(certificate.empty());
    const auto decodedCertificate = asn1test::decode(certificate);
    const Bytes large = Pattern(3 * 1024 + 17);
    CASN1_SEQUENCE nested;
    nested.AddObject(new CASN1_INTEGER(1ul));
    nested.AddObject(new CASN1_OCTET_STRING(large.data(), large.size()));
    const CASN1_INTEGER small(0x80ul);
    const auto fromFile = fileBackedOctetString(path, fileContents.size());

    struct Row {
        const char* name;
        const CASN1Type* value;
    } const values[] = {{"INTEGER", &small},
                        {"certificate", decodedCertificate.get()},
                        {"SEQUENCE", &nested},
                        {"file-backed OCTET STRING", fromFile.get()}};
    struct Options {
        int contentsOnly, useTag;
        unsigned char tag;
    } const options[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0x82}};

    CMD2DigestMaker md2;
    CMD5DigestMaker md5;
    CSHA1DigestMaker sha1;
    for (const Row& row : values)
        for (const Options& o : options) {
            SCOPED_TRACE(std::string(row.name) + " options " + std::to_string(o.contentsOnly) +
                         std::to_string(o.useTag));
            const Bytes encoding = encodeWith(*row.value, o.contentsOnly, o.useTag, o.tag);
            auto streamed = [&](CDigestMaker& d) { row.value->digestEncoding(d, o.contentsOnly, o.useTag, o.tag); };
            EXPECT_EQ(libraryDigest(md5, 16, streamed), openSSLDigest("MD5", encoding));
            EXPECT_EQ(libraryDigest(sha1, 20, streamed), openSSLDigest("SHA1", encoding));
            // MD2 has no peer here: the same digest maker fed the whole encoding at once.
            EXPECT_EQ(libraryDigest(md2, 16, streamed), libraryDigest(md2, 16, [&](CDigestMaker& d) {
                          d.UpdateBlock(encoding.data(), static_cast<int>(encoding.size()), nullptr, 1, 1);
                      }));
        }
    std::remove(path.c_str());
}

// ---- a file-backed encoding of several megabytes ---------------------------

long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    return -1;
}

// Growth of the peak resident set over a scope, in KiB; -1 where the kernel cannot reset the peak.
class PeakMemory {
public:
    PeakMemory() {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";  // sets the peak (VmHWM) to the current resident set
        reset.close();
        m_ok = reset.good();
        m_base = statusKiB("VmRSS:");
    }
    long GrowthKiB() const { return m_ok ? statusKiB("VmHWM:") - m_base : -1; }

private:
    bool m_ok = false;
    long m_base = 0;
};

TEST(EncodingCipher, MegabytesFromAFileStreamThroughTheCipherInBoundedMemory) {
    constexpr unsigned long kSize = 16ul << 20;
    constexpr long kBoundKiB = 2048;  // the whole encoding would be 16,384 KiB
    const std::string plainPath = tempPath("large_plain"), cipherPath = tempPath("large_cipher"),
                      backPath = tempPath("large_back");
    const Bytes contents = Pattern(kSize, 11);
    cipher_test::WriteFileBytes(plainPath, contents);
    Bytes encoding(6 + kSize);
    const unsigned char header[] = {0x04, 0x84, 0x01, 0x00, 0x00, 0x00};  // OCTET STRING, length 2^24
    std::copy(std::begin(header), std::end(header), encoding.begin());
    std::copy(contents.begin(), contents.end(), encoding.begin() + 6);

    long encryptGrowth = 0, decryptGrowth = 0, materialisedGrowth = 0;
    {
        // Calibration: the same measurement sees the encoding when it is held in memory.
        const auto value = fileBackedOctetString(plainPath, kSize);
        CByteArray whole;
        const PeakMemory peak;
        value->encodeTo(whole);
        materialisedGrowth = peak.GrowthKiB();
        EXPECT_TRUE(Bytes(whole.GetData(), whole.GetData() + whole.GetSize()) == encoding);
    }
    {
        const auto value = fileBackedOctetString(plainPath, kSize);
        auto processor = kDES.Fresh();
        CFile out(cipherPath.c_str(), CFile::modeCreate | CFile::modeWrite);
        const PeakMemory peak;
        value->encryptEncoding(*processor, out);
        encryptGrowth = peak.GrowthKiB();
    }
    {
        const unsigned long cipherSize = kSize + 6 + K - (kSize + 6) % K;
        const auto value = fileBackedOctetString(cipherPath, cipherSize);
        auto processor = kDES.Fresh();
        CFile out(backPath.c_str(), CFile::modeCreate | CFile::modeWrite);
        const PeakMemory peak;
        value->decryptClearContents(*processor, out);
        decryptGrowth = peak.GrowthKiB();
    }
    std::cout << "peak resident growth with a 16 MiB encoding: held in memory " << materialisedGrowth
              << " KiB, streamed encryption " << encryptGrowth << " KiB, streamed decryption " << decryptGrowth
              << " KiB\n";
    if (materialisedGrowth >= 0) {
        EXPECT_GT(materialisedGrowth, 16000);
    }
    RecordProperty("EncryptPeakGrowthKiB", std::to_string(encryptGrowth));
    RecordProperty("DecryptPeakGrowthKiB", std::to_string(decryptGrowth));
    EXPECT_LT(encryptGrowth, kBoundKiB);
    EXPECT_LT(decryptGrowth, kBoundKiB);

    EXPECT_TRUE(cipher_test::ReadFileBytes(cipherPath) ==
                cipher_test::OpenSSLCrypt("DES-CBC", kDES.Key(), kIv, encoding, true, true));
    EXPECT_TRUE(cipher_test::ReadFileBytes(backPath) == encoding);
    for (const std::string& path : {plainPath, cipherPath, backPath}) std::remove(path.c_str());
}

}  // namespace
