// Certificates read from arbitrary DER: whatever the structure accepts reads into a
// CCertificate or fails with the decoding exception; what reads prints, copies, checks its
// signature, reads its extensions as typed values, archives and is written again so that it
// reads back to the same certificate.
#include "vorlan/x509/certificate.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "vorlan/framework/memfile.h"
#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/extensionvalues.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// The certificate of `octets`, or null when they do not read.
std::unique_ptr<CCertificate> read(const unsigned char* octets, size_t size, unsigned long* consumed) {
    auto* der = new CDEREncoding(1, const_cast<unsigned char*>(octets), size, 0, 1);
    der->AddRef();
    std::unique_ptr<CCertificate> certificate;
    try {
        const CASN1_Certificate structure(*der);
        *consumed = static_cast<unsigned long>(der->Seek(0, CFile::current));
        certificate = std::make_unique<CCertificate>();
        structure.SetDataTo(*certificate);
    } catch (CDERDecodingException* e) {
        e->Delete();
        certificate.reset();
    }
    der->Release();
    return certificate;
}

// The alternative names of the extensions, when they read: written, they read back to names
// that write the same octets.
void checkNames(const CCertificate& certificate) {
    try {
        CCertificateExtensionArray extensions;
        certificate.GetExtensions(extensions);
        const CCertificateExtensions values(extensions);
        if (!values.subjectAltName) return;
        CCertificateExtensionArray written;
        written.Add(SubjectAltNameExtension(*values.subjectAltName));
        const CCertificateExtension again = SubjectAltNameExtension(*CCertificateExtensions(written).subjectAltName);
        require(again.m_abValue.GetSize() == written[0].m_abValue.GetSize() &&
                std::memcmp(again.m_abValue.GetData(), written[0].m_abValue.GetData(),
                            static_cast<size_t>(again.m_abValue.GetSize())) == 0);
    } catch (CDERDecodingException* e) {
        e->Delete();
    }
}

void check(const CCertificate& certificate, const uint8_t* data, unsigned long consumed) {
    CByteArray received;
    certificate.GetEncoding(received);
    require(static_cast<unsigned long>(received.GetSize()) == consumed &&
            std::memcmp(received.GetData(), data, consumed) == 0);
    CCertificate copy(certificate);
    require(copy == certificate);
    static_cast<void>(static_cast<CString>(certificate));
    static_cast<void>(certificate.IsSignatureOKFor(certificate) + certificate.IsSelfSigned() + certificate.IsCA() +
                      certificate.HasUnknownCriticalExtension());
    checkNames(certificate);

    CMemFile file;
    {
        CArchive out(&file, CArchive::store);
        copy.Serialize(out);
    }
    file.SeekToBegin();
    CArchive in(&file, CArchive::load);
    CCertificate loaded;
    loaded.Serialize(in);
    require(loaded == certificate);

    // Written from the fields, it reads back to them (the key length as the modulus states it).
    CByteArray written;
    try {
        CASN1_Certificate(certificate).encodeTo(written);
    } catch (CDERDecodingException* e) {
        e->Delete();
        return;
    }
    unsigned long length = 0;
    const std::unique_ptr<CCertificate> again =
        read(written.GetData(), static_cast<size_t>(written.GetSize()), &length);
    require(again != nullptr);
    again->m_wKeyBits = certificate.m_wKeyBits;
    require(*again == certificate);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned long consumed = 0;
    if (const std::unique_ptr<CCertificate> certificate = read(data, size, &consumed))
        check(*certificate, data, consumed);
    return 0;
}
