// EncryptFile/DecryptFile: chunking, the held-back last chunk, progress set-up and hints,
// size failures, and files in both directions with `openssl enc`.
#include "vorlan/cipher/fileencryption.h"

#include "tests/cipher/cipher_test_util.h"
#include "tests/common/exceptions.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/cipher/tripledes.h"
#include "vorlan/framework/memfile.h"

using namespace cipher_test;

namespace {

// Records the final calls of the file walk on top of DES.
class RecordingDes : public CDESAlgorithm {
public:
    RecordingDes() : CDESAlgorithm(ExampleDesKey(), 1, nullptr) {}
    unsigned long EncryptFinal(const unsigned char* in, unsigned long len, unsigned char* out,
                               CProgress* progress) override {
        calls.push_back("EncryptFinal " + std::to_string(len));
        return CDESAlgorithm::EncryptFinal(in, len, out, progress);
    }
    unsigned long DecryptFinal(const unsigned char* in, unsigned long len, unsigned char* out,
                               CProgress* progress) override {
        calls.push_back("DecryptFinal " + std::to_string(len));
        return CDESAlgorithm::DecryptFinal(in, len, out, progress);
    }
    std::vector<std::string> calls;
};

struct FileRun {
    Bytes output;
    std::vector<std::string> finals;
    CMessageRecorder window;
};

void RunFileWalk(FileRun& run, bool encrypt, Bytes input, unsigned long chunk, bool setUp) {
    RecordingDes des;
    CMemFile in(input.data(), static_cast<UINT>(input.size())), out;
    CProgress progress(&run.window, 1);
    (encrypt ? EncryptFile : DecryptFile)(des, in, 0, out, chunk, &progress, setUp);
    run.output.assign(out.GetBuffer(), out.GetBuffer() + out.GetLength());
    run.finals = des.calls;
}

// Chunks round up to whole blocks (0 to one block); the rest is padded by EncryptFinal.
// SetUp(hints, 1, 1, 1), then one hint per block.
TEST(FileEncryptionTest, EncryptRoundsChunksAndPadsTheRest) {
    const struct {
        std::size_t size;
        unsigned long chunk;
        std::size_t outSize;
        const char* final;
    } rows[] = {{20, 16, 24, "EncryptFinal 4"},
                {20, 10, 24, "EncryptFinal 4"},
                {16, 16, 24, "EncryptFinal 0"},
                {0, 16, 8, "EncryptFinal 0"},
                {100, 0, 104, "EncryptFinal 4"}};
    for (const auto& row : rows) {
        FileRun run, back;
        RunFileWalk(run, true, Pattern(row.size), row.chunk, true);
        EXPECT_EQ(run.output.size(), row.outSize) << row.size;
        EXPECT_EQ(run.finals, std::vector<std::string>{row.final});
        auto expected = SetUpMessages(static_cast<int>(row.outSize / 8), 1, 1, 1, true);
        expected.insert(expected.end(), row.outSize / 8, Message{PBM_DELTAPOS, 1, 0, true});
        EXPECT_EQ(run.window.messages, expected) << row.size;
        RunFileWalk(back, false, run.output, row.chunk, false);  // no set-up asked for
        EXPECT_EQ(ToHex(back.output), ToHex(Pattern(row.size)));
        EXPECT_EQ(back.window.messages, std::vector<Message>(row.outSize / 8, Message{PBM_DELTAPOS, 1, 0, true}));
    }
}

TEST(FileEncryptionTest, DecryptHoldsBackTheLastWholeChunkForDecryptFinal) {
    const std::tuple<std::size_t, unsigned long, const char*> rows[] = {
        {32, 16, "DecryptFinal 16"}, {40, 16, "DecryptFinal 8"}, {8, 16, "DecryptFinal 8"}, {48, 8, "DecryptFinal 8"}};
    for (const auto& [size, chunk, final] : rows) {
        FileRun encrypted, run;
        RunFileWalk(encrypted, true, Pattern(size - 1), 8, false);  // size - 1 pads to size
        RunFileWalk(run, false, encrypted.output, chunk, true);
        EXPECT_EQ(run.finals, std::vector<std::string>{final}) << size;
        EXPECT_EQ(run.window.messages[0], SetUpMessages(static_cast<int>(size / 8), 1, 1, 1, true)[0]);
        EXPECT_EQ(ToHex(run.output), ToHex(Pattern(size - 1)));
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
template <class Cipher>
void ExpectFilesInteroperateWithOpenSSLEnc(const char* opensslName, const Bytes& keyOctets) {
    const auto key = MakeKey<typename Cipher::KeyType>(keyOctets);
    for (std::size_t size : {0u, 1u, 7u, 8u, 9u, 64u, 1000u, 4095u, 4096u, 10000u}) {
        const Bytes iv = Pattern(8, static_cast<unsigned>(size) + 50), plain = Pattern(size, 7);
        Bytes theirs;
        ASSERT_TRUE(RunFilter(std::string("openssl enc -") + opensslName +
                                  " -provider legacy -provider default -nosalt -K " + ToHex(keyOctets) + " -iv " +
                                  ToHex(iv),
                              plain, theirs));
        const TempFile plainFile(plain), theirFile(theirs), ours, back;
        {
            CCBC<Cipher> encrypt(key, iv.data()), decrypt(key, iv.data());
            CFile in(plainFile.Path(), CFile::modeRead), out(ours.Path(), CFile::modeCreate | CFile::modeWrite);
            EncryptFile(encrypt, in, 0, out, 4096, nullptr, 0);
            CFile theirIn(theirFile.Path(), CFile::modeRead),
                backOut(back.Path(), CFile::modeCreate | CFile::modeWrite);
            DecryptFile(decrypt, theirIn, 0, backOut, 4096, nullptr, 0);
        }
        EXPECT_EQ(ToHex(ours.Read()), ToHex(theirs)) << opensslName << " " << size;
        EXPECT_EQ(ToHex(back.Read()), ToHex(plain)) << opensslName << " " << size;
    }
}

TEST(FileEncryptionTest, DesAndTripleDesFilesInteroperateWithOpenSSLEnc) {
    ExpectFilesInteroperateWithOpenSSLEnc<CDESAlgorithm>("des-cbc", FromHex("0123456789abcdef"));
    ExpectFilesInteroperateWithOpenSSLEnc<CTripleDESAlgorithm>("des-ede3-cbc", Pattern(24, 12));
}

}  // namespace
