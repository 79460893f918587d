#include "vorlan/store/cryptofile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "vorlan/support/wipe.h"

IMPLEMENT_DYNAMIC(CCryptoFile, CFile)

namespace {

// The underlying file is sought with a LONG, so the stored file stays below 2 GiB:
// a plaintext of at most kMaxLength octets plus its padding.
constexpr DWORD kMaxStored = 0x7FFFFFF8;
constexpr DWORD kMaxLength = kMaxStored - 8;
constexpr DWORD kPadBlock = 8;
// A Write is stored in pieces of about this many octets, each one underlying write
// that leaves the stored format with a prefix of the data.
constexpr DWORD kBatchOctets = 64 * 1024;

[[noreturn]] void ThrowFormat() { AfxThrowFileException(CFileException::generic, -1); }
[[noreturn]] void ThrowBadSeek() { AfxThrowFileException(CFileException::badSeek, -1); }

// Padding octets after `length` plaintext octets: 1 to 8.
DWORD PadSize(DWORD length) { return kPadBlock - length % kPadBlock; }

// Repair work after a failure, whose own failure must not hide the first one.
template <class Action>
void Quietly(Action&& action) {
    try {
        action();
    } catch (CException* e) {
        e->Delete();
    } catch (...) {
    }
}

}  // namespace

CCryptoFile::CCryptoFile(CFile* file, CCryptoProcessor& processor, unsigned long recordSize, int closeUnderlying)
    : m_pFile(file),
      m_owned(closeUnderlying ? file : nullptr),
      m_processor(processor),
      m_recordSize(static_cast<DWORD>(recordSize)) {
    const unsigned long block = processor.GetBlockSize();
    // Records and padding come in 8-octet steps, so the cipher's blocks must fit them.
    if (file == nullptr || recordSize == 0 || recordSize % kPadBlock != 0 || recordSize > kMaxStored ||
        block == 0 || kPadBlock % block != 0)
        ThrowFormat();
    m_batchRecords = std::max<DWORD>(1, kBatchOctets / m_recordSize);
    m_plain.resize(m_recordSize);
    m_cipher.resize(static_cast<std::size_t>(m_batchRecords) * m_recordSize + kPadBlock);

    const DWORD stored = file->GetLength();
    if (stored % kPadBlock != 0 || stored > kMaxStored) ThrowFormat();
    if (stored == 0) return;
    const DWORD tail = stored % m_recordSize != 0 ? stored % m_recordSize : m_recordSize;
    ReadRecord((stored - tail) / m_recordSize, tail);
    const unsigned char pad = m_plain[tail - 1];
    if (pad == 0 || pad > kPadBlock ||
        !std::all_of(m_plain.begin() + (tail - pad), m_plain.begin() + tail, [&](unsigned char c) { return c == pad; }))
        ThrowFormat();
    m_length = stored - pad;
    m_stored = stored;
}

CCryptoFile::~CCryptoFile() {
    try {
        Close();
    } catch (CException* e) {
        e->Delete();
    } catch (...) {
    }
}

CFile& CCryptoFile::Underlying() const {
    if (m_pFile == nullptr) CFileException::ThrowOsError(EBADF);
    return *m_pFile;
}

DWORD CCryptoFile::StoredSize(DWORD record, DWORD length) const {
    const DWORD last = length / m_recordSize;
    if (record < last) return m_recordSize;
    const DWORD data = length - RecordStart(record);
    return data + PadSize(data);
}

void CCryptoFile::CryptRecord(bool encrypt, const unsigned char* in, DWORD len, unsigned char* out) {
    if (encrypt) {
        m_processor.ResetEncryptionContext();
        m_processor.EncryptBlock(in, len, out, nullptr);
        m_processor.ResetEncryptionContext();
    } else {
        m_processor.ResetDecryptionContext();
        m_processor.DecryptBlock(in, len, out, nullptr);
        m_processor.ResetDecryptionContext();
    }
}

void CCryptoFile::Load(DWORD record) {
    if (record != m_cached) ReadRecord(record, StoredSize(record, m_length));
}

// Decrypted in place, so the ciphertext buffer may hold a batch being assembled.
void CCryptoFile::ReadRecord(DWORD record, DWORD size) {
    CFile& file = Underlying();
    m_cached = kNoRecord;
    file.Seek(static_cast<LONG>(RecordStart(record)), CFile::begin);
    if (file.Read(m_plain.data(), size) != size) ThrowFormat();
    CryptRecord(false, m_plain.data(), size, m_plain.data());
    m_cached = record;
}

DWORD CCryptoFile::Seal(DWORD record, DWORD length, unsigned char* out) {
    const DWORD size = StoredSize(record, length);
    const DWORD data = std::min(length - RecordStart(record), m_recordSize);
    if (data == 0) {
        static constexpr unsigned char kPaddingRecord[kPadBlock] = {8, 8, 8, 8, 8, 8, 8, 8};
        CryptRecord(true, kPaddingRecord, kPadBlock, out);
        return kPadBlock;
    }
    // The padding goes after the data in the plaintext buffer, where nothing counts.
    std::memset(m_plain.data() + data, static_cast<int>(size - data), size - data);
    CryptRecord(true, m_plain.data(), size, out);
    return size;
}

void CCryptoFile::Store(DWORD offset, const unsigned char* data, DWORD len) {
    CFile& file = Underlying();
    file.Seek(static_cast<LONG>(offset), CFile::begin);
    file.Write(data, len);
}

// The new octets go in one write, so a process killed between two system calls leaves the
// old stored form or the new, both of which open (storing the old last block on its own first
// left a window in which the file had lost its padding and opened no more). When the
// underlying file fails, it is cut back to its old size and the octets read beforehand are
// written back, which takes no new space on a full disk.
void CCryptoFile::Replace(DWORD offset, const unsigned char* data, DWORD len) {
    CFile& file = Underlying();
    const DWORD end = offset + len;
    m_replaced.resize(std::min(end, std::max(m_stored, offset)) - offset);
    const auto replaced = static_cast<UINT>(m_replaced.size());
    if (replaced > 0) {
        file.Seek(static_cast<LONG>(offset), CFile::begin);
        if (file.Read(m_replaced.data(), replaced) != replaced) ThrowFormat();
    }
    try {
        Store(offset, data, len);
    } catch (...) {
        Quietly([&] {
            if (end > m_stored) file.SetLength(m_stored);
            Store(offset, m_replaced.data(), replaced);
        });
        throw;
    }
    m_stored = std::max(m_stored, end);
}

UINT CCryptoFile::Read(void* buffer, UINT count) {
    Underlying();
    auto* out = static_cast<unsigned char*>(buffer);
    const DWORD wanted = std::min<DWORD>(count, m_length - m_position);
    DWORD done = 0;
    while (done < wanted) {
        const DWORD offset = m_position % m_recordSize;
        const DWORD n = std::min(wanted - done, m_recordSize - offset);
        Load(m_position / m_recordSize);
        std::memcpy(out + done, m_plain.data() + offset, n);
        done += n;
        m_position += n;
    }
    return done;
}

void CCryptoFile::Write(const void* buffer, UINT count) {
    Underlying();
    if (count > kMaxLength - m_position) CFileException::ThrowOsError(EFBIG);
    const auto* in = static_cast<const unsigned char*>(buffer);
    const DWORD batch = m_batchRecords * m_recordSize;
    while (count > 0) {
        const DWORD n = std::min<DWORD>(count, batch - m_position % batch);
        WritePiece(in, n);
        in += n;
        count -= n;
    }
}

// The records that the piece touches are sealed, each in its stored form for the new
// length, followed by the padding record when the piece ends the stream on a record
// boundary; they are stored from the block that holds the piece's start, as the blocks
// before it keep their ciphertext.
void CCryptoFile::WritePiece(const unsigned char* in, DWORD count) {
    const DWORD pieceStart = m_position;
    const DWORD pieceEnd = pieceStart + count;
    const DWORD length = std::max(m_length, pieceEnd);
    const DWORD first = pieceStart / m_recordSize;
    const DWORD lastTouched = (pieceEnd - 1) / m_recordSize;
    const DWORD last = length > m_length ? length / m_recordSize : lastTouched;
    DWORD stored = 0;
    try {
        for (DWORD record = first; record <= last; ++record) {
            const DWORD start = RecordStart(record);
            if (record <= lastTouched) {
                const DWORD from = std::max(pieceStart, start) - start;
                const DWORD to = std::min(pieceEnd, start + m_recordSize) - start;
                const DWORD held = m_length > start ? std::min(m_length - start, m_recordSize) : 0;
                // Octets the piece leaves in place must come from the file.
                if (from > 0 || to < held) Load(record);
                std::memcpy(m_plain.data() + from, in + (start + from - pieceStart), to - from);
                m_cached = record;
            }
            stored += Seal(record, length, m_cipher.data() + stored);
        }
        const DWORD skipped = pieceStart / kPadBlock * kPadBlock - RecordStart(first);
        Replace(RecordStart(first) + skipped, m_cipher.data() + skipped, stored - skipped);
    } catch (...) {
        m_cached = kNoRecord;
        throw;
    }
    m_length = length;
    m_position = pieceEnd;
}

void CCryptoFile::WriteHuge(const void* buffer, unsigned long count) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    while (count > 0) {
        const UINT n = static_cast<UINT>(std::min<unsigned long>(count, UINT_MAX));
        Write(in, n);
        in += n;
        count -= n;
    }
}

unsigned long CCryptoFile::ReadHuge(void* buffer, unsigned long count) {
    // The length fits a UINT, so one Read delivers everything there is.
    return Read(buffer, static_cast<UINT>(std::min<unsigned long>(count, UINT_MAX)));
}

LONG CCryptoFile::Seek(LONG offset, UINT from) {
    Underlying();
    const std::int64_t base = from == begin ? 0 : from == current ? m_position : m_length;
    const std::int64_t target = base + offset;
    if (from > end || target < 0 || target > m_length) ThrowBadSeek();
    m_position = static_cast<DWORD>(target);
    return static_cast<LONG>(target);
}

// The file is cut one block after the new end first, so the kept octets keep their
// ciphertext and the file never opens with the old length and changed octets; then the
// padding block is written over that last block. It takes no new space, so when its write
// fails part-way it is written once more before the failure is passed on.
void CCryptoFile::SetLength(DWORD newLength) {
    CFile& file = Underlying();
    if (newLength > m_length || newLength % kPadBlock != 0) ThrowBadSeek();
    if (newLength == m_length) {
        m_position = newLength;
        return;
    }
    const DWORD record = newLength / m_recordSize;
    if (newLength > RecordStart(record)) Load(record);
    const unsigned char* padding = m_cipher.data() + Seal(record, newLength, m_cipher.data()) - kPadBlock;
    file.SetLength(newLength + kPadBlock);
    m_stored = newLength + kPadBlock;
    m_length = m_position = newLength;
    try {
        Store(newLength, padding, kPadBlock);
    } catch (...) {
        Quietly([&] { Store(newLength, padding, kPadBlock); });
        throw;
    }
}

void CCryptoFile::Flush() { Underlying().Flush(); }

std::unique_ptr<CFile> CCryptoFile::Detach() {
    SecureWipe(m_plain.data(), m_plain.size());
    m_cached = kNoRecord;
    m_pFile = nullptr;
    return std::move(m_owned);
}

void CCryptoFile::Close() {
    if (m_pFile == nullptr) return;
    // The owned file object is deleted however its Close ends.
    const std::unique_ptr<CFile> owned = Detach();
    if (owned) owned->Close();
}

void CCryptoFile::Abort() {
    if (m_pFile == nullptr) return;
    CFile* file = m_pFile;
    const std::unique_ptr<CFile> owned = Detach();
    file->Abort();
}

BOOL CCryptoFile::Open(const char*, UINT, CFileException*) { return FALSE; }

BOOL CCryptoFile::GetStatus(CFileStatus& status) const { return m_pFile != nullptr && m_pFile->GetStatus(status); }

CCryptoFile::operator int() const { return Underlying().m_hFile; }

CString CCryptoFile::GetFileName() const { return Underlying().GetFileName(); }

CString CCryptoFile::GetFileTitle() const { return Underlying().GetFileTitle(); }

CString CCryptoFile::GetFilePath() const { return Underlying().GetFilePath(); }

void CCryptoFile::SetFilePath(const char* path) { Underlying().SetFilePath(path); }

void CCryptoFile::LockRange(DWORD pos, DWORD count) { Underlying().LockRange(pos, count); }

void CCryptoFile::UnlockRange(DWORD pos, DWORD count) { Underlying().UnlockRange(pos, count); }
