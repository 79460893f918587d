#include "vorlan/asn1/derencoding.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "vorlan/asn1/asn1type.h"
#include "vorlan/asn1/derreader.h"
#include "vorlan/asn1/filters.h"
#include "vorlan/asn1/sharedstream.h"

IMPLEMENT_DYNAMIC(CDERDecodingException, CException)

namespace {

// Runs a read operation; any other framework exception inside becomes the decoding exception,
// whose reason keeps the wrapped exception's message (a file error's cause).
template <class F>
auto asDecoding(F&& operation) {
    char cause[vorlan::detail::kReasonSize];
    try {
        return operation();
    } catch (CDERDecodingException*) {
        throw;
    } catch (CException* e) {
        if (!e->GetErrorMessage(cause, sizeof cause)) cause[0] = '\0';
        e->Delete();
    }
    if (!cause[0]) ___throwDERDecodingException("CException -> CDERDecodingException");
    ___throwDERDecodingException("CException -> CDERDecodingException: %s", cause);
}

}  // namespace

LONG CUnknown::Release() {
    const LONG count = --m_nRefCount;
    if (count == 0) {
        Clear();
        if (m_bAutoDelete) delete this;
    }
    return count;
}

CDEREncoding::CDEREncoding(int autoDelete) : CUnknown(autoDelete) { hold(vorlan::detail::MemoryStream()); }

CDEREncoding::CDEREncoding(int autoDelete, CFile* file, int, int autoDeleteFile) : CUnknown(autoDelete) {
    hold(new vorlan::detail::SharedStream(file, autoDeleteFile));
}

CDEREncoding::CDEREncoding(int autoDelete, const CByteArray& octets) : CUnknown(autoDelete) { *this = octets; }

CDEREncoding::CDEREncoding(int autoDelete, unsigned char* buffer, unsigned long length, int adopt, int copy)
    : CUnknown(autoDelete) {
    hold(vorlan::detail::MemoryStream(buffer, length, adopt, copy));
}

CDEREncoding::CDEREncoding(int autoDelete, const CASN1Type& value) : CDEREncoding(autoDelete) {
    value.encodeTo(*this, 0, 0, 0);
}

CDEREncoding::CDEREncoding(int autoDelete, vorlan::detail::SharedStream& stream) : CUnknown(autoDelete) {
    stream.AddRef();
    hold(&stream);
}

CDEREncoding::~CDEREncoding() { CDEREncoding::Clear(); }

const unsigned char* CDEREncoding::MemoryWindow(DWORD position, DWORD length) const {
    return m_pStream ? m_pStream->MemoryWindow(position, length) : nullptr;
}

CDEREncoding& CDEREncoding::operator=(const CByteArray& octets) {
    hold(vorlan::detail::MemoryStream(const_cast<BYTE*>(octets.GetData()),
                                      static_cast<unsigned long>(octets.GetSize()), 0, 1));
    return *this;
}

void CDEREncoding::hold(vorlan::detail::SharedStream* stream) {
    Clear();
    m_pStream = stream;
    m_pFile = stream->m_pFile;
}

void CDEREncoding::Clear() {
    m_pFile = nullptr;
    if (auto* stream = std::exchange(m_pStream, nullptr)) stream->Release();
}

void CDEREncoding::OnOffTmpFile(int on) {
    if (m_pStream) m_pStream->m_bTmpFile = on;
}

BYTE CDEREncoding::ReadByte() {
    return asDecoding([this] {
        BYTE octet;
        if (!m_pFile || m_pFile->Read(&octet, 1) != 1) AfxThrowFileException(CFileException::endOfFile);
        return octet;
    });
}

unsigned long CDEREncoding::Read(unsigned char* buffer, unsigned long count) {
    return asDecoding([&]() -> unsigned long {
        if (!m_pFile) return 0;
        return m_pFile->Read(buffer, static_cast<UINT>(count));
    });
}

unsigned long CDEREncoding::Read(CByteArray& octets, unsigned long count) {
    octets.SetSize(static_cast<int>(count));
    return Read(octets.GetData(), count);
}

void CDEREncoding::Read(CFile& target, unsigned long count) {
    asDecoding([&] {
        vorlan::detail::CFileFilter sink(target);
        vorlan::detail::readIntoSink(*this, count, sink);
        sink.Finish();
        target.Flush();
        return 0;
    });
}

void CDEREncoding::WriteByte(unsigned char octet) { Write(&octet, 1); }

void CDEREncoding::Write(const unsigned char* data, unsigned long count) {
    if (!m_pFile) AfxThrowFileException(CFileException::generic);
    m_pFile->Write(data, static_cast<UINT>(count));
}

void CDEREncoding::Write(const CByteArray& octets) {
    if (octets.GetSize() > 0) Write(octets.GetData(), static_cast<unsigned long>(octets.GetSize()));
}

void CDEREncoding::Write(CFile& source, unsigned long count) {
    unsigned char block[vorlan::detail::kSinkBlockSize];
    for (unsigned long left = count; left > 0;) {
        const UINT want = static_cast<UINT>(left < sizeof block ? left : sizeof block);
        const UINT got = source.Read(block, want);
        if (got == 0) AfxThrowFileException(CFileException::endOfFile);
        Write(block, got);
        left -= got;
    }
}

long CDEREncoding::SeekToBegin() { return Seek(0, CFile::begin); }

long CDEREncoding::Seek(long offset, unsigned int from) {
    return asDecoding([&]() -> long {
        if (!m_pFile) AfxThrowFileException(CFileException::badSeek);
        return m_pFile->Seek(static_cast<LONG>(offset), from);
    });
}

int CDEREncoding::reached00() {
    unsigned char octets[2];
    if (Read(octets, 2) != 2) vorlan::detail::ThrowDERFault(vorlan::detail::EDERFault::truncated);
    if (octets[0] == 0 && octets[1] == 0) return 1;
    Seek(-2, CFile::current);
    return 0;
}

unsigned long CDEREncoding::Remaining() const {
    if (!m_pFile) return 0;
    const DWORD length = m_pFile->GetLength();
    const DWORD position = m_pFile->GetPosition();
    return length > position ? length - position : 0;
}

void ConstructElements(CDEREncoding* elements, int count) {
    for (int i = 0; i < count; ++i) {
        ::new (static_cast<void*>(elements + i)) CDEREncoding(0);
        elements[i].AddRef();
    }
}

void DestructElements(CDEREncoding* elements, int count) {
    for (int i = 0; i < count; ++i) {
        elements[i].Release();
        elements[i].~CDEREncoding();
    }
}

void DestructElements(CDEREncoding** elements, int count) {
    for (int i = 0; i < count; ++i) {
        if (elements[i]) elements[i]->Release();
        elements[i] = nullptr;
    }
}

unsigned long ___computeEncodedLength(unsigned char identifierOctets, unsigned long contentsLength, int indefinite) {
    if (indefinite) return identifierOctets + 1 + contentsLength + 2;
    return identifierOctets + 1 + vorlan::detail::lengthOctetsAfterFirst(contentsLength) + contentsLength;
}

int ___extractEncodingLength(const unsigned char* octets, unsigned long available) {
    using vorlan::detail::EDERFault;
    if (available < 2) return -1;
    vorlan::detail::SDERHeader header;
    switch (vorlan::detail::ReadDERHeader(octets, available, header, false)) {
        case EDERFault::highTagNumber: return -4;
        case EDERFault::longLength: return -2;
        case EDERFault::none: break;
        default: return -1;
    }
    if (header.indefinite) return -3;
    if (header.length > 0x7FFFFFFFul - header.size) return -2;
    return static_cast<int>(header.size + header.length);
}

void ___throwDERDecodingException(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    CDERDecodingException::SetReasonV(format, arguments);
    va_end(arguments);
    vorlan::detail::ThrowShared<CDERDecodingException>();
}

const char* LastDecodingReason() { return CDERDecodingException::LastReason(); }
