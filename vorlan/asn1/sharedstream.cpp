#include "vorlan/asn1/sharedstream.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "vorlan/support/memfilepro.h"

namespace vorlan::detail {

namespace {

// Grow step of the memory streams.
constexpr UINT kGrowStep = 1024;

// A stream that owns `file`.
SharedStream* owning(std::unique_ptr<CMemFile> file) {
    auto* stream = new SharedStream(file.get(), 1);
    file.release();
    return stream;
}

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

SharedStream* MemoryStream() { return owning(std::make_unique<CMemFile>(kGrowStep)); }

SharedStream* MemoryStream(unsigned char* buffer, unsigned long length, int adopt, int copy) {
    const auto size = static_cast<UINT>(length);
    if (!adopt && !copy) return owning(std::make_unique<CMemFilePro>(buffer, size, 0, FALSE));
    // An adopted buffer is ours from here on, also when this fails.
    std::unique_ptr<unsigned char[]> owned(adopt ? buffer : new unsigned char[length ? length : 1]);
    if (!adopt && length) std::memcpy(owned.get(), buffer, length);
    auto memory = std::make_unique<CMemFilePro>(owned.get(), size, kGrowStep, TRUE);
    owned.release();
    return owning(std::move(memory));
}

}  // namespace vorlan::detail
