// EncryptFile/DecryptFile: chunking, the held-back last chunk, progress set-up and hints,
// size failures, and files in both directions with `openssl enc`.
#include "vorlan/cipher/fileencryption.h"

#include "tests/cipher/cipher_test_util.h"
#include "tests/common/exceptions.h"
#include "vorlan/cipher/aes.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/cipher/tripledes.h"
#include "vorlan/framework/memfile.h"

using namespace cipher_test;

namespace {

// Records the lengths handed to the final operations of the file walk on top of DES.
struct RecordingDes : CDESAlgorithm {
    RecordingDes() : CDESAlgorithm(ExampleDesKey(), 1, nullptr) {}
    unsigned long EncryptFinal(const unsigned char* in, unsigned long len, unsigned char* out, CProgress* p) override {
        finals.emplace_back('E', len);
        return CDESAlgorithm::EncryptFinal(in, len, out, p);
    }
    unsigned long DecryptFinal(const unsigned char* in, unsigned long len, unsigned char* out, CProgress* p) override {
        finals.emplace_back('D', len);
        return CDESAlgorithm::DecryptFinal(in, len, out, p);
    }
    std::vector<std::pair<char, unsigned long>> finals;
};

// The whole input through EncryptFile or DecryptFile over memory files.
Bytes Walk(CCryptoProcessor& proc, bool encrypt, Bytes input, unsigned long chunk, CProgress* progress = nullptr,
           int setUp = 0) {
    CMemFile in(input.data(), static_cast<UINT>(input.size())), out;
    (encrypt ? EncryptFile : DecryptFile)(proc, in, 0, out, chunk, progress, setUp);
    return Bytes(out.GetBuffer(), out.GetBuffer() + out.GetLength());
}

// Chunks round up to whole blocks (0 to one block). Encryption pads the rest through
// EncryptFinal; decryption holds the last whole chunk back for DecryptFinal. SetUp(blocks,
// 1, 1, 1) when asked, then one hint per block.
TEST(FileEncryptionTest, ChunksRoundUpAndTheLastGoesThroughTheFinalOperation) {
    const std::tuple<std::size_t, unsigned long, bool, unsigned long, unsigned long> rows[] = {
        {20, 16, true, 4, 8}, {20, 10, false, 4, 8},   {16, 16, true, 0, 8}, {0, 16, false, 0, 8},
        {100, 0, true, 4, 8}, {31, 16, false, 15, 16}, {47, 8, true, 7, 8}};
    for (const auto& [size, chunk, setUp, encryptFinal, decryptFinal] : rows) {
        const std::size_t blocks = size / 8 + 1;
        auto expected = setUp ? SetUpMessages(static_cast<int>(blocks), 1, 1, 1, true) : std::vector<Message>{};
        expected.insert(expected.end(), blocks, Message{PBM_DELTAPOS, 1, 0, true});
        for (const bool encrypt : {true, false}) {
            RecordingDes des;
            CMessageRecorder window;
            CProgress progress(&window, 1);
            const Bytes in = encrypt ? Pattern(size) : Walk(des, true, Pattern(size), chunk);
            des.finals.clear();
            const Bytes out = Walk(des, encrypt, in, chunk, &progress, setUp);
            EXPECT_EQ(out.size(), encrypt ? blocks * 8 : size);
            EXPECT_EQ(des.finals, (std::vector{std::pair(encrypt ? 'E' : 'D', encrypt ? encryptFinal : decryptFinal)}));
            EXPECT_EQ(ToHex(encrypt ? Walk(des, false, out, chunk) : out), ToHex(Pattern(size))) << size;
            EXPECT_EQ(window.messages, expected) << size << " " << encrypt;
        }
    }
}

// The length counts from the position (0: to the end); sizes are refused before reading,
// and a length past the end is a read failure, not stale octets.
TEST(FileEncryptionTest, LengthLimitsTheInputAndBadSizesFail) {
    CDESAlgorithm des(ExampleDesKey(), 1, nullptr);
    Bytes data = Pattern(50);
    CMemFile in(data.data(), static_cast<UINT>(data.size())), out, out2;
    in.Seek(10, CFile::begin);
    EncryptFile(des, in, 0, out, 16, nullptr, 1);
    EXPECT_EQ(out.GetLength(), 48u);
    in.Seek(0, CFile::begin);
    EncryptFile(des, in, 17, out2, 16, nullptr, 1);
    EXPECT_EQ(out2.GetLength(), 24u);
    EXPECT_EQ(in.GetPosition(), 17u);

    CMemFile twenty(data.data(), 20);
    EXPECT_EQ(UnlockReason([&] { DecryptFile(des, twenty, 0, out, 16, nullptr, 0); }),
              "CheckCiphertextSize - in_size = 20, m_block_size = 8, (in_size % m_block_size) = 4!");
    EXPECT_NE(UnlockReason([&] { EncryptFile(des, twenty, -1, out, 16, nullptr, 0); }), kNoException);
    CRC5Algorithm rc5(CRC5key(), 12, 8, 1, nullptr);  // unpadded: refuses a partial plaintext
    EXPECT_NE(UnlockReason([&] { EncryptFile(rc5, twenty, 0, out, 16, nullptr, 0); }), kNoException);
    EXPECT_EQ(twenty.GetPosition(), 0u);
    EXPECT_EQ(CauseOf<CFileException>([&] { EncryptFile(des, twenty, 64, out, 16, nullptr, 0); }),
              CFileException::endOfFile);
}

// Our file equals `openssl enc` of it, and our decryption of theirs gives the file back.
template <class Cipher, class Key = typename Cipher::KeyType>
void ExpectFilesInteroperateWithOpenSSLEnc(const char* opensslName, const Bytes& keyOctets, std::size_t block = 8) {
    const auto key = MakeKey<Key>(keyOctets);
    for (std::size_t size : {0u, 1u, 7u, 8u, 9u, 64u, 1000u, 4095u, 4096u, 10000u}) {
        const Bytes iv = Pattern(block, static_cast<unsigned>(size) + 50), plain = Pattern(size, 7);
        const Bytes theirs = OpenSSLEnc(opensslName, keyOctets, iv, plain);
        CCBC<Cipher> encrypt(key, iv.data()), decrypt(key, iv.data());
        EXPECT_EQ(ToHex(Walk(encrypt, true, plain, 4096)), ToHex(theirs)) << opensslName << " " << size;
        EXPECT_EQ(ToHex(Walk(decrypt, false, theirs, 4096)), ToHex(plain)) << opensslName << " " << size;
    }
}

TEST(FileEncryptionTest, DesTripleDesAndAesFilesInteroperateWithOpenSSLEnc) {
    ExpectFilesInteroperateWithOpenSSLEnc<CDESAlgorithm>("des-cbc", FromHex("0123456789abcdef"));
    ExpectFilesInteroperateWithOpenSSLEnc<CTripleDESAlgorithm>("des-ede3-cbc", Pattern(24, 12));
    ExpectFilesInteroperateWithOpenSSLEnc<CAESAlgorithm, CAES128key>("aes-128-cbc", Pattern(16, 13), 16);
}

// AES's own CBC walks (several blocks per call) still send one hint per block.
TEST(FileEncryptionTest, AesSendsOneHintPerBlock) {
    CCBC<CAESAlgorithm> aes(MakeKey<CAES128key>(Pattern(16, 13)), Pattern(16).data());
    CMessageRecorder window;
    CProgress progress(&window, 1);
    Walk(aes, true, Pattern(100), 32, &progress, 1);
    auto expected = SetUpMessages(7, 1, 1, 1, true);
    expected.insert(expected.end(), 7, Message{PBM_DELTAPOS, 1, 0, true});
    EXPECT_EQ(window.messages, expected);
}

}  // namespace
