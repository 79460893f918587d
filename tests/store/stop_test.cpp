// A child process writing through a stream is killed at random moments: the file it
// leaves always opens and holds a prefix of the data, at least as long as the child had
// reported written.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "tests/store/store_test_util.h"

using namespace store_test;

namespace {

constexpr unsigned long kRecordSize = 256;
constexpr std::size_t kTotal = 1 << 20;

// The data is a function of the offset, so rewriting a region with the same octets
// keeps every prefix valid.
const Bytes& Data() {
    static const Bytes data = Pattern(kTotal, 77);
    return data;
}

// Appends pieces, now and then rewrites an earlier region or flushes, and reports the
// length after each call on the pipe.
[[noreturn]] void Writer(const char* path, int report, unsigned seed) {
    auto proc = TripleDes();
    CCryptoFile stream(new CFile(path, CFile::modeCreate | CFile::modeReadWrite), *proc, kRecordSize, TRUE);
    std::mt19937 random(seed);
    while (stream.GetLength() < kTotal) {
        const DWORD length = stream.GetLength();
        const DWORD n = std::min<DWORD>(1 + random() % 700, kTotal - length);
        switch (random() % 8) {
            case 0: {
                const DWORD at = length == 0 ? 0 : random() % length;
                stream.Seek(static_cast<LONG>(at), CFile::begin);
                stream.Write(Data().data() + at, std::min<DWORD>(n, kTotal - at));
                break;
            }
            case 1: stream.Flush(); break;
            default:
                stream.SeekToEnd();
                stream.Write(Data().data() + length, n);
        }
        const DWORD reported = stream.GetLength();
        if (::write(report, &reported, sizeof reported) != sizeof reported) ::_exit(2);
    }
    ::_exit(0);
}

TEST(CryptoFileStopTest, KilledWriterLeavesAnOpenablePrefix) {
    std::mt19937 random(2024);
    for (int run = 0; run < 25; ++run) {
        const TempFile temp;
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeEnds[0]);
            Writer(temp.Path(), pipeEnds[1], static_cast<unsigned>(run));
        }
        ::close(pipeEnds[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(200 + random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        DWORD reported = 0, value = 0;
        while (::read(pipeEnds[0], &value, sizeof value) == sizeof value) reported = value;
        ::close(pipeEnds[0]);

        const Bytes stored = temp.Read();
        auto proc = TripleDes();
        Bytes plain;
        ASSERT_NO_THROW(plain = OpenAndReadAll(stored, *proc, kRecordSize)) << "run " << run;
        EXPECT_GE(plain.size(), reported) << "run " << run;
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), Data().begin())) << "run " << run;
    }
}

}  // namespace
