// CCryptoFile: the stored format against `openssl enc`, opening checks, plaintext seeks,
// stored shortening, chains reset before each record, closing and the forwarded members.
#include <fcntl.h>

#include "tests/common/exceptions.h"
#include "tests/store/store_test_util.h"

using namespace store_test;

namespace {

int FileCause(const std::function<void()>& action) { return CauseOf<CFileException>(action); }

// Writes `plain` through a new stream over a memory file and returns the stored octets.
Bytes Store(const Bytes& plain, unsigned long recordSize, UINT piece) {
    auto proc = TripleDes();
    CMemFile file;
    CCryptoFile stream(&file, *proc, recordSize, FALSE);
    for (std::size_t done = 0; done < plain.size(); done += piece)
        stream.Write(plain.data() + done, static_cast<UINT>(std::min<std::size_t>(piece, plain.size() - done)));
    return Contents(file);
}

// The stored form of `plain` made by `openssl enc`: every record is CBC from the vector on
// its own, the last padded, an extra 8-octet record when the length ends a record. A whole
// record is openssl's output without the padding block that openssl adds after it.
Bytes OpenSSLStored(const Bytes& plain, unsigned long recordSize) {
    Bytes stored;
    for (std::size_t start = 0;; start += recordSize) {
        const std::size_t n = std::min<std::size_t>(recordSize, plain.size() - start);
        const auto from = plain.begin() + static_cast<std::ptrdiff_t>(start);
        Bytes record = OpenSSLEnc("des-ede3-cbc", kTripleDesKey, kIv, Bytes(from, from + static_cast<std::ptrdiff_t>(n)));
        if (n == recordSize) record.resize(n);
        stored.insert(stored.end(), record.begin(), record.end());
        if (n < recordSize) return stored;
    }
}

TEST(CryptoFileTest, StoredFormatIsOpenSSLCbcPerRecordWithThePaddedLastRecord) {
    const std::tuple<std::size_t, unsigned long, UINT> rows[] = {
        {20, 1024, 20}, {1024, 1024, 1024}, {1, 64, 1}, {64, 64, 7},  {56, 64, 56},
        {61, 64, 13},   {200, 64, 64},      {9, 8, 3},  {130, 24, 50}};
    for (const auto& [size, recordSize, piece] : rows) {
        const Bytes plain = Pattern(size, static_cast<unsigned>(size));
        const Bytes stored = Store(plain, recordSize, piece);
        EXPECT_EQ(ToHex(stored), ToHex(OpenSSLStored(plain, recordSize))) << size << " " << recordSize;
        EXPECT_EQ(stored.size(), size - size % 8 + 8);
        auto proc = TripleDes();
        EXPECT_EQ(ToHex(OpenAndReadAll(stored, *proc, recordSize)), ToHex(plain));
    }
}

// Lengths that are no multiple of 8 and last records without valid padding are refused,
// as are record sizes the stream cannot lay out and ciphers whose blocks exceed 8 octets.
TEST(CryptoFileTest, OpeningRefusesFilesAndArgumentsOutsideTheFormat) {
    auto proc = TripleDes();
    const auto cause = [&](const Bytes& stored, unsigned long recordSize, CCryptoProcessor& with) {
        return FileCause([&] {
            CMemFile file;
            file.Write(stored.data(), static_cast<UINT>(stored.size()));
            CCryptoFile stream(&file, with, recordSize, FALSE);
        });
    };
    const Bytes good = Store(Pattern(100), 64, 100);
    const auto lastOctet = [&](unsigned char value) {
        Bytes plain = Pattern(16);
        plain[15] = value;
        return Ecb<CTripleDESAlgorithm>(MakeKey<CTripleDESkey>(kTripleDesKey), plain, true);
    };
    // An unchained processor: each 8-octet block is enciphered by itself.
    CTripleDESAlgorithm ecb(MakeKey<CTripleDESkey>(kTripleDesKey), 1, nullptr);
    CCBC<CRC5PadAlgorithm> wide(MakeKey<CRC5key>(Pattern(16)), 12, 16, nullptr);
    EXPECT_EQ(cause(Pattern(30), 64, *proc), CFileException::generic);
    EXPECT_EQ(cause(lastOctet(0), 64, ecb), CFileException::generic);
    EXPECT_EQ(cause(lastOctet(9), 64, ecb), CFileException::generic);
    EXPECT_EQ(cause(lastOctet(8), 64, ecb), CFileException::generic);  // 8 octets of 8 needed
    EXPECT_EQ(cause(good, 32, *proc), CFileException::generic);        // wrong record size
    EXPECT_EQ(cause(good, 0, *proc), CFileException::generic);
    EXPECT_EQ(cause(good, 12, *proc), CFileException::generic);
    EXPECT_EQ(cause({}, 64, wide), CFileException::generic);
    EXPECT_EQ(cause(good, 64, *proc), kNothingThrown);
    // An owned file is deleted when construction fails (the leak checker watches).
    EXPECT_EQ(FileCause([&] { CCryptoFile(new CMemFile, *proc, 0, TRUE); }), CFileException::generic);
}

// Seeks work on plaintext positions and a refused seek leaves the position alone.
TEST(CryptoFileTest, SeeksArePlaintextPositionsCheckedBeforeMoving) {
    auto proc = TripleDes();
    CMemFile file;
    CCryptoFile stream(&file, *proc, 16, FALSE);
    stream.Write(Pattern(20).data(), 20);
    const std::tuple<LONG, UINT, LONG> rows[] = {
        {-4, CFile::end, 16}, {0, CFile::end, 20}, {3, CFile::begin, 3}, {5, CFile::current, 8},
        {-8, CFile::current, 0}, {21, CFile::begin, -1}, {1, CFile::end, -1}, {-1, CFile::begin, -1},
        {-21, CFile::end, -1}, {0, 3, -1}};
    for (const auto& [offset, from, expected] : rows) {
        const DWORD before = stream.GetPosition();
        if (expected < 0) {
            EXPECT_EQ(FileCause([&, offset = offset, from = from] { stream.Seek(offset, from); }), CFileException::badSeek) << offset;
            EXPECT_EQ(stream.GetPosition(), before);
        } else {
            EXPECT_EQ(stream.Seek(offset, from), expected) << offset << " " << from;
        }
    }
    stream.SeekToBegin();
    Bytes part(10);
    stream.Read(part.data(), 10);
    EXPECT_EQ(stream.Seek(0, CFile::current), 10);
    EXPECT_EQ(stream.SeekToEnd(), 20u);
}

// Shortening is stored at once (the record holding the new end re-padded, the file cut);
// later writes and reopening see exactly the shortened data.
TEST(CryptoFileTest, SetLengthIsStoredAndRefusesLengtheningAndOddLengths) {
    auto proc = TripleDes();
    const Bytes plain = Pattern(100);
    const std::tuple<DWORD, unsigned long, int> rows[] = {
        {8, 1024, kNothingThrown}, {64, 32, kNothingThrown}, {0, 16, kNothingThrown}, {96, 32, kNothingThrown},
        {12, 1024, CFileException::badSeek}, {104, 32, CFileException::badSeek}};
    for (const auto& [length, recordSize, expected] : rows) {
        CMemFile file;
        {
            CCryptoFile stream(&file, *proc, recordSize, FALSE);
            stream.Write(plain.data(), 100);
            EXPECT_EQ(FileCause([&, length = length] { stream.SetLength(length); }), expected) << length;
        }
        const DWORD kept = expected == kNothingThrown ? length : 100;
        EXPECT_EQ(ToHex(OpenAndReadAll(Contents(file), *proc, recordSize)), ToHex(Bytes(plain.begin(), plain.begin() + kept)));
        EXPECT_EQ(ToHex(Contents(file)), ToHex(OpenSSLStored(Bytes(plain.begin(), plain.begin() + kept), recordSize)));
    }
    // Cut, then written past the cut without closing: the stored file holds the new octets.
    CMemFile file;
    CCryptoFile stream(&file, *proc, 32, FALSE);
    stream.Write(plain.data(), 100);
    stream.SetLength(40);
    stream.Write(Pattern(30, 9).data(), 30);
    Bytes expected(plain.begin(), plain.begin() + 40);
    const Bytes tail = Pattern(30, 9);
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(ToHex(OpenAndReadAll(Contents(file), *proc, 32)), ToHex(expected));
}

// A processor whose chains a caller moved on still reads and writes every record from the
// vector; the caller finds its chains reset afterwards.
TEST(CryptoFileTest, ChainsAreResetBeforeEachRecord) {
    const Bytes stored = Store(Pattern(100), 32, 100);
    auto proc = TripleDes();
    Bytes scratch = Pattern(16, 7);
    proc->EncryptBlock(scratch.data(), 16, scratch.data(), nullptr);
    proc->DecryptBlock(scratch.data(), 16, scratch.data(), nullptr);
    CMemFile file;
    file.Write(stored.data(), static_cast<UINT>(stored.size()));
    CCryptoFile stream(&file, *proc, 32, FALSE);
    Bytes out(100);
    proc->DecryptBlock(scratch.data(), 16, scratch.data(), nullptr);
    EXPECT_EQ(stream.Read(out.data(), 100), 100u);
    EXPECT_EQ(out, Pattern(100));
    proc->EncryptBlock(scratch.data(), 16, scratch.data(), nullptr);
    stream.Seek(0, CFile::begin);
    stream.Write(out.data(), 100);
    EXPECT_EQ(Contents(file), stored);
    auto fresh = TripleDes();
    EXPECT_EQ(EncryptAll(*proc, Pattern(8)), EncryptAll(*fresh, Pattern(8)));
}

// A memory file that counts Close and Abort calls and can fail its Close.
struct CountingFile : CMemFile {
    CountingFile(int* closes, int* aborts, bool failClose) : closes(closes), aborts(aborts), failClose(failClose) {}
    void Close() override {
        ++*closes;
        CMemFile::Close();
        if (failClose) AfxThrowFileException(CFileException::diskFull, -1);
    }
    void Abort() override { ++*aborts; }
    int* closes;
    int* aborts;
    bool failClose;
};

// Close closes an owned file once, however often it is called; Abort discards without
// closing twice; a failing Close reaches an explicit caller and never leaves the destructor.
TEST(CryptoFileTest, ClosingIsIdempotentAndTheDestructorNeverThrows) {
    auto proc = TripleDes();
    const std::tuple<const char*, int, int, int> rows[] = {
        {"destructor", 1, 0, kNothingThrown}, {"close twice", 1, 0, kNothingThrown},
        {"abort", 0, 1, kNothingThrown},      {"failing close", 1, 0, CFileException::diskFull}};
    for (const auto& [name, closes, aborts, cause] : rows) {
        int closed = 0, aborted = 0;
        const std::string how = name;
        {
            CCryptoFile stream(new CountingFile(&closed, &aborted, how == "failing close"), *proc, 16, TRUE);
            stream.Write("data", 4);
            if (how == "close twice") stream.Close();
            if (how != "destructor") {
                EXPECT_EQ(FileCause([&] { how == "abort" ? stream.Abort() : stream.Close(); }), cause) << name;
                stream.Close();
                EXPECT_EQ(FileCause([&] { stream.Write("x", 1); }), CFileException::invalidFile);
            }
        }
        EXPECT_EQ(closed, closes) << name;
        EXPECT_EQ(aborted, aborts) << name;
    }
    int closed = 0, aborted = 0;
    EXPECT_NO_THROW(CCryptoFile(new CountingFile(&closed, &aborted, true), *proc, 16, TRUE));
    // Not owned: the caller's file stays open.
    CMemFile mine;
    CCryptoFile(&mine, *proc, 16, FALSE).Write("abc", 3);
    EXPECT_EQ(mine.GetLength(), 8u);
}

// Names, status, handle and range locks come from the underlying file; a stream cannot be
// reopened or duplicated.
TEST(CryptoFileTest, ForwardedMembersReachTheUnderlyingFile) {
    const TempFile temp;
    auto proc = TripleDes();
    CCryptoFile stream(new CFile(temp.Path(), CFile::modeReadWrite), *proc, 16, TRUE);
    const std::string path = temp.Path();
    EXPECT_EQ(std::string(stream.GetFilePath()), path);
    EXPECT_EQ(std::string(stream.GetFileName()), path.substr(path.rfind('/') + 1));
    EXPECT_EQ(std::string(stream.GetFileTitle()), path.substr(path.rfind('/') + 1));
    stream.Write(Pattern(20).data(), 20);
    CFileStatus status;
    ASSERT_TRUE(stream.GetStatus(status));
    EXPECT_EQ(status.m_size, 24);
    stream.LockRange(0, 8);
    // A lock of this process conflicts with one asked through another open file description.
    const int other = ::open(temp.Path(), O_RDWR);
    const auto heldType = [&] {
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_len = 8;
        return ::fcntl(other, F_OFD_GETLK, &probe) == 0 ? probe.l_type : -1;
    };
    EXPECT_EQ(heldType(), F_WRLCK);
    stream.UnlockRange(0, 8);
    EXPECT_EQ(heldType(), F_UNLCK);
    ::close(other);
    EXPECT_GE(static_cast<int>(stream), 0);
    EXPECT_FALSE(stream.Open(temp.Path(), CFile::modeRead));
    EXPECT_EQ(stream.Duplicate(), nullptr);
    stream.Close();
    EXPECT_FALSE(stream.GetStatus(status));
}

}  // namespace
