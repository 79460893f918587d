// The block-feeding contract of CDigestMaker: progress hints, file digests, copies,
// continuing after a finish, and the chaining state before one.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/md5.h>
#include <openssl/sha.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "algorithms.h"
#include "vorlan/digest/md5.h"
#include "vorlan/framework/file.h"
#include "vorlan/support/progress.h"

namespace digesttest {
namespace {

struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Message&) const = default;
};

class CRecorder : public CMessageReceiver {
public:
    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back({message, wParam, lParam});
        return 0;
    }
    BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back({message, wParam, lParam});
        return TRUE;
    }
    int Hints() const {
        int n = 0;
        for (const auto& m : messages) n += m.message == PBM_DELTAPOS && m.wParam == 1 ? 1 : 0;
        return n;
    }
    std::vector<Message> messages;
};

std::vector<Message> SetUpMessages(int max, int min, WPARAM step, WPARAM pos) {
    const auto range = static_cast<std::uint32_t>(max) << 16 | (static_cast<std::uint32_t>(min) & 0xFFFF);
    return {{PBM_SETRANGE, 0, static_cast<LPARAM>(range)}, {PBM_SETSTEP, step, 0}, {PBM_SETPOS, pos, 0}};
}

class EveryDigest : public testing::TestWithParam<Algorithm> {};

// One hint per block compressed (whatever mix of buffered and direct octets made it)
// and one for a finishing call; the padding blocks of the finish send none.
TEST_P(EveryDigest, HintsCountCompressedBlocksPlusOneForFinishing) {
    const Algorithm& algorithm = GetParam();
    const int b = algorithm.blockSize;
    struct Row {
        int buffered, len, final;
    };
    const std::vector<Row> rows = {{0, 0, 0},         {0, 0, 1},         {0, 1, 0},         {0, b - 1, 1},
                                   {0, b, 0},         {0, b, 1},         {0, b + 1, 0},     {0, 2 * b, 0},
                                   {0, 5 * b + 3, 1}, {1, b - 1, 0},     {1, b - 2, 1},     {b - 1, 1, 0},
                                   {3, 2 * b - 3, 0}, {3, 2 * b - 4, 1}, {b / 2, 7 * b, 1}, {b - 1, b - 1, 1}};
    for (const auto& row : rows) {
        const Octets data = RandomOctets(static_cast<std::size_t>(row.buffered + row.len), 1);
        auto maker = algorithm.make();
        maker->UpdateBlock(data.data(), row.buffered, nullptr, 0, 1);
        CRecorder recorder;
        CProgress progress(&recorder, 0);
        maker->UpdateBlock(data.data() + row.buffered, row.len, &progress, row.final, 1);
        EXPECT_EQ(recorder.Hints(), (row.buffered + row.len) / b + row.final)
            << "buffered " << row.buffered << " len " << row.len << " final " << row.final;
        EXPECT_EQ(recorder.Hints(), static_cast<int>(recorder.messages.size()));
    }
}

TEST_P(EveryDigest, CopyRunsIndependentlyOfItsSource) {
    const Algorithm& algorithm = GetParam();
    const Octets prefix = RandomOctets(static_cast<std::size_t>(algorithm.blockSize + 5), 3);
    const Octets x = Bytes("first continuation"), y = Bytes("the other continuation");
    auto source = algorithm.make();
    source->UpdateBlock(prefix.data(), static_cast<int>(prefix.size()), nullptr, 0, 1);
    auto copy = algorithm.copy(*source);
    source->UpdateBlock(x.data(), static_cast<int>(x.size()), nullptr, 1, 1);
    copy->UpdateBlock(y.data(), static_cast<int>(y.size()), nullptr, 1, 1);

    auto expected = [&](const Octets& tail) {
        Octets whole = prefix;
        whole.insert(whole.end(), tail.begin(), tail.end());
        auto fresh = algorithm.make();
        fresh->UpdateBlock(whole.data(), static_cast<int>(whole.size()), nullptr, 1, 1);
        return CurrentDigest(*fresh, algorithm);
    };
    EXPECT_EQ(CurrentDigest(*source, algorithm), expected(x));
    EXPECT_EQ(CurrentDigest(*copy, algorithm), expected(y));
}

TEST_P(EveryDigest, ResetContextStartsANewMessage) {
    const Algorithm& algorithm = GetParam();
    const Octets junk = RandomOctets(100, 4);
    auto used = algorithm.make(), fresh = algorithm.make();
    used->UpdateBlock(junk.data(), 100, nullptr, 1, 1);
    used->UpdateBlock(junk.data(), 7, nullptr, 0, 1);
    used->ResetContext();
    EXPECT_EQ(Finish(*used, algorithm), Finish(*fresh, algorithm));
}

INSTANTIATE_TEST_SUITE_P(Digests, EveryDigest, testing::ValuesIn(AllAlgorithms()), NameOf);

// A temporary file that is removed with the object.
class CTemporaryFile {
public:
    explicit CTemporaryFile(const Octets& contents)
        : m_path((std::filesystem::temp_directory_path() /
                  ("vorlan-digest-" + std::to_string(getpid()) + "-" + std::to_string(contents.size())))
                     .string()) {
        CFile file(m_path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write(contents.data(), static_cast<UINT>(contents.size()));
    }
    ~CTemporaryFile() { std::filesystem::remove(m_path); }
    const char* Path() const { return m_path.c_str(); }

private:
    std::string m_path;
};

class FileDigest : public testing::TestWithParam<Algorithm> {};

// Empty, whole chunks of 1,024 and odd lengths: the finished digest, SetUp(len >> 3, 0, 1, 0)
// first, one hint per block plus one for finishing, SetUp(1, 0, 1, 1) last.
TEST_P(FileDigest, WholeFileGivesDigestAndProgressMessages) {
    const Algorithm& algorithm = GetParam();
    for (std::size_t size : {0u, 1u, 63u, 1023u, 1024u, 1025u, 2048u, 3001u, 4159u}) {
        const Octets contents = RandomOctets(size, static_cast<unsigned>(size));
        CTemporaryFile temporary(contents);
        CFile file(temporary.Path(), CFile::modeRead);
        CRecorder recorder;
        CProgress progress(&recorder, 0);
        auto maker = algorithm.make();
        maker->UpdateFile(file, 0, &progress, 1);
        EXPECT_EQ(Hex(CurrentDigest(*maker, algorithm)), Hex(OpenSslDigest(algorithm.openssl(), contents))) << size;

        std::vector<Message> expected = SetUpMessages(static_cast<int>(size >> 3), 0, 1, 0);
        const std::size_t hints = size / static_cast<std::size_t>(algorithm.blockSize) + 1;
        expected.insert(expected.end(), hints, Message{PBM_DELTAPOS, 1, 0});
        const auto last = SetUpMessages(1, 0, 1, 1);
        expected.insert(expected.end(), last.begin(), last.end());
        EXPECT_EQ(recorder.messages, expected) << size;
    }
}

TEST_P(FileDigest, LengthCountsFromTheCurrentPositionAndFinishCanComeLater) {
    const Algorithm& algorithm = GetParam();
    const Octets contents = RandomOctets(5000, 5);
    CTemporaryFile temporary(contents);
    CFile file(temporary.Path(), CFile::modeRead);
    file.Seek(100, CFile::begin);
    auto maker = algorithm.make();
    maker->UpdateFile(file, 2100, nullptr, 0);
    maker->UpdateFile(file, 0, nullptr, 0);  // the rest, up to the end
    Octets digest = Finish(*maker, algorithm);
    EXPECT_EQ(digest, OpenSslDigest(algorithm.openssl(), Octets(contents.begin() + 100, contents.end())));
}

TEST_P(FileDigest, LengthPastTheEndOfTheFileThrowsFileException) {
    const Algorithm& algorithm = GetParam();
    CTemporaryFile temporary(RandomOctets(1500, 6));
    CFile file(temporary.Path(), CFile::modeRead);
    auto maker = algorithm.make();
    try {
        maker->UpdateFile(file, 2000, nullptr, 1);
        FAIL() << "no exception";
    } catch (CFileException* e) {
        EXPECT_EQ(e->m_cause, CFileException::endOfFile);
        e->Delete();
    }
}

INSTANTIATE_TEST_SUITE_P(Digests, FileDigest, testing::ValuesIn(OpenSslAlgorithms()), NameOf);

// OpenSSL's compression function applied to whole blocks from the initial state, as the
// state words in the digest's byte order: the oracle for the behaviour around a finish.
struct ChainingOracle {
    std::function<Octets(const Octets& blocks)> chainingState;
    bool bigEndian;
};

Octets Words(std::initializer_list<std::uint32_t> words, bool bigEndian) {
    Octets out;
    for (auto w : words)
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(w >> (bigEndian ? 24 - 8 * i : 8 * i)));
    return out;
}

const ChainingOracle md5Oracle = {[](const Octets& blocks) {
                                      MD5_CTX ctx;
                                      MD5_Init(&ctx);
                                      for (std::size_t i = 0; i < blocks.size(); i += 64)
                                          MD5_Transform(&ctx, &blocks[i]);
                                      return Words({ctx.A, ctx.B, ctx.C, ctx.D}, false);
                                  },
                                  false};

const ChainingOracle sha1Oracle = {[](const Octets& blocks) {
                                       SHA_CTX ctx;
                                       SHA1_Init(&ctx);
                                       for (std::size_t i = 0; i < blocks.size(); i += 64)
                                           SHA1_Transform(&ctx, &blocks[i]);
                                       return Words({ctx.h0, ctx.h1, ctx.h2, ctx.h3, ctx.h4}, true);
                                   },
                                   true};

// Appends 0x80, zeros up to 8 short of a block end, and the 64-bit bit count.
void AppendPadding(Octets& data, std::uint64_t lengthBits, bool bigEndian) {
    data.push_back(0x80);
    while (data.size() % 64 != 56) data.push_back(0);
    for (int i = 0; i < 8; ++i)
        data.push_back(static_cast<unsigned char>(lengthBits >> (bigEndian ? 56 - 8 * i : 8 * i)));
}

class AroundFinish : public testing::TestWithParam<std::pair<Algorithm, ChainingOracle>> {};

TEST_P(AroundFinish, CurrentDigestBeforeFinishingIsTheChainingState) {
    const auto& [algorithm, oracle] = GetParam();
    for (std::size_t size : {0u, 64u, 100u, 128u, 640u}) {
        const Octets data = RandomOctets(size, 8);
        auto maker = algorithm.make();
        maker->UpdateBlock(data.data(), static_cast<int>(size), nullptr, 0, 1);
        EXPECT_EQ(CurrentDigest(*maker, algorithm),
                  oracle.chainingState(Octets(data.begin(), data.begin() + size / 64 * 64)))
            << size;
    }
}

// Finishing does not reset: the next message continues from the finished state, and its
// length field counts the octets of both messages but not the first one's padding.
TEST_P(AroundFinish, ContinuingAfterFinishKeepsStateAndRunningLength) {
    const auto& [algorithm, oracle] = GetParam();
    for (std::size_t first : {0u, 3u, 55u, 56u, 64u, 119u}) {
        for (std::size_t second : {0u, 1u, 60u, 200u}) {
            const Octets m = RandomOctets(first, 9), n = RandomOctets(second, 10);
            auto maker = algorithm.make();
            maker->UpdateBlock(m.data(), static_cast<int>(first), nullptr, 1, 1);
            maker->UpdateBlock(n.data(), static_cast<int>(second), nullptr, 1, 1);

            Octets fed = m;
            AppendPadding(fed, 8 * first, oracle.bigEndian);
            fed.insert(fed.end(), n.begin(), n.end());
            AppendPadding(fed, 8 * (first + second), oracle.bigEndian);
            EXPECT_EQ(CurrentDigest(*maker, algorithm), oracle.chainingState(fed)) << first << "+" << second;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Digests, AroundFinish,
                         testing::Values(std::pair{OpenSslAlgorithms()[0], md5Oracle},
                                         std::pair{OpenSslAlgorithms()[1], sha1Oracle}),
                         [](const auto& info) { return info.param.first.name; });

TEST(Md5Helpers, MakeMD5DigestOnDataMatchesOpenSsl) {
    for (std::size_t size : {0u, 1u, 64u, 1000u}) {
        Octets data = RandomOctets(size, 11);
        Octets out(16);
        AfxMakeMD5DigestOnData(data.data(), static_cast<int>(size), out.data());
        EXPECT_EQ(out, OpenSslDigest(EVP_md5(), data)) << size;
    }
}

// Upper-case hexadecimal of the first `count` octets; counts outside 0..16 are clamped
// rather than reading past the digest.
TEST(Md5Helpers, Name2UniqueIDGivesLeadingDigestOctetsInUpperCaseHex) {
    struct Row {
        const char* name;
        int count;
        const char* expected;
    };
    const Row rows[] = {
        {"", 16, "D41D8CD98F00B204E9800998ECF8427E"},
        {nullptr, 16, "D41D8CD98F00B204E9800998ECF8427E"},
        {"abc", 4, "90015098"},
        {"abc", 0, ""},
        {"abc", -3, ""},
        {"abc", 40, "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", 16, "F96B697D7CB7938D525A2F31AAF161D0"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(std::string(Name2UniqueID(row.name, row.count)), row.expected)
            << (row.name ? row.name : "(null)") << " " << row.count;
}

}  // namespace
}  // namespace digesttest
