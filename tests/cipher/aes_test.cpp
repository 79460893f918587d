// AES on every kernel this processor runs (AES-NI, VAES, the portable bitsliced one, and
// the one chosen at run time) against FIPS 197, SP 800-38A and the AESAVS files of
// Debian's python3-cryptography-vectors, and against `openssl enc` on random lengths.
#include "vorlan/cipher/aes.h"

#include <openssl/evp.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <type_traits>

#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/cbc.h"

using namespace cipher_test;
using vorlan::detail::CPortableAESAlgorithm;
using CAesNiAlgorithm = vorlan::detail::CAESAlgorithmOn<vorlan::detail::AesNiKernels>;
using CVaesAlgorithm = vorlan::detail::CAESAlgorithmOn<vorlan::detail::VaesKernels>;

// f(std::type_identity<Cipher>, name) for each version of AES this processor runs.
template <class F>
void ForEachKernel(F&& f) {
    f(std::type_identity<CAESAlgorithm>{}, "chosen");
    f(std::type_identity<CPortableAESAlgorithm>{}, "portable");
    if (vorlan::detail::HasAesInstructions()) f(std::type_identity<CAesNiAlgorithm>{}, "AES-NI");
    if (vorlan::detail::HasVaesInstructions()) f(std::type_identity<CVaesAlgorithm>{}, "VAES");
}

namespace {

const std::filesystem::path kVectors = "/usr/lib/python3/dist-packages/cryptography_vectors/ciphers/AES";

// f(key) with the octets in a key of the class of their length: 16, 24 or 32.
template <class F>
auto WithKey(const Bytes& octets, F&& f) {
    if (octets.size() == 16) return f(MakeKey<CAES128key>(octets));
    if (octets.size() == 24) return f(MakeKey<CAES192key>(octets));
    return f(MakeKey<CAES256key>(octets));
}

// The same operation through a key class of the right length; `Cipher` picks the kernel.
template <class Cipher>
Bytes Run(const Bytes& key, const Bytes* iv, const Bytes& data, bool encrypt) {
    const auto run = [&](const auto& k) {
        if (iv == nullptr) return Ecb<Cipher>(k, data, encrypt);
        CCBC<Cipher> proc(k, iv->data());
        Bytes out = data;  // in place, as the file and sink walks do
        (encrypt ? proc.EncryptBlock(out.data(), out.size(), out.data(), nullptr)
                 : proc.DecryptBlock(out.data(), out.size(), out.data(), nullptr));
        return out;
    };
    return WithKey(key, run);
}

struct Vector {
    std::string name;
    bool encrypt;
    Bytes key, iv, plain, cipher;  // no vector: ECB
};

// Every kernel gives the vector's answer in its direction.
void ExpectEveryKernel(const Vector& v) {
    const Bytes& in = v.encrypt ? v.plain : v.cipher;
    const Bytes& expected = v.encrypt ? v.cipher : v.plain;
    const Bytes* iv = v.iv.empty() ? nullptr : &v.iv;
    ForEachKernel([&]<class Cipher>(std::type_identity<Cipher>, const char* kernel) {
        EXPECT_EQ(ToHex(Run<Cipher>(v.key, iv, in, v.encrypt)), ToHex(expected)) << v.name << " " << kernel;
    });
}

TEST(AesTest, StandardsKnownAnswers) {
    const Bytes fipsPlain = FromHex("00112233445566778899aabbccddeeff");
    const Bytes spPlain = FromHex(
        "6bc1bee22e409f96e93d7e117393172a ae2d8a571e03ac9c9eb76fac45af8e51"
        "30c81c46a35ce411e5fbc1191a0a52ef f69f2445df4f9b17ad2b417be66c3710");
    const Bytes spIv = FromHex("000102030405060708090a0b0c0d0e0f");
    const Vector rows[] = {
        {"FIPS-197 C.1", true, FromHex("000102030405060708090a0b0c0d0e0f"), {}, fipsPlain,
         FromHex("69c4e0d86a7b0430d8cdb78070b4c55a")},
        {"FIPS-197 C.2", true, FromHex("000102030405060708090a0b0c0d0e0f1011121314151617"), {}, fipsPlain,
         FromHex("dda97ca4864cdfe06eaf70a0ec0d7191")},
        {"FIPS-197 C.3", true, FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"), {},
         fipsPlain, FromHex("8ea2b7ca516745bfeafc49904b496089")},
        {"SP800-38A F.2.1", true, FromHex("2b7e151628aed2a6abf7158809cf4f3c"), spIv, spPlain,
         FromHex("7649abac8119b246cee98e9b12e9197d 5086cb9b507219ee95db113a917678b2"
                 "73bed6b8e3c1743b7116e69e22229516 3ff1caa1681fac09120eca307586e1a7")},
        {"SP800-38A F.2.3", true, FromHex("8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b"), spIv, spPlain,
         FromHex("4f021db243bc633d7178183a9fa071e8 b4d9ada9ad7dedf4e5e738763f69145a"
                 "571b242012fb7ae07fa9baac3df102e0 08b0e27988598881d920a9e64f5615cd")},
        {"SP800-38A F.2.5", true, FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"), spIv,
         spPlain,
         FromHex("f58c4c04d6e5f1ba779eabfb5f7bfbd6 9cfc4e967edb808d679f777bc6702c7d"
                 "39f23369a9d9bacfa530e26304231461 b2eb05e2c39be9fcda6c19078c6a9d1b")},
    };
    for (Vector v : rows) {
        ExpectEveryKernel(v);
        v.encrypt = false;
        ExpectEveryKernel(v);
    }
}

// The vectors of one AESAVS response file: [ENCRYPT]/[DECRYPT] sections of
// KEY, IV, PLAINTEXT and CIPHERTEXT records.
std::vector<Vector> ReadResponses(const std::filesystem::path& file) {
    std::vector<Vector> vectors;
    std::ifstream in(file);
    std::map<std::string, std::string> record;
    bool encrypt = true;
    const auto flush = [&] {
        if (record.count("KEY") && record.count("PLAINTEXT") && record.count("CIPHERTEXT"))
            vectors.push_back({file.filename().string() + (encrypt ? " encrypt " : " decrypt ") + record["COUNT"],
                               encrypt, FromHex(record["KEY"]), FromHex(record["IV"]), FromHex(record["PLAINTEXT"]),
                               FromHex(record["CIPHERTEXT"])});
        record.clear();
    };
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "[ENCRYPT]" || line == "[DECRYPT]") {
            flush();
            encrypt = line == "[ENCRYPT]";
        } else if (const auto eq = line.find(" = "); eq != std::string::npos) {
            if (line.compare(0, eq, "COUNT") == 0) flush();
            record[line.substr(0, eq)] = line.substr(eq + 3);
        }
    }
    flush();
    return vectors;
}

class AesavsTest : public testing::TestWithParam<std::string> {};

TEST_P(AesavsTest, BothKernelsGiveEveryAnswer) {
    const std::filesystem::path file = kVectors / GetParam().substr(0, 3) / (GetParam() + ".rsp");
    if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " missing: install python3-cryptography-vectors";
    const std::vector<Vector> vectors = ReadResponses(file);
    ASSERT_FALSE(vectors.empty());
    for (const Vector& v : vectors) ExpectEveryKernel(v);
}

std::vector<std::string> AesavsFiles() {
    std::vector<std::string> names;
    for (const char* mode : {"ECB", "CBC"})
        for (const char* kind : {"GFSbox", "KeySbox", "VarKey", "VarTxt", "MMT"})
            for (const char* bits : {"128", "192", "256"}) names.push_back(std::string(mode) + kind + bits);
    return names;
}

INSTANTIATE_TEST_SUITE_P(Files, AesavsTest, testing::ValuesIn(AesavsFiles()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

// The AESAVS Monte Carlo procedure for CBC (100 keys, each over 1,000 chained blocks whose
// input is the output two blocks before), run by each kernel and by OpenSSL's EVP: Debian's
// package has no MCT response files, so OpenSSL is the oracle for the final key and block.
template <class Block>
std::pair<Bytes, Bytes> MonteCarlo(Bytes key, Bytes iv, Bytes input, Block&& block) {
    Bytes last, output;
    for (int i = 0; i < 100; ++i) {
        const auto step = block(key, iv);
        for (int j = 0; j < 1000; ++j) {
            Bytes next = step(input);
            input = j == 0 ? iv : output;
            last = output;
            output = next;
        }
        Bytes tail = last;  // the key's length in octets from the end of last || output
        tail.insert(tail.end(), output.begin(), output.end());
        for (std::size_t k = 0; k < key.size(); ++k) key[k] ^= tail[tail.size() - key.size() + k];
        iv = output;
        input = last;
    }
    return {key, output};
}

TEST(AesTest, MonteCarloAgreesWithOpenssl) {
    for (const std::size_t length : {16u, 24u, 32u})
        for (const bool encrypt : {true, false}) {
            const Bytes key = Pattern(length, 31), iv = Pattern(16, 32), first = Pattern(16, 33);
            const EVP_CIPHER* evp = EVP_get_cipherbyname(("aes-" + std::to_string(8 * length) + "-cbc").c_str());
            const auto theirs = MonteCarlo(key, iv, first, [&](const Bytes& k, const Bytes& v) {
                std::shared_ptr<EVP_CIPHER_CTX> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
                EVP_CipherInit_ex(ctx.get(), evp, nullptr, k.data(), v.data(), encrypt);
                EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
                return [ctx](const Bytes& in) {
                    Bytes out(16);
                    int n = 0;
                    EVP_CipherUpdate(ctx.get(), out.data(), &n, in.data(), 16);
                    return out;
                };
            });
            ForEachKernel([&]<class Cipher>(std::type_identity<Cipher>, const char* kernel) {
                const auto ours = MonteCarlo(key, iv, first, [&](const Bytes& k, const Bytes& v) {
                    const std::shared_ptr<CCryptoProcessor> proc = WithKey(k, [&](const auto& typed) {
                        return std::shared_ptr<CCryptoProcessor>(std::make_shared<CCBC<Cipher>>(typed, v.data()));
                    });
                    return [proc, encrypt](const Bytes& in) {
                        Bytes out(16);
                        ((*proc).*(encrypt ? &CCryptoProcessor::EncryptBlock : &CCryptoProcessor::DecryptBlock))(
                            in.data(), 16, out.data(), nullptr);
                        return out;
                    };
                });
                EXPECT_EQ(ToHex(ours.first) + " " + ToHex(ours.second),
                          ToHex(theirs.first) + " " + ToHex(theirs.second))
                    << length << (encrypt ? " encrypt " : " decrypt ") << kernel;
            });
        }
}

// Our CBC with padding gives `openssl enc`'s ciphertext and takes it back (in place), on
// random lengths across the batches of each kernel (16 blocks for VAES, 8 for AES-NI, 4
// for the portable one) and their remainders.
TEST(AesTest, CbcWithPaddingMatchesOpensslEnc) {
    std::mt19937 random(20261207);
    std::vector<std::size_t> lengths = {0, 15, 16, 127, 128, 129, 100000};
    for (int i = 0; i < 3; ++i) lengths.push_back(random() % 100001);
    for (const std::size_t keyLength : {16u, 24u, 32u})
        for (std::size_t length : lengths) {
            const std::string cipher = "aes-" + std::to_string(8 * keyLength) + "-cbc";
            const Bytes key = Pattern(keyLength, random()), iv = Pattern(16, random()),
                        plain = Pattern(length, random());
            const Bytes theirs = OpenSSLEnc(cipher.c_str(), key, iv, plain);
            ASSERT_EQ(theirs.size(), length - length % 16 + 16) << cipher << " " << length;
            WithKey(key, [&](const auto& k) {
                ForEachKernel([&]<class Cipher>(std::type_identity<Cipher>, const char* kernel) {
                    EXPECT_EQ(ToHex(EncryptAll(CCBC<Cipher>(k, iv.data()), plain)), ToHex(theirs))
                        << cipher << " " << length << " " << kernel;
                    Bytes inPlace = theirs;
                    inPlace.resize(CCBC<Cipher>(k, iv.data())
                                       .DecryptFinal(inPlace.data(), inPlace.size(), inPlace.data(), nullptr));
                    EXPECT_EQ(inPlace, plain) << cipher << " " << length << " " << kernel;
                });
            });
        }
}

// A key of the wrong length is refused by the cipher; the wrong key or damaged padding
// fails DecryptFinal with the padding reasons.
TEST(AesTest, RefusesBadKeysAndBadPadding) {
    EXPECT_NE(UnlockReason([] { CAESAlgorithm(MakeKey<CAES128key>(Pattern(15)), 1, nullptr); }), kNoException);

    const Bytes iv = Pattern(16, 2), plain = Pattern(40, 3);
    const auto aes = [&] { return CCBC<CAESAlgorithm>(MakeKey<CAES128key>(Pattern(16, 4)), iv.data()); };
    const Bytes sealed = EncryptAll(aes(), plain);
    ASSERT_EQ(sealed.size(), 48u);
    // The last block's final octet flipped: the padding reads as a pad size over 16 or
    // as the wrong pad octets.
    Bytes damaged = sealed;
    damaged[31] ^= 0x01;  // the previous ciphertext block flips the last plaintext octet
    char reason[64];      // a pad size of 9 takes in the last message octet
    std::snprintf(reason, sizeof reason, "DecryptFinal - bad padding data (%x) !", plain[39]);
    EXPECT_EQ(UnlockReason([&] { DecryptAll(aes(), damaged); }), reason);
    damaged[31] ^= 0x01 ^ 0x10;  // 0x08 becomes 0x18
    EXPECT_EQ(UnlockReason([&] { DecryptAll(aes(), damaged); }), "DecryptFinal - bad padding: pad_size = 24!");
    // A wrong key: the padding fails (or, rarely, the plaintext differs).
    for (unsigned seed = 5; seed < 25; ++seed) {
        Bytes out;
        const std::string reason = UnlockReason([&] {
            out = DecryptAll(CCBC<CPortableAESAlgorithm>(MakeKey<CAES128key>(Pattern(16, seed)), iv.data()), sealed);
        });
        EXPECT_TRUE(reason.rfind("DecryptFinal - bad padding", 0) == 0 || out != plain) << seed;
    }
}

}  // namespace
