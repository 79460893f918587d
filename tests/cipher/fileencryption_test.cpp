// EncryptFile/DecryptFile: chunking, the held-back last chunk, progress set-up and
// hints, size failures, and equality with `openssl enc` over real files.
#include <gtest/gtest.h>

#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/fileencryption.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/cipher/tripledes.h"
#include "vorlan/framework/memfile.h"

using namespace cipher_test;

namespace {

Bytes Contents(CMemFile& file) { return Bytes(file.GetBuffer(), file.GetBuffer() + file.GetLength()); }

// Records the processor calls of the file walk on top of DES.
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
    MessageRecorder window;
};

void RunFileWalk(FileRun& run, bool encrypt, const Bytes& input, int len, unsigned long chunk, bool setUp) {
    RecordingDes des;
    Bytes copy = input;
    CMemFile in(copy.data(), static_cast<UINT>(copy.size())), out;
    CProgress progress(&run.window, 1);
    if (encrypt)
        EncryptFile(des, in, len, out, chunk, &progress, setUp);
    else
        DecryptFile(des, in, len, out, chunk, &progress, setUp);
    run.output = Contents(out);
    run.finals = des.calls;
}

TEST(FileEncryptionTest, EncryptRoundsChunksAndPadsTheRest) {
    const struct {
        std::size_t size;
        unsigned long chunk;
        std::size_t outSize;
        const char* final;
        std::size_t hints;
    } rows[] = {
        {20, 16, 24, "EncryptFinal 4", 3},  // one chunk of 16, then 4 octets padded to 8
        {20, 10, 24, "EncryptFinal 4", 3},  // chunk 10 becomes 16
        {16, 16, 24, "EncryptFinal 0", 3},  // a whole padding block
        {0, 16, 8, "EncryptFinal 0", 1},
        {100, 0, 104, "EncryptFinal 4", 13},  // chunk 0 becomes one block
    };
    for (const auto& row : rows) {
        FileRun run;
        const Bytes plain = Pattern(row.size);
        RunFileWalk(run, true, plain, 0, row.chunk, true);
        EXPECT_EQ(run.output.size(), row.outSize) << row.size;
        ASSERT_EQ(run.finals.size(), 1u);
        EXPECT_EQ(run.finals[0], row.final);
        ASSERT_GE(run.window.messages.size(), 3u);
        // SetUp(hints, 1, 1, 1): range, step, position, then one hint per block.
        EXPECT_EQ(run.window.messages[0].message, PBM_SETRANGE);
        EXPECT_EQ(run.window.messages[0].lParam, static_cast<LPARAM>((row.hints << 16) | 1));
        EXPECT_EQ(run.window.messages[1].message, PBM_SETSTEP);
        EXPECT_EQ(run.window.messages[2].message, PBM_SETPOS);
        EXPECT_EQ(run.window.messages[2].wParam, 1u);
        EXPECT_EQ(run.window.Count(PBM_DELTAPOS), row.hints);

        FileRun back;
        RunFileWalk(back, false, run.output, 0, row.chunk, false);
        EXPECT_EQ(ToHex(back.output), ToHex(plain));
        EXPECT_EQ(back.window.Count(PBM_SETRANGE), 0u);  // no set-up asked for
        EXPECT_EQ(back.window.Count(PBM_DELTAPOS), run.output.size() / 8);
    }
}

TEST(FileEncryptionTest, DecryptHoldsBackTheLastWholeChunkForDecryptFinal) {
    const struct {
        std::size_t size;
        unsigned long chunk;
        const char* final;
    } rows[] = {{32, 16, "DecryptFinal 16"}, {40, 16, "DecryptFinal 8"}, {8, 16, "DecryptFinal 8"},
                {48, 8, "DecryptFinal 8"}};
    for (const auto& row : rows) {
        FileRun encrypted;
        RunFileWalk(encrypted, true, Pattern(row.size - 1), 0, 8, false);  // size - 1 pads to size
        ASSERT_EQ(encrypted.output.size(), row.size);
        FileRun run;
        RunFileWalk(run, false, encrypted.output, 0, row.chunk, true);
        ASSERT_EQ(run.finals.size(), 1u);
        EXPECT_EQ(run.finals[0], row.final) << row.size;
        EXPECT_EQ(ToHex(run.output), ToHex(Pattern(row.size - 1)));
        EXPECT_EQ(run.window.messages[0].lParam, static_cast<LPARAM>(((row.size / 8) << 16) | 1));
    }
}

TEST(FileEncryptionTest, LengthLimitsTheInputAndZeroMeansFromPositionToEnd) {
    const Bytes plain = Pattern(50);
    CDESAlgorithm des(ExampleDesKey(), 1, nullptr);
    Bytes copy = plain;
    CMemFile in(copy.data(), static_cast<UINT>(copy.size())), out;
    in.Seek(10, CFile::begin);
    EncryptFile(des, in, 0, out, 16, nullptr, 1);
    EXPECT_EQ(out.GetLength(), 48u);  // 40 octets from position 10, padded
    CMemFile in2(copy.data(), static_cast<UINT>(copy.size())), out2;
    EncryptFile(des, in2, 17, out2, 16, nullptr, 1);
    EXPECT_EQ(out2.GetLength(), 24u);
    EXPECT_EQ(in2.GetPosition(), 17u);
}

TEST(FileEncryptionTest, SizeFailuresComeBeforeReadingAndShortFilesFail) {
    RecordingDes des;
    Bytes data = Pattern(20);
    CMemFile in(data.data(), static_cast<UINT>(data.size())), out;
    EXPECT_EQ(UnlockReason([&] { DecryptFile(des, in, 0, out, 16, nullptr, 0); }),
              "CheckCiphertextSize - in_size = 20, m_block_size = 8, (in_size % m_block_size) = 4!");
    EXPECT_EQ(in.GetPosition(), 0u);
    EXPECT_NE(UnlockReason([&] { EncryptFile(des, in, -1, out, 16, nullptr, 0); }), "<no exception>");
    // The unpadded RC5 refuses a partial plaintext before reading.
    CRC5key key;
    CRC5Algorithm rc5(key, 12, 8, 1, nullptr);
    EXPECT_NE(UnlockReason([&] { EncryptFile(rc5, in, 0, out, 16, nullptr, 0); }), "<no exception>");
    EXPECT_EQ(in.GetPosition(), 0u);
    // A length past the end of the file is a read failure, not stale octets.
    bool fileError = false;
    try {
        EncryptFile(des, in, 64, out, 16, nullptr, 0);
    } catch (CFileException* e) {
        fileError = e->m_cause == CFileException::endOfFile;
        e->Delete();
    }
    EXPECT_TRUE(fileError);
}

// The output of EncryptFile is exactly `openssl enc` of the file.
template <class Cipher>
void ExpectFileEqualsOpenSSL(const char* opensslName, const Bytes& keyOctets) {
    typename Cipher::KeyType key;
    key.Set(keyOctets.data(), keyOctets.size());
    const Bytes iv = Pattern(8, 77);
    for (std::size_t size : {0u, 5u, 8u, 4095u, 4096u, 10000u}) {
        const std::string plainPath = TempPath("plain"), ourPath = TempPath("ours"), backPath = TempPath("back");
        const Bytes plain = Pattern(size, static_cast<unsigned>(size));
        WriteFileBytes(plainPath, plain);
        {
            CCBC<Cipher> cbc(key, iv.data());
            CFile in(plainPath.c_str(), CFile::modeRead), out(ourPath.c_str(), CFile::modeCreate | CFile::modeWrite);
            EncryptFile(cbc, in, 0, out, 4096, nullptr, 0);
        }
        Bytes theirs;
        ASSERT_TRUE(RunFilter(std::string("openssl enc -") + opensslName +
                                  " -provider legacy -provider default -nosalt -K " + ToHex(keyOctets) + " -iv " +
                                  ToHex(iv),
                              plain, theirs));
        EXPECT_EQ(ToHex(ReadFileBytes(ourPath)), ToHex(theirs)) << opensslName << " " << size;
        {
            CCBC<Cipher> cbc(key, iv.data());
            CFile in(ourPath.c_str(), CFile::modeRead), out(backPath.c_str(), CFile::modeCreate | CFile::modeWrite);
            DecryptFile(cbc, in, 0, out, 4096, nullptr, 0);
        }
        EXPECT_EQ(ToHex(ReadFileBytes(backPath)), ToHex(plain)) << size;
        for (const auto& path : {plainPath, ourPath, backPath}) std::remove(path.c_str());
    }
}

TEST(FileEncryptionTest, DesFileOutputEqualsOpenSSLEnc) {
    ExpectFileEqualsOpenSSL<CDESAlgorithm>("des-cbc", Hex("0123456789abcdef"));
}

TEST(FileEncryptionTest, TripleDesFileOutputEqualsOpenSSLEnc) {
    ExpectFileEqualsOpenSSL<CTripleDESAlgorithm>("des-ede3-cbc", Pattern(24, 3));
}

}  // namespace
