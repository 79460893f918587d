/// \file
/// CCryptoFile: a CFile whose contents live encrypted in another, underlying CFile.
///
/// Stored format (no header): the plaintext is cut into records of recordSize octets;
/// record k sits at file offset k * recordSize and is encrypted on its own from the
/// processor's initial vector. The last record holds the remaining m = length mod
/// recordSize octets followed by p = 8 - (length mod 8) octets of value p, so it is an
/// 8-octet record of value 8 when m = 0. Every Write, SetLength and Flush leaves the
/// underlying file in this format, so a process that stops between two calls leaves a
/// file that opens and holds what was written. When the underlying file fails part-way
/// (a full disk), Write puts the old octets back and SetLength completes the cut before
/// the failure is passed on, so the file opens with the old content or the new.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "vorlan/cipher/cryptoprocessor.h"
#include "vorlan/framework/file.h"

/// A CFile whose contents live encrypted in another, underlying CFile, in the stored format
/// above. Positions and lengths are those of the plaintext; failures are CFileException* and the
/// processor's CUnlockException*. The plaintext buffers are wiped.
class CCryptoFile : public CFile {
    DECLARE_DYNAMIC(CCryptoFile)
public:
    /// Reads the stored length from the last record. recordSize must be a non-zero multiple
    /// of 8 and the processor's block size must divide 8; the processor is not owned and
    /// must outlive the stream. With closeUnderlying set the stream owns the underlying file
    /// from here on (also when construction fails): Close closes it and the destructor
    /// deletes it. Bad arguments and files not in the stored format raise CFileException
    /// (generic, OS error -1).
    CCryptoFile(CFile* file, CCryptoProcessor& processor, unsigned long recordSize, int closeUnderlying);
    /// Closes without throwing.
    ~CCryptoFile() override;

    DWORD GetPosition() const override { return m_position; }
    DWORD GetLength() const override { return m_length; }
    UINT Read(void* buffer, UINT count) override;
    /// Stored in pieces of up to 64 KiB; when the underlying file fails, the file and the
    /// stream hold the pieces before the failing one.
    void Write(const void* buffer, UINT count) override;
    /// Read for counts beyond a UINT.
    unsigned long ReadHuge(void* buffer, unsigned long count);
    /// Write for counts beyond a UINT.
    void WriteHuge(const void* buffer, unsigned long count);
    /// Plaintext positions from the beginning, the position or the end; a result outside
    /// 0..length raises badSeek and leaves the position as it was.
    LONG Seek(LONG offset, UINT from) override;
    /// Shortens to n, a multiple of 8 (else badSeek); the position becomes n. Once the file
    /// is cut the stream has the new length, also when the failure of the padding's write is
    /// passed on.
    void SetLength(DWORD newLength) override;
    /// Flushes the underlying file (the stored format is already complete).
    void Flush() override;
    /// Idempotent; closes the underlying file when the stream owns it.
    void Close() override;
    /// Close that never throws; the underlying file is aborted, owned or not.
    void Abort() override;

    /// A stream is opened only by its constructor and cannot be duplicated; it has no buffer
    /// for direct access (GetBufferPtr answers 0).
    BOOL Open(const char* fileName, UINT openFlags, CFileException* error = nullptr) override;
    CFile* Duplicate() const override { return nullptr; }

    /// Forwarded to the underlying file.
    BOOL GetStatus(CFileStatus& status) const override;
    /// The underlying file's descriptor.
    operator int() const;
    CString GetFileName() const override;
    CString GetFileTitle() const override;
    CString GetFilePath() const override;
    void SetFilePath(const char* path) override;
    void LockRange(DWORD pos, DWORD count) override;
    void UnlockRange(DWORD pos, DWORD count) override;

private:
    static constexpr DWORD kNoRecord = 0xFFFFFFFF;

    CFile& Underlying() const;
    DWORD RecordStart(DWORD record) const { return record * m_recordSize; }
    /// Stored size of a record in a stream of `length` octets: whole records before the
    /// last, the padded size for the last.
    DWORD StoredSize(DWORD record, DWORD length) const;
    /// Makes the plaintext buffer hold the record (stored for the current length).
    void Load(DWORD record);
    void ReadRecord(DWORD record, DWORD size);
    /// Encrypts the record's stored form for a stream of `length` octets into out, from
    /// the plaintext buffer (the padding-only record needs none); returns its size.
    DWORD Seal(DWORD record, DWORD length, unsigned char* out);
    /// One stored piece of a Write, within one batch of records.
    void WritePiece(const unsigned char* in, DWORD count);
    /// Each record starts from the initial vector, whatever the caller did with the processor.
    void CryptRecord(bool encrypt, const unsigned char* in, DWORD len, unsigned char* out);
    void Store(DWORD offset, const unsigned char* data, DWORD len);
    /// Stores data over the file from offset on, putting the old octets back when the
    /// underlying file fails.
    void Replace(DWORD offset, const unsigned char* data, DWORD len);
    /// Leaves the stream closed: the plaintext wiped, the owned file handed to the caller.
    std::unique_ptr<CFile> Detach();

    CFile* m_pFile;
    std::unique_ptr<CFile> m_owned;
    CCryptoProcessor& m_processor;
    DWORD m_recordSize;
    DWORD m_batchRecords;
    DWORD m_position = 0;
    DWORD m_length = 0;
    /// Octets of the underlying file: 0 for a new stream, else m_length and its padding.
    DWORD m_stored = 0;
    /// Plaintext of record m_cached (octets below the stream length), a ciphertext
    /// buffer for one batch of records and a padding record, and the stored octets that
    /// the batch replaces.
    DWORD m_cached = kNoRecord;
    std::vector<unsigned char> m_plain;
    std::vector<unsigned char> m_cipher;
    std::vector<unsigned char> m_replaced;
};
