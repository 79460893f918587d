#include "vorlan/x509/extensions.h"

#include <algorithm>
#include <string>
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

// Octets of an extnID at most: identifiers come nowhere near (a UUID arc takes 19), and the
// dotted text of a longer one would cost time growing with the square of its length.
constexpr int kMaxIdentifierOctets = 64;

void ReadExtension(const CASN1Type& value, CCertificateExtension& extension) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 0, "Extension");
    const auto& identifier = NextOf<CASN1_OBJECT_IDENTIFIER>(reader, kASN1ObjectIdentifier, "extnID");
    Require(identifier.GetSize() <= kMaxIdentifierOctets, "extnID");
    identifier.GetDecimalDottedString(extension.m_strIdentifier);
    const auto* critical = dynamic_cast<const CASN1_BOOLEAN*>(reader.Optional(kASN1Boolean));
    extension.m_bCritical = critical && critical->GetBoolean();
    const CASN1Type& octets = reader.Next(kASN1OctetString, "extnValue");
    extension.m_abValue.SetSize(static_cast<int>(octets.getClearContentsLength()));
    octets.GetClearData(extension.m_abValue.GetData(), static_cast<unsigned long>(extension.m_abValue.GetSize()), 1, 0);
    reader.End("Extension");
}

}  // namespace

CASN1_OBJECT_IDENTIFIER* NewIdentifier(const CString& dotted) {
    // Arcs as decimal texts of any length, as they are read: each turned into base-128 groups by
    // long division.
    std::vector<std::string> arcs(1);
    for (const char c : dotted.str()) {
        if (c == '.')
            arcs.emplace_back();
        else
            arcs.back() += c;
    }
    const auto canonical = [](const std::string& arc) {
        return !arc.empty() && arc.find_first_not_of("0123456789") == std::string::npos && (arc == "0" || arc[0] != '0');
    };
    // The decoder takes a first subidentifier of one octet: 0.0 to 2.39.
    if (arcs.size() < 2 || !std::all_of(arcs.begin(), arcs.end(), canonical) || arcs[0].size() > 1 || arcs[0][0] > '2' ||
        arcs[1].size() > 2 || std::stoi(arcs[1]) >= 40)
        ___throwDERDecodingException("Object identifier %s cannot be written", static_cast<const char*>(dotted));
    auto identifier = std::make_unique<CASN1_OBJECT_IDENTIFIER>(static_cast<unsigned char>(arcs[0][0] - '0'),
                                                                static_cast<unsigned char>(std::stoi(arcs[1])));
    for (std::size_t i = 2; i < arcs.size(); ++i) {
        std::vector<BYTE> groups;
        for (std::string digits = arcs[i]; !digits.empty();) {
            std::string quotient;
            int rest = 0;
            for (const char c : digits) {
                rest = rest * 10 + (c - '0');
                if (!quotient.empty() || rest >= 128) quotient += static_cast<char>('0' + rest / 128);
                rest %= 128;
            }
            groups.insert(groups.begin(), static_cast<BYTE>(rest));
            digits = quotient;
        }
        for (std::size_t g = 0; g < groups.size(); ++g)
            identifier->Add(static_cast<BYTE>(groups[g] | (g + 1 < groups.size() ? 0x80 : 0)));
    }
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
