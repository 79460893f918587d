// The crypto processor's sizes, padding checks and failure reasons, and CBC chains (the
// padding, the chain across calls and the hints are checked against `openssl enc` and in
// the file tests).
#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/rc5.h"

using namespace cipher_test;

namespace {

TEST(ProcessorTest, FinalSizesAndHintCounts) {
    CDESAlgorithm des(ExampleDesKey(), 1, nullptr);
    CRC5Algorithm rc5(CRC5key(), 12, 8, 1, nullptr);  // unpadded: no padding block, no hint for one
    const std::pair<unsigned long, unsigned long> sizes[] = {
        {des.EncrFinalOutMaxSize(16), 24}, {des.EncrFinalOutMaxSize(13), 16}, {des.EncrFinalOutMaxSize(0), 8},
        {des.DecrFinalOutMaxSize(16), 15}, {des.DecrFinalOutMaxSize(0), 0},  // no wrap-around to a huge size
        {des.CountHints(16, 1), 3},        {des.CountHints(16, 0), 2},        {des.CountHints(13, 1), 2},
        {rc5.EncrFinalOutMaxSize(16), 16}, {rc5.DecrFinalOutMaxSize(16), 16}, {rc5.CountHints(16, 1), 2}};
    for (std::size_t i = 0; i < std::size(sizes); ++i) EXPECT_EQ(sizes[i].first, sizes[i].second) << "row " << i;
}

// Each row: the last block as it decrypts, and the reason DecryptFinal gives for it.
TEST(ProcessorTest, DecryptFinalRejectsBadPaddingWithItsReason) {
    const std::pair<const char*, const char*> rows[] = {
        {"4142434445464700", "DecryptFinal - bad padding: pad_size = 0!"},
        {"4142434445464709", "DecryptFinal - bad padding: pad_size = 9!"},
        {"41424344ff030302", "DecryptFinal - bad padding data (3) !"},
        {"0708080808080808", "DecryptFinal - bad padding data (7) !"},
        {"4142434445030303", kNoException},
        {"0808080808080808", kNoException},
        {"4142434445464701", kNoException}};
    for (const auto& [lastBlock, reason] : rows) {
        CDESAlgorithm des(ExampleDesKey(), 1, nullptr);
        const Bytes cipher = Ecb<CDESAlgorithm>(ExampleDesKey(), FromHex(lastBlock), true);
        Bytes out(8);
        EXPECT_EQ(UnlockReason([&] { des.DecryptFinal(cipher.data(), 8, out.data(), nullptr); }), reason) << lastBlock;
    }
}

// Empty or partial input to the padded DES and the unpadded RC5, with their reasons. A
// partial block handed to the block walk would be read past the buffer.
TEST(ProcessorTest, PartialOrEmptyInputFailsWithItsReason) {
    CDESAlgorithm des(ExampleDesKey(), 1, nullptr);
    CRC5Algorithm rc5(CRC5key(), 12, 8, 1, nullptr);
    Bytes data(32), out(32);
    const std::pair<std::function<void()>, const char*> rows[] = {
        {[&] { des.DecryptFinal(data.data(), 0, out.data(), nullptr); }, "DecryptFinal - in_size = 0!"},
        {[&] { des.DecryptFinal(data.data(), 13, out.data(), nullptr); },
         "DecryptFinal - in_size is not multiple of m_block_size!\nin_size = 13, m_block_size = 8, (in_size % "
         "m_block_size) = 5!"},
        {[&] { des.CheckCiphertextSize(20); },
         "CheckCiphertextSize - in_size = 20, m_block_size = 8, (in_size % m_block_size) = 4!"},
        {[&] { des.CheckCiphertextSize(16); }, kNoException},
        {[&] { rc5.EncryptFinal(data.data(), 13, out.data(), nullptr); },
         "CRC5Algorithm::EncryptFinal - in_size is not multiple of m_block_size!\nin_size = 13, m_block_size = 8, "
         "(in_size % m_block_size) = 5!"},
        {[&] { rc5.DecryptFinal(data.data(), 0, out.data(), nullptr); }, "CRC5Algorithm::DecryptFinal - in_size = 0!"},
        {[&] { rc5.DecryptFinal(data.data(), 12, out.data(), nullptr); },
         "CRC5Algorithm::DecryptFinal - in_size is not multiple of m_block_size!\nin_size = 12, m_block_size = 8, "
         "(in_size % m_block_size) = 4!"},
        {[&] { rc5.CheckPlaintextSize(9); },
         "CRC5Algorithm::CheckPlaintextSize - in_size = 9, m_block_size = 8, (in_size % m_block_size) = 1!"},
        {[&] { EXPECT_EQ(rc5.EncryptFinal(data.data(), 0, out.data(), nullptr), 0u); }, kNoException}};
    for (const auto& [action, reason] : rows) EXPECT_EQ(UnlockReason(action), reason);
    EXPECT_NE(UnlockReason([&] { des.EncryptBlock(data.data(), 12, out.data(), nullptr); }), kNoException);
    EXPECT_NE(UnlockReason([&] { des.DecryptBlock(data.data(), 12, out.data(), nullptr); }), kNoException);
    const Bytes plain = Pattern(24);
    EXPECT_EQ(ToHex(DecryptAll(rc5, EncryptAll(rc5, plain))), ToHex(plain));
}

// A null vector is zero; the encryption and decryption chains run on across messages,
// separately, until reset.
TEST(CbcTest, ChainsAreSeparateAndRunOnUntilReset) {
    const Bytes a = Pattern(20, 1), b = Pattern(30, 2);
    CCBC<CDESAlgorithm> cbc(ExampleDesKey(), nullptr);
    const Bytes ca = EncryptAll(cbc, a);
    EXPECT_EQ(ToHex(ca), ToHex(OpenSSLEnc("des-cbc", FromHex("133457799BBCDFF1"), Bytes(8, 0), a)));
    EXPECT_EQ(ToHex(DecryptAll(cbc, ca)), ToHex(a));
    const Bytes cb = EncryptAll(cbc, b);
    EXPECT_NE(ToHex(cb), ToHex(EncryptAll(CCBC<CDESAlgorithm>(ExampleDesKey(), nullptr), b)));
    EXPECT_EQ(ToHex(DecryptAll(cbc, cb)), ToHex(b));
    cbc.ResetDecryptionContext();
    EXPECT_EQ(ToHex(DecryptAll(cbc, ca)), ToHex(a));
    cbc.ResetEncryptionContext();
    EXPECT_EQ(ToHex(EncryptAll(cbc, a)), ToHex(ca));
}

// CCBC passes RC5's rounds and block size through; an unusable block size is refused.
TEST(CbcTest, TemplateTakesTheCiphersArguments) {
    const Bytes iv = Pattern(16, 8), plain = Pattern(50);
    CCBC<CRC5PadAlgorithm> rc5(CRC5key(), 12, 16, iv.data());
    const Bytes cipher = EncryptAll(rc5, plain);
    EXPECT_EQ(cipher.size(), 64u);
    EXPECT_EQ(ToHex(DecryptAll(rc5, cipher)), ToHex(plain));
    EXPECT_NE(UnlockReason([&] { EncryptAll(CCBC<CRC5PadAlgorithm>(CRC5key(), 12, 6, iv.data()), plain); }),
              kNoException);
}

}  // namespace
