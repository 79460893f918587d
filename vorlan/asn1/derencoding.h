/// \file
/// The DER stream: a reference-counted handle on the octets that encoders write
/// and the decoder reads, the identifier/length rules and the decoding exception.
#pragma once

#include <bit>

#include "vorlan/asn1/identifier.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/exception.h"
#include "vorlan/framework/file.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/support/sharedexception.h"

class CASN1Type;

namespace vorlan::detail {
class SharedStream;
}

/// Reference-counted base: Release() at zero runs Clear() and, with auto-delete, deletes.
class CUnknown {
public:
    /// Count 0; autoDelete: Release() deletes the object at zero.
    explicit CUnknown(int autoDelete) : m_bAutoDelete(autoDelete) {}
    virtual ~CUnknown() = default;
    /// Releases what the object holds; Release() calls it when the count reaches zero.
    virtual void Clear() = 0;

    /// One more holder; the new count.
    LONG AddRef() { return ++m_nRefCount; }
    /// One holder less: at zero Clear() and, with auto-delete, delete. The new count.
    LONG Release();

    LONG m_nRefCount = 0;  ///< the holders
    int m_bAutoDelete;  ///< Release() deletes the object at zero
};

/// A handle on a counted stream (memory, or a file) that encoders write into and the decoder
/// reads from at the stream's position. Windows of decoded values hold the stream as the
/// handle does, so they outlive it, and read it without moving that position.
class CDEREncoding : public virtual CUnknown {
public:
    /// Empty owned memory stream (grow step 1024).
    explicit CDEREncoding(int autoDelete);
    /// The caller's stream at its current position; deleted with the stream only with autoDeleteFile.
    CDEREncoding(int autoDelete, CFile* file, int, int autoDeleteFile);
    /// A private copy of the octets, position 0.
    CDEREncoding(int autoDelete, const CByteArray& octets);
    /// adopt: takes the new[]-allocated buffer; copy: a private copy; neither: read in place.
    CDEREncoding(int autoDelete, unsigned char* buffer, unsigned long length, int adopt, int copy);
    /// An owned memory stream holding the DER of `value`, positioned after it.
    CDEREncoding(int autoDelete, const CASN1Type& value);
    /// Another handle on `stream`, at its position.
    CDEREncoding(int autoDelete, vorlan::detail::SharedStream& stream);
    CDEREncoding(const CDEREncoding&) = delete;
    CDEREncoding& operator=(const CDEREncoding&) = delete;
    ~CDEREncoding() override;

    /// Lets go of the stream and holds a private copy of the octets instead, position 0.
    CDEREncoding& operator=(const CByteArray& octets);
    /// Lets go of the stream; it ends with its last holder.
    void Clear() override;
    /// With `on`, the stream is a temporary disk file, removed by its path when it ends.
    void OnOffTmpFile(int on);

    /// The octet at the position; the decoding exception at the end.
    BYTE ReadByte();
    ///@{
    /// Up to `count` octets from the position (into `target`: exactly `count`); the number read.
    /// Stream failures become the decoding exception.
    unsigned long Read(unsigned char* buffer, unsigned long count);
    unsigned long Read(CByteArray& octets, unsigned long count);
    void Read(CFile& target, unsigned long count);
    ///@}
    ///@{
    /// Writes octets at the position (from `source`: `count` octets of it; CFileException*
    /// endOfFile when it has fewer).
    void WriteByte(unsigned char octet);
    void Write(const unsigned char* data, unsigned long count);
    void Write(const CByteArray& octets);
    void Write(CFile& source, unsigned long count);
    ///@}
    ///@{
    /// Moves the position; the new one. The decoding exception without a stream or before its start.
    long SeekToBegin();
    long Seek(long offset, unsigned int from);
    ///@}
    /// 1 and the two octets consumed when the next two octets are 00 00; else 0, position unchanged.
    int reached00();

    /// Octets from the position to the end of the stream (0 without a stream).
    unsigned long Remaining() const;
    /// The stream as a file, null after Clear; the encoding keeps owning it.
    CFile* GetFile() const { return m_pFile; }
    /// The octets of a window read in place when the stream is in memory; null otherwise.
    const unsigned char* MemoryWindow(DWORD position, DWORD length) const;
    /// The stream that windows decoded from this handle share; null after Clear.
    vorlan::detail::SharedStream* GetStream() const { return m_pStream; }

private:
    /// Takes over the creator's reference to `stream`, after letting go of the current one.
    void hold(vorlan::detail::SharedStream* stream);

    vorlan::detail::SharedStream* m_pStream = nullptr;
    CFile* m_pFile = nullptr;
};

/// Elements of framework arrays of encodings hold one reference each.
void ConstructElements(CDEREncoding* elements, int count);
///@{
/// Each element lets go of its reference.
void DestructElements(CDEREncoding* elements, int count);
void DestructElements(CDEREncoding** elements, int count);
///@}

/// Total octets of an element with one identifier octet count `identifierOctets`.
unsigned long ___computeEncodedLength(unsigned char identifierOctets, unsigned long contentsLength, int indefinite);
/// Total length of the element at `octets`: -1 more octets needed, -2 length too long,
/// -3 indefinite length, -4 high tag number form.
int ___extractEncodingLength(const unsigned char* octets, unsigned long available);

/// Every decoding failure throws a pointer to one shared instance (auto-delete off);
/// GetErrorMessage gives the calling thread's last reason.
class CDERDecodingException : public vorlan::detail::ReasonException<CDERDecodingException> {
    DECLARE_DYNAMIC(CDERDecodingException)
public:
    CDERDecodingException() : ReasonException(FALSE) {}
    /// An instance with the auto-delete given; the library throws only the shared one.
    explicit CDERDecodingException(int autoDelete) : ReasonException(autoDelete) {}
};

/// Records the printf-formatted reason for the calling thread and throws the shared
/// CDERDecodingException.
[[noreturn]] void ___throwDERDecodingException(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// The reason of the last decoding failure raised in the calling thread, as its
/// GetErrorMessage gives it.
const char* LastDecodingReason();

namespace vorlan::detail {
/// Number of length octets after the first for a definite length (0 below 128).
inline unsigned lengthOctetsAfterFirst(unsigned long length) {
    return length < 128 ? 0 : static_cast<unsigned>((std::bit_width(length) + 7) / 8);
}
/// Identifier, length octets and contents of a definite-length element.
inline unsigned long definiteEncodedLength(unsigned long contentsLength) {
    return contentsLength + 2 + lengthOctetsAfterFirst(contentsLength);
}
}  // namespace vorlan::detail
