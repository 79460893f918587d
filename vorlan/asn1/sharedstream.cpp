#include "vorlan/asn1/sharedstream.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "vorlan/framework/securewipe.h"
#include "vorlan/support/memfilepro.h"

namespace vorlan::detail {

namespace {

// Grow step of the memory streams.
constexpr UINT kGrowStep = 1024;

// The memory file of an InlineMemoryStream, a base so that it is made before the stream
// that points at it.
template <class File>
struct MemoryFileMember {
    template <class... Arguments>
    explicit MemoryFileMember(Arguments&&... arguments) : m_file(std::forward<Arguments>(arguments)...) {}
    File m_file;
};

// A memory stream with its file in the same block and, for a private copy, the copied
// octets after them: one allocation where there would be three. A file written past its
// copy grows into a buffer of its own. The file is a member, so the stream does not delete it.
// The copy may be of a key's DER, so it is wiped when the stream ends.
template <class File>
class InlineMemoryStream final : private MemoryFileMember<File>, public SharedStream {
public:
    template <class... Arguments>
    static SharedStream* Over(Arguments&&... arguments) {
        return new InlineMemoryStream(std::forward<Arguments>(arguments)...);
    }
    static SharedStream* Copy(const unsigned char* octets, unsigned long length) {
        if (length > 0xFFFFFFFFu - sizeof(InlineMemoryStream)) AfxThrowMemoryException();
        void* block = ::operator new(sizeof(InlineMemoryStream) + length);
        auto* copy = static_cast<unsigned char*>(block) + sizeof(InlineMemoryStream);
        if (length) std::memcpy(copy, octets, length);
        auto* stream = ::new (block) InlineMemoryStream(copy, static_cast<UINT>(length), kGrowStep, FALSE);
        stream->m_nCopied = length;
        return stream;
    }
    // Blocks come whole from the global operator new, the copy included.
    static void operator delete(void* block) { ::operator delete(block); }

private:
    template <class... Arguments>
    explicit InlineMemoryStream(Arguments&&... arguments)
        : MemoryFileMember<File>(std::forward<Arguments>(arguments)...), SharedStream(&this->m_file, 0) {}
    ~InlineMemoryStream() override { SecureWipe(reinterpret_cast<unsigned char*>(this) + sizeof *this, m_nCopied); }

    unsigned long m_nCopied = 0;  // octets of the private copy after the stream
};

}  // namespace

SharedStream::SharedStream(CFile* file, int autoDeleteFile)
    : m_pFile(file), m_bAutoDeleteFile(autoDeleteFile), m_pMemory(dynamic_cast<const CMemFile*>(file)) {}

SharedStream::SharedStream(CMemFile* file, int autoDeleteFile)
    : m_pFile(file), m_bAutoDeleteFile(autoDeleteFile), m_pMemory(file) {}

SharedStream::~SharedStream() {
    CString path;
    if (m_bTmpFile) path = m_pFile->GetFilePath();
    if (m_bAutoDeleteFile) {
        delete m_pFile;
    } else if (m_bTmpFile) {
        try {
            m_pFile->Close();
        } catch (CException* e) {
            e->Delete();
        }
    }
    if (m_bTmpFile && !path.IsEmpty()) std::remove(path);
}

SharedStream* MemoryStream() { return InlineMemoryStream<CMemFile>::Over(kGrowStep); }

SharedStream* MemoryStream(unsigned char* buffer, unsigned long length, int adopt, int copy) {
    const auto size = static_cast<UINT>(length);
    using Stream = InlineMemoryStream<CMemFilePro>;
    if (!adopt) return copy ? Stream::Copy(buffer, length) : Stream::Over(buffer, size, 0U, FALSE);
    // An adopted buffer is ours from here on, also when this fails.
    std::unique_ptr<unsigned char[]> owned(buffer);
    SharedStream* stream = Stream::Over(buffer, size, kGrowStep, TRUE);
    owned.release();
    return stream;
}

}  // namespace vorlan::detail
