// CCryptoFile: the stored format against `openssl enc`, opening checks, chains, closing and
// the forwarded members, random operation sequences against a plain file, underlying files
// failing at every octet, and writers killed at random moments.
#include "vorlan/store/cryptofile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <array>
#include <random>

#include "tests/cipher/cipher_test_util.h"
#include "tests/common/exceptions.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/idea.h"
#include "vorlan/cipher/rc2.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/cipher/tripledes.h"
#include "vorlan/framework/memfile.h"

using namespace cipher_test;

namespace {

using Processor = std::unique_ptr<CCryptoProcessor>;

const Bytes kIv = FromHex("0102030405060708"), kKey = Pattern(24, 3);

Processor TripleDes() { return std::make_unique<CCBC<CTripleDESAlgorithm>>(MakeKey<CTripleDESkey>(kKey), kIv.data()); }

int FileCause(const std::function<void()>& action) { return CauseOf<CFileException>(action); }

Bytes Contents(const CMemFile& file) { return Bytes(file.GetBuffer(), file.GetBuffer() + file.GetLength()); }

// The stored octets of `plain` written through a new stream.
Bytes StoredOf(const Bytes& plain, CCryptoProcessor& proc, unsigned long recordSize) {
    CMemFile file;
    CCryptoFile(&file, proc, recordSize, FALSE).Write(plain.data(), static_cast<UINT>(plain.size()));
    return Contents(file);
}

// The plaintext of `stored`, read whole through a new stream.
Bytes ReadAll(const Bytes& stored, CCryptoProcessor& proc, unsigned long recordSize) {
    CMemFile file;
    file.Write(stored.data(), static_cast<UINT>(stored.size()));
    CCryptoFile stream(&file, proc, recordSize, FALSE);
    Bytes out(stream.GetLength());
    out.resize(stream.Read(out.data(), static_cast<UINT>(out.size())));
    return out;
}

// What `openssl enc` makes of each record on its own: CBC from the vector, the last record
// padded, an extra padding record when the length ends a record.
Bytes OpenSSLStored(const Bytes& plain, unsigned long recordSize) {
    Bytes stored;
    for (std::size_t start = 0;; start += recordSize) {
        const std::size_t n = std::min<std::size_t>(recordSize, plain.size() - start);
        const auto from = plain.begin() + static_cast<std::ptrdiff_t>(start);
        Bytes record = OpenSSLEnc("des-ede3-cbc", kKey, kIv, Bytes(from, from + static_cast<std::ptrdiff_t>(n)));
        if (n == recordSize) record.resize(n);
        stored.insert(stored.end(), record.begin(), record.end());
        if (n < recordSize) return stored;
    }
}

// Written in pieces by a processor the caller has used (its chains mid-message), then shortened
// (the record of the new end re-padded, the file cut); the chains are left reset.
TEST(CryptoFile, StoredFormatIsOpenSSLCbcPerRecordAlsoAfterShortening) {
    // plaintext size, record size, piece written at a time, length after SetLength
    const std::tuple<std::size_t, unsigned long, UINT, DWORD> rows[] = {
        {20, 1024, 20, 20}, {1024, 1024, 1024, 1024}, {1, 64, 1, 1},     {64, 64, 7, 64},    {56, 64, 56, 56},
        {61, 64, 13, 61},   {200, 64, 64, 200},       {9, 8, 3, 9},      {130, 24, 50, 130}, {100, 1024, 100, 8},
        {100, 32, 100, 64}, {100, 16, 100, 0},        {100, 32, 100, 96}};
    auto proc = TripleDes();
    for (const auto& [size, recordSize, piece, length] : rows) {
        const Bytes plain = Pattern(size, static_cast<unsigned>(size));
        Bytes scratch = Pattern(16);
        proc->EncryptBlock(scratch.data(), 16, scratch.data(), nullptr);
        proc->DecryptBlock(scratch.data(), 16, scratch.data(), nullptr);
        CMemFile file;
        {
            CCryptoFile stream(&file, *proc, recordSize, FALSE);
            for (std::size_t done = 0; done < size; done += piece)
                stream.Write(plain.data() + done, static_cast<UINT>(std::min<std::size_t>(piece, size - done)));
            if (length < size) stream.SetLength(length);
        }
        EXPECT_EQ(EncryptAll(*proc, kIv), EncryptAll(*TripleDes(), kIv));
        const Bytes kept(plain.begin(), plain.begin() + length);
        EXPECT_EQ(ToHex(Contents(file)), ToHex(OpenSSLStored(kept, recordSize))) << size << " " << recordSize;
        EXPECT_EQ(ToHex(ReadAll(Contents(file), *proc, recordSize)), ToHex(kept));
    }
}

// Lengths that are no multiple of 8 and last records without valid padding are refused,
// as are record sizes the stream cannot lay out and ciphers whose blocks exceed 8 octets.
TEST(CryptoFile, OpeningRefusesFilesAndArgumentsOutsideTheFormat) {
    auto proc = TripleDes();
    const Bytes good = StoredOf(Pattern(100), *proc, 64);
    const auto lastOctet = [&](unsigned char value) {
        Bytes plain = Pattern(16);
        plain[15] = value;
        return Ecb<CTripleDESAlgorithm>(MakeKey<CTripleDESkey>(kKey), plain, true);
    };
    CTripleDESAlgorithm ecb(MakeKey<CTripleDESkey>(kKey), 1, nullptr);  // each block by itself
    CCBC<CRC5PadAlgorithm> wide(MakeKey<CRC5key>(Pattern(16)), 12, 16, nullptr);
    const std::tuple<Bytes, unsigned long, CCryptoProcessor*> rows[] = {
        {Pattern(30), 64, proc.get()}, {lastOctet(0), 64, &ecb}, {lastOctet(9), 64, &ecb}, {lastOctet(8), 64, &ecb},
        {good, 32, proc.get()},        {good, 0, proc.get()},    {good, 12, proc.get()},   {{}, 64, &wide}};
    for (const auto& [stored, recordSize, with] : rows)
        EXPECT_EQ(FileCause([&, &stored = stored, size = recordSize, with = with] { ReadAll(stored, *with, size); }),
                  CFileException::generic)
            << recordSize;
    // An owned file is deleted when construction fails (the leak checker watches).
    EXPECT_EQ(FileCause([&] { CCryptoFile(new CMemFile, *proc, 0, TRUE); }), CFileException::generic);
}

// A memory file that counts Close and Abort calls and can fail its Close.
struct CountingFile : CMemFile {
    CountingFile(int* calls, bool failClose) : calls(calls), failClose(failClose) {}
    void Close() override {
        ++calls[0];
        CMemFile::Close();
        if (failClose) AfxThrowFileException(CFileException::diskFull, -1);
    }
    void Abort() override { ++calls[1]; }
    int* calls;
    bool failClose;
};

// Close closes an owned file once, however often it is called; Abort discards without
// closing twice, and reaches a file the stream does not own too; a failing Close reaches an
// explicit caller and never leaves the destructor.
TEST(CryptoFile, ClosingIsIdempotentAndTheDestructorNeverThrows) {
    auto proc = TripleDes();
    for (const std::string how :
         {"destructor", "close twice", "abort", "failing close", "failing destructor", "abort unowned"}) {
        const int cause = how == "failing close" ? CFileException::diskFull : kNothingThrown;
        const bool owned = how != "abort unowned", aborted = how.rfind("abort", 0) == 0;
        int calls[2] = {0, 0};  // Close, Abort
        auto file = std::make_unique<CountingFile>(calls, how.rfind("failing", 0) == 0);
        {
            CCryptoFile stream(owned ? file.release() : file.get(), *proc, 16, owned);
            stream.Write("data", 4);
            if (how == "close twice") stream.Close();
            if (how.find("destructor") == std::string::npos) {
                EXPECT_EQ(FileCause([&] { aborted ? stream.Abort() : stream.Close(); }), cause);
                stream.Close();
                EXPECT_EQ(FileCause([&] { stream.Write("x", 1); }), CFileException::invalidFile);
            }
        }
        EXPECT_TRUE(calls[0] == !aborted && calls[1] == aborted) << how;
    }
    CMemFile mine;  // not owned: the caller's file stays open
    CCryptoFile(&mine, *proc, 16, FALSE).Write("abc", 3);
    EXPECT_EQ(mine.GetLength(), 8u);
}

// Names, status, handle and range locks come from the underlying file; a stream cannot be
// reopened, duplicated or reached through a buffer.
TEST(CryptoFile, ForwardedMembersReachTheUnderlyingFile) {
    const TempFile temp;
    auto proc = TripleDes();
    CCryptoFile stream(new CFile(temp.Path(), CFile::modeReadWrite), *proc, 16, TRUE);
    const std::string path = temp.Path(), name = path.substr(path.rfind('/') + 1);
    EXPECT_EQ(std::string(stream.GetFilePath() + stream.GetFileName() + stream.GetFileTitle()), path + name + name);
    stream.Write(Pattern(20).data(), 20);
    CFileStatus status;
    EXPECT_TRUE(stream.GetStatus(status) && status.m_size == 24);
    // A lock of this process conflicts with one asked through another open file description.
    const int other = ::open(temp.Path(), O_RDWR);
    for (const short expected : {F_WRLCK, F_UNLCK}) {
        expected == F_WRLCK ? stream.LockRange(0, 8) : stream.UnlockRange(0, 8);
        struct flock probe = {F_WRLCK, SEEK_SET, 0, 8, 0};
        EXPECT_TRUE(::fcntl(other, F_OFD_GETLK, &probe) == 0 && probe.l_type == expected);
    }
    ::close(other);
    EXPECT_TRUE(static_cast<int>(stream) >= 0 && !stream.Open(temp.Path(), CFile::modeRead) && !stream.Duplicate() &&
                !stream.GetBufferPtr(CFile::bufferCheck));
    stream.Close();
    EXPECT_FALSE(stream.GetStatus(status));
}

// Every cipher chained, triple DES also unchained, RC5 without a padding of its own.
const std::vector<std::pair<std::string, std::function<Processor()>>> kCiphers = {
    {"des", [] { return std::make_unique<CCBC<CDESAlgorithm>>(ExampleDesKey(), kIv.data()); }},
    {"3des", TripleDes},
    {"3des-ecb", [] { return std::make_unique<CTripleDESAlgorithm>(MakeKey<CTripleDESkey>(kKey), 1, nullptr); }},
    {"idea", [] { return std::make_unique<CCBC<CIDEAAlgorithm>>(MakeKey<CIDEAkey>(Pattern(16, 4)), kIv.data()); }},
    {"rc2", [] { return std::make_unique<CCBC<CRC2Algorithm>>(MakeKey<CRC2key>(Pattern(16, 5), 128), kIv.data()); }},
    {"rc5", [] { return std::make_unique<CCBC<CRC5Algorithm>>(MakeKey<CRC5key>(Pattern(16, 6)), 12, 8, kIv.data()); }},
};

// Random sequences of writes, reads, seeks, length changes, flushes, reopenings and foreign
// uses of the processor, checked step by step against a plain file; after every change the
// stored octets open as a new stream holding the plain file's octets.
TEST(CryptoFile, RandomSequencesMatchAPlainFile) {
    for (const auto& [name, make] : kCiphers) {
        auto proc = make();
        for (unsigned run = 0; run < 240 && !HasFailure(); ++run) {
            const unsigned long recordSize = std::array{8ul, 24ul, 64ul, 256ul}[run % 4];
            std::mt19937 random(run);
            const auto uniform = [&](long high) { return std::uniform_int_distribution<long>(0, high)(random); };
            CMemFile file;
            auto stream = std::make_unique<CCryptoFile>(&file, *proc, recordSize, FALSE);
            Bytes model;
            long position = 0;
            std::string trace = name + " record " + std::to_string(recordSize) + ":";
            const auto refusedUnless = [&](bool valid, const std::function<void()>& action) {
                EXPECT_EQ(FileCause(action), valid ? kNothingThrown : CFileException::badSeek) << trace;
                return valid;
            };
            for (int step = 0; step < 40 && !HasFailure(); ++step) {
                const long size = static_cast<long>(model.size()), action = uniform(9),
                           n = uniform(static_cast<long>(5 * recordSize / 2 + 3)), from = uniform(3),
                           shift = uniform(2 * size + 8) - size - 4;
                for (const long value : {action, n, from, shift}) (trace += ' ') += std::to_string(value);
                if (action < 3) {  // write
                    const Bytes octets = Pattern(static_cast<std::size_t>(n), static_cast<unsigned>(step));
                    stream->Write(octets.data(), static_cast<UINT>(n));
                    model.resize(static_cast<std::size_t>(std::max(size, position + n)));
                    std::copy(octets.begin(), octets.end(), model.begin() + position);
                    position += n;
                } else if (action < 5) {  // read
                    Bytes got(static_cast<std::size_t>(n));
                    got.resize(stream->Read(got.data(), static_cast<UINT>(n)));
                    const long available = std::min(n, size - position);
                    const auto start = model.begin() + position;
                    EXPECT_EQ(ToHex(got), ToHex(Bytes(start, start + available))) << trace;
                    position += available;
                } else if (action < 7) {  // seek from every origin and from one that is none
                    const long target = std::array{0L, position, size, 0L}[from] + shift;
                    const auto seek = [&] { stream->Seek(static_cast<LONG>(shift), static_cast<UINT>(from)); };
                    if (refusedUnless(from < 3 && target >= 0 && target <= size, seek)) position = target;
                } else if (action == 7) {  // shorten, lengthen, or cut at no multiple of 8
                    const long length = ((shift + size + 4) / 2 + 4) & (from ? ~7L : ~0L);
                    const auto cut = [&] { stream->SetLength(static_cast<DWORD>(length)); };
                    if (refusedUnless(length <= size && length % 8 == 0, cut))
                        model.resize(static_cast<std::size_t>(position = length));
                } else if (action == 8) {  // reopen, flushed or not
                    if (from) stream->Flush();
                    stream->Close();
                    stream = std::make_unique<CCryptoFile>(&file, *proc, recordSize, FALSE);
                    position = 0;
                } else {  // the caller uses the processor in between
                    Bytes scratch = Pattern(16, static_cast<unsigned>(n));
                    proc->EncryptBlock(scratch.data(), 16, scratch.data(), nullptr);
                    proc->DecryptBlock(scratch.data(), 8, scratch.data(), nullptr);
                }
                ASSERT_EQ(stream->GetLength(), model.size()) << trace;
                ASSERT_EQ(stream->GetPosition(), static_cast<DWORD>(position)) << trace;
                if (action < 3 || action == 7) {
                    EXPECT_EQ(ToHex(ReadAll(Contents(file), *proc, recordSize)), ToHex(model)) << trace;
                }
            }
        }
    }
}

// A memory file over `contents` whose writing stops after `budget` octets: the write that
// reaches the budget stores its first octets and fails as on a full disk, and from then on
// the file cannot grow past the size it had at the stop (writes within it and shortening
// still work).
class FullDiskFile : public CMemFile {
public:
    FullDiskFile(const Bytes& contents, UINT budget) : m_budget(budget) {
        CMemFile::Write(contents.data(), static_cast<UINT>(contents.size()));
    }
    bool Stopped() const { return m_stopped; }

    void Write(const void* buffer, UINT count) override {
        UINT room = count;
        if (m_stopped) {
            room = m_size > GetPosition() ? std::min<UINT>(count, m_size - GetPosition()) : 0;
        } else if (count > m_budget) {
            room = m_budget;
            m_stopped = true;
            m_size = std::max(GetLength(), GetPosition() + room);
        } else {
            m_budget -= count;
        }
        CMemFile::Write(buffer, room);
        if (room < count) AfxThrowFileException(CFileException::diskFull, ENOSPC);
    }
    void SetLength(DWORD length) override {
        if (m_stopped && length > m_size) AfxThrowFileException(CFileException::diskFull, ENOSPC);
        CMemFile::SetLength(length);
    }

private:
    UINT m_budget;
    bool m_stopped = false;
    DWORD m_size = 0;
};

// Appends, overwrites and cuts of a 1,000-octet stream in records of 256: old length, octets
// written at a position, length cut to.
constexpr unsigned long kRecord = 256;
constexpr DWORD kNoCut = 0xFFFFFFFF;
const std::tuple<const char*, DWORD, DWORD, DWORD, DWORD> kChanges[] = {
    {"new stream", 0, 0, 20, kNoCut},
    {"append within the last record", 1000, 1000, 10, kNoCut},
    {"append across records", 1000, 1000, 600, kNoCut},
    {"append after a full record", 1024, 1024, 30, kNoCut},
    {"overwrite within the last record", 1000, 900, 20, kNoCut},
    {"overwrite across the end", 1000, 980, 50, kNoCut},
    {"cut on a record boundary", 1000, 0, 0, 768},
    {"cut inside a record", 1000, 0, 0, 520},
    {"cut inside the last record", 1000, 0, 0, 992},
    {"cut to nothing", 1000, 0, 0, 0},
};

// The change of a row made through a stream on `file`: the cause of its failure and the
// stream's length after it.
std::pair<int, DWORD> Change(CFile& file, CCryptoProcessor& proc, DWORD at, const Bytes& written, DWORD cut) {
    CCryptoFile stream(&file, proc, kRecord, FALSE);
    const int cause = FileCause([&] {
        stream.Seek(static_cast<LONG>(at), CFile::begin);
        cut == kNoCut ? stream.Write(written.data(), static_cast<UINT>(written.size())) : stream.SetLength(cut);
    });
    return {cause, stream.GetLength()};
}

// A memory file that, after every underlying write, counts whether its octets open as a
// stream: what a process killed between two system calls leaves behind.
class CrashPointFile : public CMemFile {
public:
    explicit CrashPointFile(const Bytes& contents) { CMemFile::Write(contents.data(), static_cast<UINT>(contents.size())); }
    void Write(const void* buffer, UINT count) override {
        CMemFile::Write(buffer, count);
        ++writes;
        unopenable += FileCause([&] { ReadAll(Contents(*this), *TripleDes(), kRecord); }) != kNothingThrown;
    }
    int writes = 0, unopenable = 0;
};

// Each underlying write of a change leaves a file that opens (overwrites reaching the old last
// block once stored that block on its own first, and a process killed right after it left a file
// of the old length whose padding was gone). Every stop of every underlying write: the failure
// reaches the caller, the stored file opens with the old content or the new, and the stream's
// length is the stored one.
TEST(CryptoFile, AWriteOrCutKilledOrStoppedAtAnyOctetLeavesTheOldContentOrTheNew) {
    auto proc = TripleDes();
    for (const auto& [name, length, at, count, cut] : kChanges) {
        const Bytes before = Pattern(length, 1), written = Pattern(count, 2), stored = StoredOf(before, *proc, kRecord);
        CrashPointFile crashing(stored);
        EXPECT_EQ(Change(crashing, *proc, at, written, cut).first, kNothingThrown) << name;
        EXPECT_EQ(crashing.unopenable, 0) << name << ", of " << crashing.writes << " writes";
        Bytes after = before;
        after.resize(std::max(length, at + count));
        std::copy(written.begin(), written.end(), after.begin() + at);
        if (cut != kNoCut) after.resize(cut);
        for (UINT budget = 0;; ++budget) {
            FullDiskFile file(stored, budget);
            const auto [cause, streamLength] = Change(file, *proc, at, written, cut);
            const std::string where = std::string(name) + ", stopped after " + std::to_string(budget);
            Bytes got;
            ASSERT_NO_THROW(got = ReadAll(Contents(file), *proc, kRecord)) << where;
            EXPECT_TRUE(got == before || got == after) << where;
            EXPECT_EQ(streamLength, got.size()) << where;
            EXPECT_EQ(cause, file.Stopped() ? CFileException::diskFull : kNothingThrown) << where;
            if (!file.Stopped() || HasFailure()) {
                EXPECT_EQ(ToHex(got), ToHex(after)) << where;
                break;
            }
        }
    }
}

// A real file under a file size limit 8 octets above its size (SIGXFSZ ignored, so write
// fails with EFBIG part-way): appending 100 octets fails and the file keeps its 10,000.
TEST(CryptoFile, AppendPastTheFileSizeLimitKeepsTheOldContent) {
    constexpr unsigned long kRecord = 4096;
    const Bytes before = Pattern(10000, 5);
    const TempFile temp(StoredOf(before, *TripleDes(), kRecord));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {10016, 10016};
        auto proc = TripleDes();
        CCryptoFile stream(new CFile(temp.Path(), CFile::modeReadWrite), *proc, kRecord, TRUE);
        stream.SeekToEnd();
        const int cause = ::setrlimit(RLIMIT_FSIZE, &limit) == 0
                              ? FileCause([&] { stream.Write(Pattern(100, 6).data(), 100); })
                              : kNothingThrown;
        ::_exit(cause == CFileException::diskFull && stream.GetLength() == 10000 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ToHex(ReadAll(temp.Read(), *TripleDes(), kRecord)), ToHex(before));
}

// A child writing through a stream is killed at random moments: the file it leaves always
// opens and holds a prefix of the data, at least as long as the child had reported written.
TEST(CryptoFile, KilledWriterLeavesAnOpenablePrefix) {
    constexpr DWORD kTotal = 1 << 20;
    // The data is a function of the offset, so rewriting a region keeps every prefix valid.
    const Bytes data = Pattern(kTotal, 77);
    std::mt19937 random(2024);
    for (unsigned run = 0; run < 25; ++run) {
        const TempFile temp;
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {  // appends, now and then rewrites or flushes, and reports the length
            auto proc = TripleDes();
            CCryptoFile stream(new CFile(temp.Path(), CFile::modeCreate | CFile::modeReadWrite), *proc, 256, TRUE);
            std::mt19937 mine(run);
            for (DWORD length = 0; length < kTotal; length = stream.GetLength()) {
                const DWORD n = std::min<DWORD>(1 + mine() % 700, kTotal - length), kind = mine() % 8;
                const DWORD at = kind == 0 && length > 0 ? mine() % length : length;
                if (kind == 1) stream.Flush();
                stream.Seek(static_cast<LONG>(at), CFile::begin);
                stream.Write(data.data() + at, std::min<DWORD>(n, kTotal - at));
                const DWORD reported = stream.GetLength();
                if (::write(pipeEnds[1], &reported, sizeof reported) != sizeof reported) ::_exit(2);
            }
            ::_exit(0);
        }
        ::close(pipeEnds[1]);
        ::usleep(200 + random() % 20000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        DWORD reported = 0, value = 0;
        while (::read(pipeEnds[0], &value, sizeof value) == sizeof value) reported = value;
        ::close(pipeEnds[0]);
        Bytes plain;
        ASSERT_NO_THROW(plain = ReadAll(temp.Read(), *TripleDes(), 256)) << "run " << run;
        EXPECT_GE(plain.size(), reported) << "run " << run;
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), data.begin())) << "run " << run;
    }
}

}  // namespace
