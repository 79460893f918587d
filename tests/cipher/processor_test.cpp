// The crypto processor's block walk, padding, chains, hints and failure reasons,
// and CBC mode.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/idea.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/support/progress.h"

using namespace cipher_test;

namespace {

TEST(ProcessorSizesTest, FinalSizesAndHintCounts) {
    CDESAlgorithm des(ExampleDesKey(), 1, nullptr);
    EXPECT_EQ(des.EncrFinalOutMaxSize(16), 24u);
    EXPECT_EQ(des.EncrFinalOutMaxSize(13), 16u);
    EXPECT_EQ(des.EncrFinalOutMaxSize(0), 8u);
    EXPECT_EQ(des.DecrFinalOutMaxSize(16), 15u);
    EXPECT_EQ(des.DecrFinalOutMaxSize(0), 0u);  // no wrap-around to a huge size
    EXPECT_EQ(des.CountHints(16, 1), 3u);
    EXPECT_EQ(des.CountHints(16, 0), 2u);
    EXPECT_EQ(des.CountHints(13, 1), 2u);
}

// Padded lengths and the content of the padding block (read back unchained).
TEST(ProcessorPaddingTest, EncryptFinalAddsOneToEightPadOctets) {
    for (std::size_t len : {0u, 1u, 7u, 8u, 13u, 16u}) {
        CDESAlgorithm des(ExampleDesKey(), 1, nullptr);
        const Bytes plain = Pattern(len);
        const Bytes cipher = EncryptAll(des, plain);
        ASSERT_EQ(cipher.size(), len - len % 8 + 8);
        Bytes raw(cipher.size());
        des.DecryptBlock(cipher.data(), cipher.size(), raw.data(), nullptr);
        const unsigned char pad = static_cast<unsigned char>(8 - len % 8);
        EXPECT_EQ(ToHex(Bytes(raw.begin(), raw.begin() + static_cast<long>(len))), ToHex(plain));
        for (std::size_t i = len; i < raw.size(); ++i) EXPECT_EQ(raw[i], pad) << len;
        EXPECT_EQ(ToHex(DecryptAll(des, cipher)), ToHex(plain)) << len;
    }
}

// A last block decrypting to the given octets, under an unchained DES.
Bytes CipherOfLastBlock(CDESAlgorithm& des, const Bytes& lastPlain) {
    Bytes cipher(8);
    des.EncryptBlock(lastPlain.data(), 8, cipher.data(), nullptr);
    return cipher;
}

TEST(ProcessorPaddingTest, DecryptFinalRejectsBadPaddingWithItsReason) {
    const struct {
        const char* lastBlock;
        const char* reason;
    } rows[] = {
        {"4142434445464700", "DecryptFinal - bad padding: pad_size = 0!"},
        {"4142434445464709", "DecryptFinal - bad padding: pad_size = 9!"},
        {"41424344ff030302", "DecryptFinal - bad padding data (3) !"},
        {"4142434445030303", ""},  // good: three octets of padding
        {"0808080808080808", ""},  // good: a whole block of padding
        {"4142434445464701", ""},
        {"0708080808080808", "DecryptFinal - bad padding data (7) !"},
    };
    for (const auto& row : rows) {
        CDESAlgorithm des(ExampleDesKey(), 1, nullptr);
        const Bytes cipher = CipherOfLastBlock(des, Hex(row.lastBlock));
        Bytes out(8);
        const std::string reason = UnlockReason([&] { des.DecryptFinal(cipher.data(), 8, out.data(), nullptr); });
        EXPECT_EQ(reason, *row.reason ? row.reason : "<no exception>") << row.lastBlock;
    }
}

TEST(ProcessorPaddingTest, DecryptFinalAndSizeChecksRejectPartialOrEmptyInput) {
    CDESAlgorithm des(ExampleDesKey(), 1, nullptr);
    Bytes data(32), out(32);
    EXPECT_EQ(UnlockReason([&] { des.DecryptFinal(data.data(), 0, out.data(), nullptr); }),
              "DecryptFinal - in_size = 0!");
    EXPECT_EQ(UnlockReason([&] { des.DecryptFinal(data.data(), 13, out.data(), nullptr); }),
              "DecryptFinal - in_size is not multiple of m_block_size!\nin_size = 13, m_block_size = 8, "
              "(in_size % m_block_size) = 5!");
    EXPECT_EQ(UnlockReason([&] { des.CheckCiphertextSize(20); }),
              "CheckCiphertextSize - in_size = 20, m_block_size = 8, (in_size % m_block_size) = 4!");
    EXPECT_EQ(UnlockReason([&] { des.CheckCiphertextSize(0); }),
              "CheckCiphertextSize - in_size = 0, m_block_size = 8, (in_size % m_block_size) = 0!");
    EXPECT_EQ(UnlockReason([&] { des.CheckCiphertextSize(16); }), "<no exception>");
    EXPECT_EQ(UnlockReason([&] { des.CheckPlaintextSize(13); }), "<no exception>");
    // A partial block handed to the block walk would be read past the buffer.
    EXPECT_NE(UnlockReason([&] { des.EncryptBlock(data.data(), 12, out.data(), nullptr); }), "<no exception>");
    EXPECT_NE(UnlockReason([&] { des.DecryptBlock(data.data(), 12, out.data(), nullptr); }), "<no exception>");
}

TEST(ProcessorPaddingTest, UnpaddedRc5TakesWholeBlocksOnly) {
    CRC5key key;
    CRC5Algorithm rc5(key, 12, 8, 1, nullptr);
    EXPECT_EQ(rc5.EncrFinalOutMaxSize(16), 16u);
    EXPECT_EQ(rc5.DecrFinalOutMaxSize(16), 16u);
    EXPECT_EQ(rc5.CountHints(16, 1), 2u);  // no padding block, no hint for one
    const Bytes plain = Pattern(24);
    Bytes cipher(24), back(24);
    EXPECT_EQ(rc5.EncryptFinal(plain.data(), 24, cipher.data(), nullptr), 24u);
    EXPECT_EQ(rc5.EncryptFinal(plain.data(), 0, cipher.data(), nullptr), 0u);
    EXPECT_EQ(rc5.DecryptFinal(cipher.data(), 24, back.data(), nullptr), 24u);
    EXPECT_EQ(ToHex(back), ToHex(plain));
    EXPECT_EQ(UnlockReason([&] { rc5.EncryptFinal(plain.data(), 13, cipher.data(), nullptr); }),
              "CRC5Algorithm::EncryptFinal - in_size is not multiple of m_block_size!\nin_size = 13, "
              "m_block_size = 8, (in_size % m_block_size) = 5!");
    EXPECT_EQ(UnlockReason([&] { rc5.DecryptFinal(cipher.data(), 0, back.data(), nullptr); }),
              "CRC5Algorithm::DecryptFinal - in_size = 0!");
    EXPECT_EQ(UnlockReason([&] { rc5.DecryptFinal(cipher.data(), 12, back.data(), nullptr); }),
              "CRC5Algorithm::DecryptFinal - in_size is not multiple of m_block_size!\nin_size = 12, "
              "m_block_size = 8, (in_size % m_block_size) = 4!");
    EXPECT_EQ(UnlockReason([&] { rc5.CheckPlaintextSize(9); }),
              "CRC5Algorithm::CheckPlaintextSize - in_size = 9, m_block_size = 8, (in_size % m_block_size) = 1!");
}

// A chained cipher with the processor's own hooks transforms blocks one by one.
TEST(ProcessorChainTest, ChainedModeWithBaseHooksEqualsUnchained) {
    const Bytes iv = Pattern(8, 4), plain = Pattern(40);
    CDESAlgorithm chained(ExampleDesKey(), 0, iv.data()), unchained(ExampleDesKey(), 1, nullptr);
    EXPECT_EQ(ToHex(EncryptAll(chained, plain)), ToHex(EncryptAll(unchained, plain)));
}

// CBC from the textbook definition over the unchained cipher.
Bytes ReferenceCbc(const Bytes& plainPadded, const Bytes& iv) {
    CDESAlgorithm ecb(ExampleDesKey(), 1, nullptr);
    Bytes out, chain = iv;
    for (std::size_t i = 0; i < plainPadded.size(); i += 8) {
        Bytes block(8);
        for (int j = 0; j < 8; ++j) block[static_cast<std::size_t>(j)] = plainPadded[i + static_cast<std::size_t>(j)] ^ chain[static_cast<std::size_t>(j)];
        ecb.EncryptBlock(block.data(), 8, chain.data(), nullptr);
        out.insert(out.end(), chain.begin(), chain.end());
    }
    return out;
}

TEST(CbcTest, ChainsBlocksAndContinuesAcrossCalls) {
    const Bytes iv = Hex("1234567890abcdef"), plain = Pattern(45);
    Bytes padded = plain;
    padded.insert(padded.end(), 3, 3);
    const Bytes expected = ReferenceCbc(padded, iv);

    CCBC<CDESAlgorithm> whole(ExampleDesKey(), iv.data());
    EXPECT_EQ(ToHex(EncryptAll(whole, plain)), ToHex(expected));

    // In pieces: blocks, then the final operation, one chain throughout.
    CCBC<CDESAlgorithm> pieces(ExampleDesKey(), iv.data());
    Bytes out(48);
    pieces.EncryptBlock(plain.data(), 16, out.data(), nullptr);
    pieces.EncryptBlock(plain.data() + 16, 8, out.data() + 16, nullptr);
    pieces.EncryptFinal(plain.data() + 24, 21, out.data() + 24, nullptr);
    EXPECT_EQ(ToHex(out), ToHex(expected));

    // Decryption in place, in pieces.
    CCBC<CDESAlgorithm> dec(ExampleDesKey(), iv.data());
    dec.DecryptBlock(out.data(), 24, out.data(), nullptr);
    EXPECT_EQ(dec.DecryptFinal(out.data() + 24, 24, out.data() + 24, nullptr), 21u);
    EXPECT_EQ(ToHex(Bytes(out.begin(), out.begin() + 45)), ToHex(plain));
}

TEST(CbcTest, ZeroVectorFirstBlockEqualsCipherAndRepeatsDifferUntilReset) {
    const Bytes plain = Pattern(16);
    CCBC<CDESAlgorithm> cbc(ExampleDesKey(), nullptr);
    CDESAlgorithm ecb(ExampleDesKey(), 1, nullptr);
    const Bytes first = EncryptAll(cbc, plain);
    const Bytes single = EncryptAll(ecb, Bytes(plain.begin(), plain.begin() + 8));
    EXPECT_EQ(ToHex(Bytes(first.begin(), first.begin() + 8)), ToHex(Bytes(single.begin(), single.begin() + 8)));
    const Bytes second = EncryptAll(cbc, plain);
    EXPECT_NE(ToHex(second), ToHex(first));
    cbc.ResetEncryptionContext();
    EXPECT_EQ(ToHex(EncryptAll(cbc, plain)), ToHex(first));
}

// Encryption and decryption chains are separate: one object can interleave them.
TEST(CbcTest, EncryptionAndDecryptionChainsAreIndependent) {
    const Bytes iv = Pattern(8, 3);
    CCBC<CDESAlgorithm> cbc(ExampleDesKey(), iv.data());
    const Bytes a = Pattern(20, 1), b = Pattern(30, 2);
    const Bytes ca = EncryptAll(cbc, a);
    EXPECT_EQ(ToHex(DecryptAll(cbc, ca)), ToHex(a));
    const Bytes cb = EncryptAll(cbc, b);  // continues the encryption chain from ca
    EXPECT_EQ(ToHex(DecryptAll(cbc, cb)), ToHex(b));
    cbc.ResetDecryptionContext();
    EXPECT_EQ(ToHex(DecryptAll(cbc, ca)), ToHex(a));
}

TEST(CbcTest, TemplateTakesEveryCiphersArguments) {
    CRC5key rc5Key;
    const Bytes iv = Pattern(16, 8);
    CCBC<CRC5PadAlgorithm> rc5(rc5Key, 12, 16, iv.data());
    EXPECT_EQ(rc5.GetBlockSize(), 16u);
    const Bytes plain = Pattern(50);
    const Bytes cipher = EncryptAll(rc5, plain);
    EXPECT_EQ(cipher.size(), 64u);
    EXPECT_EQ(ToHex(DecryptAll(rc5, cipher)), ToHex(plain));
    CCBC<CRC5PadAlgorithm> unusable(rc5Key, 12, 6, iv.data());
    EXPECT_NE(UnlockReason([&] { EncryptAll(unusable, plain); }), "<no exception>");
    CIDEAkey ideaKey;
    CCBC<CIDEAAlgorithm> idea(ideaKey, iv.data());
    EXPECT_EQ(ToHex(DecryptAll(idea, EncryptAll(idea, plain))), ToHex(plain));
}

TEST(ProcessorProgressTest, OneHintPerBlockIncludingThePaddingBlock) {
    MessageRecorder window;
    CProgress progress(&window, 0);
    CCBC<CDESAlgorithm> cbc(ExampleDesKey(), nullptr);
    const Bytes plain = Pattern(16);
    Bytes out(24);
    cbc.EncryptFinal(plain.data(), 16, out.data(), &progress);
    EXPECT_EQ(window.Count(PBM_DELTAPOS), 3u);
    EXPECT_EQ(window.messages.size(), 3u);
    cbc.DecryptFinal(out.data(), 24, out.data(), &progress);
    EXPECT_EQ(window.Count(PBM_DELTAPOS), 6u);
    for (const auto& m : window.messages) EXPECT_EQ(m.wParam, 1u);
}

}  // namespace
