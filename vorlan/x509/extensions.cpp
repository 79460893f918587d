#include "vorlan/x509/extensions.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/x509/structurecheck.h"

void SerializeElements(CArchive& ar, CCertificateExtension* elements, int count) {
    for (int i = 0; i < count; ++i) {
        CCertificateExtension& extension = elements[i];
        BYTE critical = extension.m_bCritical != 0;
        if (ar.IsStoring()) {
            ar << extension.m_strIdentifier << critical;
        } else {
            ar >> extension.m_strIdentifier >> critical;
            if (critical > 1) AfxThrowArchiveException(CArchiveException::generic);
            extension.m_bCritical = critical;
        }
        extension.m_abValue.Serialize(ar);
    }
}

namespace vorlan::detail {
namespace {

void ReadExtension(const CASN1Type& value, CCertificateExtension& extension) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 0, "Extension");
    NextOf<CASN1_OBJECT_IDENTIFIER>(reader, kASN1ObjectIdentifier, "extnID").GetDecimalDottedString(extension.m_strIdentifier);
    const auto* critical = dynamic_cast<const CASN1_BOOLEAN*>(reader.Optional(kASN1Boolean));
    extension.m_bCritical = critical && critical->GetBoolean();
    const CASN1Type& octets = reader.Next(kASN1OctetString, "extnValue");
    extension.m_abValue.SetSize(static_cast<int>(octets.getClearContentsLength()));
    octets.GetClearData(extension.m_abValue.GetData(), static_cast<unsigned long>(extension.m_abValue.GetSize()), 1, 0);
    reader.End("Extension");
}

}  // namespace

CASN1_OBJECT_IDENTIFIER* NewIdentifier(const CString& dotted) {
    std::vector<unsigned long> arcs;
    bool sound = true;
    for (const char* at = dotted;; ++at) {
        char* after = nullptr;
        errno = 0;
        arcs.push_back(std::strtoul(at, &after, 10));
        sound = *at >= '0' && *at <= '9' && errno == 0 && (*after == '.' || *after == '\0');
        if (!sound || *after == '\0') break;
        at = after;
    }
    if (!sound || arcs.size() < 2 || arcs[0] > 2 || arcs[1] >= 40)
        ___throwDERDecodingException("Object identifier %s cannot be written", static_cast<const char*>(dotted));
    auto identifier = std::make_unique<CASN1_OBJECT_IDENTIFIER>(static_cast<unsigned char>(arcs[0]),
                                                                static_cast<unsigned char>(arcs[1]));
    for (std::size_t i = 2; i < arcs.size(); ++i) identifier->AddIDComponent(arcs[i]);
    return identifier.release();
}

void ReadTaggedExtensions(const CASN1Type& tagged, BYTE tag, const char* name, CCertificateExtensionArray& extensions) {
    CStructureReader explicitTag = ReaderOf(tagged, tag, 0, name);
    const CASN1Type& list = explicitTag.Next(kASN1Sequence, "Extensions");
    ReaderOf(list, kASN1Sequence, 0, "Extensions");  // its own failure first, as the order of the fields has it
    explicitTag.End(name);
    ReadExtensionList(list, extensions);
}

void ReadExtensionList(const CASN1Type& value, CCertificateExtensionArray& extensions) {
    CStructureReader list = ReaderOf(value, kASN1Sequence, 0, "Extensions");
    CCertificateExtensionArray read;
    while (!list.AtEnd()) {
        CCertificateExtension extension;
        ReadExtension(list.NextAny("Extension"), extension);
        // One instance of an extension at most: two could say different things.
        for (int i = 0; i < read.GetSize(); ++i)
            if (read[i].m_strIdentifier == extension.m_strIdentifier)
                ___throwDERDecodingException("Extension %s appears twice",
                                             static_cast<const char*>(extension.m_strIdentifier));
        read.Add(extension);
    }
    extensions.Copy(read);
}

CASN1_SEQUENCE* NewExtensionList(const CCertificateExtensionArray& extensions) {
    auto list = std::make_unique<CASN1_SEQUENCE>();
    for (int i = 0; i < extensions.GetSize(); ++i) {
        const CCertificateExtension& extension = extensions[i];
        auto value = std::make_unique<CASN1_SEQUENCE>();
        value->AddObject(NewIdentifier(extension.m_strIdentifier));
        if (extension.m_bCritical) value->AddObject(new CASN1_BOOLEAN(1));
        value->AddObject(new CASN1_OCTET_STRING(extension.m_abValue.GetData(),
                                                static_cast<unsigned long>(extension.m_abValue.GetSize())));
        list->AddObject(value.release());
    }
    return list.release();
}

}  // namespace vorlan::detail
