#include "vorlan/x509/certificatestore.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "vorlan/framework/file.h"
#include "vorlan/support/pem.h"

namespace {

constexpr std::string_view kBegin = "-----BEGIN ", kEnd = "-----END ";

std::string KeyIdentifierText(const CByteArray& identifier) {
    return std::string(reinterpret_cast<const char*>(identifier.GetData()), static_cast<size_t>(identifier.GetSize()));
}

// The whole file, at most `limit` octets; CFileException otherwise.
std::string ReadBounded(const char* path, unsigned long limit) {
    CFile file;
    CFileException error;
    if (!file.Open(path, CFile::modeRead, &error)) AfxThrowFileException(error.m_cause, error.m_lOsError, path);
    const DWORD length = file.GetLength();
    if (length > limit) AfxThrowFileException(CFileException::invalidFile, -1, path);
    std::string octets(length, '\0');
    if (file.Read(octets.data(), length) != length) AfxThrowFileException(CFileException::endOfFile, -1, path);
    return octets;
}

}  // namespace

void CCertificateStore::Hold(std::unique_ptr<CPathCertificate> certificate) {
    if (m_byDer.count(certificate->Der())) return;
    const size_t index = m_certificates.size();
    m_byDer.emplace(certificate->Der(), index);
    m_bySubject.emplace(certificate->SubjectKey().Text(), index);
    const CByteArray& identifier = certificate->Extensions().subjectKeyIdentifier;
    if (identifier.GetSize()) m_byKeyIdentifier.emplace(KeyIdentifierText(identifier), index);
    m_certificates.push_back(std::move(certificate));
}

bool CCertificateStore::AddDer(const BYTE* der, int length) {
    if (m_byDer.count(std::string(reinterpret_cast<const char*>(der), static_cast<size_t>(length)))) return true;
    try {
        Hold(std::make_unique<CPathCertificate>(der, length));
        return true;
    } catch (CException* e) {
        e->Delete();
        ++m_nSkipped;
        return false;
    }
}

int CCertificateStore::AddPem(const char* text, int length) {
    const std::string_view all(text, static_cast<size_t>(length));
    int added = 0;
    // Each block is decoded on its own, so that a damaged one costs only itself.
    for (size_t at = all.find(kBegin); at != std::string_view::npos; at = all.find(kBegin, at)) {
        const size_t end = all.find(kEnd, at + kBegin.size());
        const size_t lineEnd = end == std::string_view::npos ? all.size() : std::min(all.size(), all.find('\n', end));
        const std::string_view block = all.substr(at, lineEnd - at);
        at = lineEnd;
        CArray<SPemBlock> blocks;
        try {
            DecodePem(block.data(), static_cast<int>(block.size()), blocks);
        } catch (CException* e) {
            e->Delete();
            ++m_nSkipped;
            continue;
        }
        for (int i = 0; i < blocks.GetSize(); ++i)
            if (blocks[i].label == "CERTIFICATE")
                added += AddDer(blocks[i].octets.GetData(), blocks[i].octets.GetSize());
    }
    return added;
}

int CCertificateStore::AddFileOctets(const std::string& octets) {
    if (octets.find(kBegin) != std::string::npos) return AddPem(octets.data(), static_cast<int>(octets.size()));
    return AddDer(reinterpret_cast<const BYTE*>(octets.data()), static_cast<int>(octets.size()));
}

int CCertificateStore::LoadFile(const char* path) { return AddFileOctets(ReadBounded(path, kMaxFileSize)); }

int CCertificateStore::LoadFolder(const char* path) {
    std::error_code error;
    std::filesystem::directory_iterator entries(path, error);
    if (error) AfxThrowFileException(CFileException::OsErrorToException(error.value()), error.value(), path);
    int added = 0;
    for (const auto& entry : entries) {
        if (!entry.is_regular_file(error)) continue;
        try {
            added += AddFileOctets(ReadBounded(entry.path().c_str(), kMaxFileSize));
        } catch (CException* e) {
            e->Delete();
            ++m_nSkipped;
        }
    }
    return added;
}

std::vector<const CPathCertificate*> CCertificateStore::FindBySubject(const CNameKey& subject) const {
    return vorlan::detail::IndexedUnder(m_bySubject, subject.Text(), m_certificates);
}

std::vector<const CPathCertificate*> CCertificateStore::FindByKeyIdentifier(const CByteArray& identifier) const {
    return vorlan::detail::IndexedUnder(m_byKeyIdentifier, KeyIdentifierText(identifier), m_certificates);
}

bool CCertificateStore::Contains(const CPathCertificate& certificate) const {
    return m_byDer.count(certificate.Der()) != 0;
}
