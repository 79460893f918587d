// Digesting and encrypting encodings on the fly: the streamed results against the
// digest of the whole encoding (OpenSSL), one-shot encryption by a fresh processor and
// OpenSSL's CBC, for the four target kinds, lengths around the sinks' block boundaries,
// and a file-backed encoding of 16 MiB with its peak memory measured.
#include "vorlan/asn1/cryptofilters.h"

#include <openssl/evp.h>

#include <iostream>
#include <tuple>

#include "asn1_test_util.h"
#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/aes.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/cipher/tripledes.h"
#include "vorlan/digest/md5.h"
#include "vorlan/digest/sha1.h"

namespace {

using namespace testcommon;

const Octets kIv = FromHex("1234567890abcdef 0f1e2d3c4b5a6978");  // ciphers of 8-octet blocks take the first half
constexpr unsigned long K = 8;                                       // the cipher block of DES

template <class Processor, class Key, auto... args>
std::unique_ptr<CCryptoProcessor> makeProcessor(const Octets& octets) {
    return std::make_unique<Processor>(cipher_test::MakeKey<Key>(octets), args..., kIv.data());
}

// A cipher under test; its fresh processors run CBC from kIv.
struct Cipher {
    const char* name;
    const char* openSSL;  // OpenSSL's name of the same cipher with PKCS#5 padding; null for unpadded RC5
    unsigned long block;
    Octets key;
    std::unique_ptr<CCryptoProcessor> (*make)(const Octets& key);
    std::unique_ptr<CCryptoProcessor> Fresh() const { return make(key); }
};

const Cipher kCiphers[] = {
    {"DES", "DES-CBC", K, FromHex("0123456789abcdef"), makeProcessor<CCBC<CDESAlgorithm>, CDESkey>},
    {"TripleDES", "DES-EDE3-CBC", K, FromHex("0123456789abcdef fedcba9876543210 89abcdef01234567"),
     makeProcessor<CCBC<CTripleDESAlgorithm>, CTripleDESkey>},
    {"RC5Unpadded", nullptr, K, FromHex("0123456789abcdef fedcba9876543210"),
     makeProcessor<CCBC<CRC5Algorithm>, CRC5key, 12ul, K>},
    {"AES256", "AES-256-CBC", 16, Pattern(32, 3), makeProcessor<CCBC<CAESAlgorithm>, CAES256key>},
};

Octets memFileOctets(const CMemFile& file) { return Octets(file.GetBuffer(), file.GetBuffer() + file.GetLength()); }

// The four kinds of target, in the order collect() takes them.
const char* const kTargets[] = {"CFile", "CDEREncoding", "CArchive", "CBufferedFilterNS"};

// What a target of the kind receives when `operation` (generic over the target) runs against it;
// a caller's own sink has an odd block size, and the caller ends its stream.
template <class Operation>
Octets collect(int kind, Operation&& operation) {
    CMemFile file;
    if (kind == 0) operation(static_cast<CFile&>(file));
    if (kind == 1) {
        CDEREncoding encoding(0, &file, 0, 0);  // over the memory file
        operation(encoding);
    }
    if (kind == 2) {
        CArchive archive(&file, CArchive::store);
        operation(archive);
        archive.Close();
    }
    if (kind != 3) return memFileOctets(file);
    asn1test::RecordingSink sink(7);
    operation(static_cast<CBufferedFilterNS&>(sink));
    sink.Finish();
    return sink.octets;
}

// ---- encryption and decryption round the block boundaries -------------------

// Streamed into every target, encryption and decryption equal the one-shot result of a fresh
// processor (itself OpenSSL's CBC where it pads); contents that are no whole number of blocks
// are refused with their reason. 40 * b - 1 octets pad to exactly 40 sink blocks, the last of
// them held back for DecryptFinal.
TEST(EncodingCipher, StreamedEqualsOneShotInEveryTargetAndPartialBlocksFail) {
    for (const Cipher& cipher : kCiphers) {
        const unsigned long k = cipher.block, b = vorlan::detail::kCipherBlocksPerSinkBlock * k;
        for (const unsigned long length : {0ul, 1ul, k - 1, k, b - 1, b, b + 1, 40 * b - 1, 40 * b}) {
            const Octets octets = Pattern(length, static_cast<unsigned>(length));
            // Without padding only whole blocks can be encrypted.
            const bool whole = length % k == 0, encrypts = whole || cipher.openSSL;
            const Octets expected = encrypts ? cipher_test::EncryptAll(*cipher.Fresh(), octets) : Octets();
            const Octets iv(kIv.begin(), kIv.begin() + static_cast<long>(k));
            EXPECT_TRUE(!cipher.openSSL || expected == cipher_test::OpenSSLEnc(cipher.openSSL, cipher.key, iv, octets));
            const CASN1_OCTET_STRING value(octets.data(), octets.size());
            for (int kind = 0; kind < 4; ++kind) {
                SCOPED_TRACE(testing::Message() << cipher.name << ", " << length << " octets, " << kTargets[kind]);
                // What the target receives when a fresh processor runs `operation(processor, target)`.
                const auto run = [&](auto operation) {
                    auto processor = cipher.Fresh();
                    return collect(kind, [&](auto& target) { operation(*processor, target); });
                };
                const auto encrypt = [&] { return run([&](auto& p, auto& t) { value.encryptEncoding(p, t, 1); }); };
                if (!whole || length == 0) {  // as ciphertext, these contents are no whole number of blocks
                    EXPECT_EQ(UnlockReason([&] { run([&](auto& p, auto& t) { value.decryptClearContents(p, t); }); }),
                              "CheckCiphertextSize - in_size = " + std::to_string(length) + ", m_block_size = " +
                                  std::to_string(k) + ", (in_size % m_block_size) = " + std::to_string(length % k) +
                                  "!");
                }
                const std::string refusal = "CheckPlaintextSize - in_size = " + std::to_string(length);
                if (!encrypts) {
                    EXPECT_NE(UnlockReason(encrypt).find(refusal), std::string::npos);
                    continue;
                }
                EXPECT_EQ(encrypt(), expected);
                EXPECT_EQ(run([&](auto& p, auto& t) { value.encryptClearContents(p, t); }), expected);
                if (expected.empty()) continue;  // unpadded and empty: nothing to decrypt (refused above)
                const CASN1_OCTET_STRING held(expected.data(), expected.size());
                EXPECT_EQ(run([&](auto& p, auto& t) { held.decryptClearContents(p, t); }), octets);
                EXPECT_EQ(run([&](auto& p, auto& t) { held.decryptEncoding(p, t, 1); }), octets);
            }
        }
    }
}

// ---- digests ----------------------------------------------------------------

// An OCTET STRING whose contents stay in a file and are streamed from there.
std::unique_ptr<CASN1_OCTET_STRING> fileBackedOctetString(const char* path, unsigned long size) {
    return std::make_unique<CASN1_OCTET_STRING>(new CFile(path, CFile::modeRead), size, 1, 0);
}

TEST(DigestEncoding, EqualsOpenSSLsDigestOfTheWholeEncoding) {
    const Octets fileContents = Pattern(5000, 7);
    const TempFile file(fileContents);
    const auto cert = asn1test::Built(asn1test::certificate());
    const auto fromFile = fileBackedOctetString(file.Path(), fileContents.size());
    // contentsOnly, useTag, tag
    const std::tuple<int, int, unsigned char> options[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0x82}};
    CMD5DigestMaker md5;
    CSHA1DigestMaker sha1;
    const std::tuple<CDigestMaker*, const char*, std::size_t> digests[] = {{&md5, "MD5", 16}, {&sha1, "SHA1", 20}};
    for (const CASN1Type* value : std::initializer_list<const CASN1Type*>{cert.get(), fromFile.get()})
        for (const auto& [contentsOnly, useTag, tag] : options) {
            CMemFile whole;
            value->encodeTo(static_cast<CFile&>(whole), contentsOnly, useTag, tag);
            const Octets encoding = memFileOctets(whole);
            for (const auto& [digest, name, size] : digests) {
                digest->ResetContext();
                value->digestEncoding(*digest, contentsOnly, useTag, tag);
                Octets ours(size), theirs(size);
                digest->GetCurrentDigest(ours.data());
                EVP_Digest(encoding.data(), encoding.size(), theirs.data(), nullptr, EVP_get_digestbyname(name),
                           nullptr);
                EXPECT_EQ(ours, theirs) << name << " of " << encoding.size() << " octets, " << contentsOnly << useTag;
            }
        }
}

// ---- a file-backed encoding of several megabytes ---------------------------

// The growth of the peak resident set while `operation` runs, in KiB; -1 where the kernel cannot reset the peak.
template <class Operation>
long peakGrowthKiB(Operation&& operation) {
    const auto statusKiB = [](const std::string& field) {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
        return -1L;
    };
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5";  // sets the peak (VmHWM) to the current resident set
    reset.close();
    const long base = statusKiB("VmRSS:");
    operation();
    return reset.good() ? statusKiB("VmHWM:") - base : -1;
}

TEST(EncodingCipher, SixteenMegabytesFromAFileStreamThroughTheCipherInBoundedMemory) {
    constexpr unsigned long kSize = 16ul << 20;
    constexpr long kBoundKiB = 2048;  // the whole encoding would be 16,384 KiB
    const Octets contents = Pattern(kSize, 11);
    const TempFile plain(contents), encrypted, decrypted;
    Octets encoding = {0x04, 0x84, 0x01, 0x00, 0x00, 0x00};  // OCTET STRING, length 2^24
    encoding.insert(encoding.end(), contents.begin(), contents.end());

    // The peak growth while `operation` streams the file at `from` through DES into the file at `to`.
    const auto growth = [](const char* from, unsigned long size, const char* to, auto operation) {
        const auto value = fileBackedOctetString(from, size);
        auto processor = kCiphers[0].Fresh();
        CFile out(to, CFile::modeCreate | CFile::modeWrite);
        return peakGrowthKiB([&] { operation(*value, *processor, out); });
    };
    // Calibration: the same measurement sees the encoding when it is held in memory.
    const long materialised = growth(plain.Path(), kSize, decrypted.Path(), [](auto& value, auto&, auto&) {
        CByteArray whole;
        value.encodeTo(whole);
    });
    const long encryption = growth(plain.Path(), kSize, encrypted.Path(),
                                   [](auto& value, auto& p, auto& out) { value.encryptEncoding(p, out); });
    const long decryption = growth(encrypted.Path(), kSize + 6 + K - (kSize + 6) % K, decrypted.Path(),
                                   [](auto& value, auto& p, auto& out) { value.decryptClearContents(p, out); });
    std::cout << "peak resident growth with a 16 MiB encoding: held in memory " << materialised
              << " KiB, streamed encryption " << encryption << " KiB, streamed decryption " << decryption << " KiB\n";
    EXPECT_TRUE(materialised < 0 || materialised > 16000) << materialised;  // -1: the peak cannot be reset
    EXPECT_TRUE(encryption < kBoundKiB && decryption < kBoundKiB) << encryption << ", " << decryption;
    EXPECT_TRUE(encrypted.Read() == cipher_test::OpenSSLEnc("DES-CBC", kCiphers[0].key, kIv, encoding) &&
                decrypted.Read() == encoding);
}

}  // namespace
