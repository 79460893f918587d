#include "vorlan/x509/extensions.h"

#include <memory>

#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/x509/structurecheck.h"

namespace detail {
namespace {

void ReadExtension(const CASN1Type& value, CCertificateExtension& extension) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 0, "Extension");
    const auto* identifier =
        dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(&reader.Next(kASN1ObjectIdentifier, "extnID"));
    Require(identifier != nullptr, "extnID");
    identifier->GetDecimalDottedString(extension.m_strIdentifier);
    const auto* critical = dynamic_cast<const CASN1_BOOLEAN*>(reader.Optional(kASN1Boolean));
    extension.m_bCritical = critical && critical->GetBoolean();
    const CASN1Type& octets = reader.Next(kASN1OctetString, "extnValue");
    extension.m_abValue.SetSize(static_cast<int>(octets.getClearContentsLength()));
    octets.GetClearData(extension.m_abValue.GetData(), static_cast<unsigned long>(extension.m_abValue.GetSize()), 1, 0);
    reader.End("Extension");
}

}  // namespace

void ReadExtensions(const CASN1Type& tbsCertificate, CCertificateExtensionArray& extensions) {
    extensions.RemoveAll();
    CStructureReader reader = ReaderOf(tbsCertificate, kASN1Sequence, 1, "TBSCertificate");
    reader.Optional(ASN1ContextTag(0));
    for (const char* field : {"serialNumber", "signature", "issuer", "validity", "subject", "subjectPublicKeyInfo"})
        reader.NextAny(field);
    reader.Optional(ASN1ContextTag(1));
    reader.Optional(ASN1ContextTag(2));
    const CASN1Type* tagged = reader.Optional(ASN1ContextTag(3));
    if (!tagged) return;
    Within("extensions", [&] {
        CStructureReader explicitTag = ReaderOf(*tagged, ASN1ContextTag(3), 0, "[3]");
        CStructureReader list = ReaderOf(explicitTag.Next(kASN1Sequence, "Extensions"), kASN1Sequence, 0, "Extensions");
        explicitTag.End("[3]");
        while (!list.AtEnd()) {
            CCertificateExtension extension;
            ReadExtension(list.NextAny("Extension"), extension);
            // One instance of an extension at most: two could say different things.
            for (int i = 0; i < extensions.GetSize(); ++i)
                if (extensions[i].m_strIdentifier == extension.m_strIdentifier)
                    ___throwDERDecodingException("Extension %s appears twice",
                                                 static_cast<const char*>(extension.m_strIdentifier));
            extensions.Add(extension);
        }
    });
}

int BasicConstraintsCA(const CByteArray& value) {
    CDEREncoding der(0, const_cast<BYTE*>(value.GetData()), static_cast<unsigned long>(value.GetSize()), 0, 0);
    const std::unique_ptr<CASN1Type> constraints(___buildFromEncoding(der));
    if (der.Remaining() != 0) ___throwDERDecodingException("BasicConstraints: octets after the value");
    CStructureReader reader = ReaderOf(*constraints, kASN1Sequence, 0, "BasicConstraints");
    const auto* ca = dynamic_cast<const CASN1_BOOLEAN*>(reader.Optional(kASN1Boolean));
    reader.Optional(kASN1Integer);  // pathLenConstraint
    reader.End("BasicConstraints");
    return ca && ca->GetBoolean();
}

}  // namespace detail
