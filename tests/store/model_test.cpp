// Random sequences of writes, reads, seeks, length changes, flushes, reopenings and
// foreign uses of the processor, checked step by step against a plain in-memory file,
// for every cipher and several record sizes. After every change the stored octets open
// as a new stream holding the model's contents.
#include <random>

#include "tests/common/exceptions.h"
#include "tests/store/store_test_util.h"

using namespace store_test;

namespace {

// The plain file: octets and a position.
struct Model {
    Bytes data;
    std::size_t position = 0;
};

class ModelRun {
public:
    ModelRun(CCryptoProcessor& proc, unsigned long recordSize, unsigned seed)
        : m_proc(proc), m_recordSize(recordSize), m_random(seed) {
        m_stream = std::make_unique<CCryptoFile>(&m_file, proc, recordSize, FALSE);
    }

    void Step() {
        const std::size_t limit = 5 * m_recordSize / 2 + 3;
        switch (Uniform(0, 9)) {
            case 0: case 1: case 2: Write(Uniform(0, limit)); break;
            case 3: case 4: Read(Uniform(0, limit)); break;
            case 5: case 6: Seek(); break;
            case 7: SetLength(); break;
            case 8: Reopen(); break;
            default: Disturb(); break;
        }
        ASSERT_EQ(m_stream->GetLength(), m_model.data.size()) << m_trace;
        ASSERT_EQ(m_stream->GetPosition(), m_model.position) << m_trace;
    }

    const std::string& Trace() const { return m_trace; }

private:
    std::size_t Uniform(std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(m_random);
    }

    void Write(std::size_t n) {
        const Bytes octets = Pattern(n, static_cast<unsigned>(m_random()));
        m_trace += " W" + std::to_string(n);
        m_stream->Write(octets.data(), static_cast<UINT>(n));
        auto& data = m_model.data;
        if (m_model.position + n > data.size()) data.resize(m_model.position + n);
        std::copy(octets.begin(), octets.end(), data.begin() + static_cast<std::ptrdiff_t>(m_model.position));
        m_model.position += n;
        CheckStored();
    }

    void Read(std::size_t n) {
        m_trace += " R" + std::to_string(n);
        Bytes got(n);
        got.resize(m_stream->Read(got.data(), static_cast<UINT>(n)));
        const std::size_t available = std::min(n, m_model.data.size() - m_model.position);
        const auto from = m_model.data.begin() + static_cast<std::ptrdiff_t>(m_model.position);
        EXPECT_EQ(ToHex(got), ToHex(Bytes(from, from + static_cast<std::ptrdiff_t>(available)))) << m_trace;
        m_model.position += available;
    }

    void Seek() {
        const UINT from = static_cast<UINT>(Uniform(0, 2));
        const auto size = static_cast<long>(m_model.data.size());
        const long offset = static_cast<long>(Uniform(0, 2 * static_cast<std::size_t>(size) + 8)) - size - 4;
        const long base = from == CFile::begin ? 0 : from == CFile::current ? static_cast<long>(m_model.position) : size;
        const long target = base + offset;
        m_trace += " S" + std::to_string(offset) + "/" + std::to_string(from);
        const int cause = CauseOf<CFileException>([&] { m_stream->Seek(static_cast<LONG>(offset), from); });
        const bool valid = target >= 0 && target <= size;
        EXPECT_EQ(cause, valid ? kNothingThrown : CFileException::badSeek) << m_trace;
        if (valid) m_model.position = static_cast<std::size_t>(target);
    }

    void SetLength() {
        const std::size_t n = Uniform(0, m_model.data.size() + 8) & ~std::size_t{Uniform(0, 3) == 0 ? 0u : 7u};
        m_trace += " L" + std::to_string(n);
        const int cause = CauseOf<CFileException>([&] { m_stream->SetLength(static_cast<DWORD>(n)); });
        const bool valid = n <= m_model.data.size() && n % 8 == 0;
        EXPECT_EQ(cause, valid ? kNothingThrown : CFileException::badSeek) << m_trace;
        if (valid) {
            m_model.data.resize(n);
            m_model.position = n;
        }
        CheckStored();
    }

    void Reopen() {
        m_trace += " O";
        if (Uniform(0, 1)) m_stream->Flush();
        m_stream->Close();
        m_stream = std::make_unique<CCryptoFile>(&m_file, m_proc, m_recordSize, FALSE);
        m_model.position = 0;
    }

    // The caller uses the processor for something else in between.
    void Disturb() {
        m_trace += " D";
        Bytes scratch = Pattern(16, static_cast<unsigned>(m_random()));
        m_proc.EncryptBlock(scratch.data(), 16, scratch.data(), nullptr);
        m_proc.DecryptBlock(scratch.data(), 8, scratch.data(), nullptr);
    }

    void CheckStored() {
        EXPECT_EQ(ToHex(OpenAndReadAll(Contents(m_file), m_proc, m_recordSize)), ToHex(m_model.data)) << m_trace;
    }

    CCryptoProcessor& m_proc;
    unsigned long m_recordSize;
    std::mt19937 m_random;
    CMemFile m_file;
    std::unique_ptr<CCryptoFile> m_stream;
    Model m_model;
    std::string m_trace;
};

TEST(CryptoFileModelTest, RandomSequencesMatchAPlainFile) {
    constexpr int kSequences = 60, kSteps = 40;
    for (const Cipher& cipher : Ciphers()) {
        for (const unsigned long recordSize : {8ul, 24ul, 64ul, 256ul}) {
            auto proc = cipher.make();
            for (int sequence = 0; sequence < kSequences; ++sequence) {
                ModelRun run(*proc, recordSize, static_cast<unsigned>(sequence * 7919 + recordSize));
                for (int step = 0; step < kSteps && !HasFailure(); ++step) run.Step();
                ASSERT_FALSE(HasFailure()) << cipher.name << " record " << recordSize << ":" << run.Trace();
            }
        }
    }
}

}  // namespace
