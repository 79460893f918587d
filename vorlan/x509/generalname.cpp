#include "vorlan/x509/generalname.h"

#include <memory>

#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/x509/extensions.h"
#include "vorlan/x509/rdnsequence.h"
#include "vorlan/x509/structurecheck.h"

namespace {

using vorlan::detail::CStructureReader;
using vorlan::detail::ReaderOf;
using vorlan::detail::Require;
using vorlan::detail::Within;

constexpr const char* kKindNames[] = {"otherName",  "rfc822Name",   "dNSName",
                                      "x400Address", "directoryName", "ediPartyName",
                                      "uniformResourceIdentifier", "iPAddress", "registeredID"};

// An address of IPv4 or IPv6, or (in a name constraint) either with its mask.
bool IsAddressLength(int octets) { return octets == 4 || octets == 8 || octets == 16 || octets == 32; }

// IA5 text without NUL: a NUL would let "a.example\0.evil" pass a name compared as a C string.
bool IsIA5Text(const BYTE* octets, int size) {
    for (int i = 0; i < size; ++i)
        if (octets[i] == 0 || octets[i] > 0x7F) return false;
    return true;
}

// The contents octets of a constructed value: its components' encodings.
CByteArray ConstructedContents(const CASN1_CONSTRUCTED_TYPE& value) {
    CByteArray contents;
    for (int i = 0; i < value.GetCount(); ++i) {
        CByteArray component;
        value.GetComponent(i).encodeTo(component);
        contents.Append(component);
    }
    return contents;
}

// AnotherName ::= SEQUENCE {
//      type-id    OBJECT IDENTIFIER,
//      value      [0] EXPLICIT ANY DEFINED BY type-id }
// EDIPartyName ::= SEQUENCE {
//      nameAssigner            [0]     DirectoryString OPTIONAL,
//      partyName               [1]     DirectoryString }
// ORAddress is not looked into: its contents are kept as they are.
void CheckContents(CGeneralName::EKind kind, const CASN1Type& value) {
    CStructureReader reader = ReaderOf(value, value.identifier, 0, vorlan::detail::kThisStructure);
    if (kind == CGeneralName::kOtherName) {
        reader.Next(kASN1ObjectIdentifier, "type-id");
        const CASN1Type& explicitValue = reader.Next(ASN1ContextTag(0), "value");
        CStructureReader inner = ReaderOf(explicitValue, ASN1ContextTag(0), 0, "value");
        inner.NextAny("value");
        inner.End("value");
        reader.End(vorlan::detail::kThisStructure);
    } else if (kind == CGeneralName::kEdiPartyName) {
        reader.Optional(ASN1ContextTag(0));
        reader.Next(ASN1ContextTag(1), "partyName");
        reader.End(vorlan::detail::kThisStructure);
    }
}

// The components of `contents`, a constructed value's contents, into `value`.
void AddComponents(CASN1_CONSTRUCTED_TYPE& value, const CByteArray& contents) {
    CDEREncoding der(0, const_cast<BYTE*>(contents.GetData()), static_cast<unsigned long>(contents.GetSize()), 0, 0);
    while (der.Remaining() != 0) value.AddObject(___buildFromEncoding(der));
}

}  // namespace

namespace vorlan::detail {

CByteArray PrimitiveContents(const CASN1Type& value, const char* field) {
    Require(!value.m_bConstructed, field);
    CByteArray octets;
    octets.SetSize(static_cast<int>(value.getClearContentsLength()));
    value.GetClearData(octets.GetData(), static_cast<unsigned long>(octets.GetSize()), 1, 0);
    return octets;
}

// GeneralName ::= CHOICE {
//      otherName                       [0]     AnotherName,
//      rfc822Name                      [1]     IA5String,
//      dNSName                         [2]     IA5String,
//      x400Address                     [3]     ORAddress,
//      directoryName                   [4]     Name,
//      ediPartyName                    [5]     EDIPartyName,
//      uniformResourceIdentifier       [6]     IA5String,
//      iPAddress                       [7]     OCTET STRING,
//      registeredID                    [8]     OBJECT IDENTIFIER }
// The module's tags are implicit; Name is a CHOICE, so [4] is explicit.
void ReadGeneralName(const CASN1Type& value, CGeneralName& name) {
    const BYTE tag = static_cast<BYTE>(value.identifier & kASN1TagMask);
    if ((value.identifier & kASN1ClassMask) != kASN1ContextSpecific || tag > CGeneralName::kRegisteredID)
        ___throwDERDecodingException("GeneralName: alternative of identifier 0x%02x is unknown", value.identifier);
    const auto kind = static_cast<CGeneralName::EKind>(tag);
    const char* field = kKindNames[tag];
    CGeneralName read;
    read.m_kind = kind;
    switch (kind) {
        case CGeneralName::kRfc822Name:
        case CGeneralName::kDNSName:
        case CGeneralName::kURI: {
            const CByteArray text = PrimitiveContents(value, field);
            Require(IsIA5Text(text.GetData(), text.GetSize()), field);
            read.m_strText = CString(reinterpret_cast<const char*>(text.GetData()), text.GetSize());
            break;
        }
        case CGeneralName::kIPAddress:
            read.m_abOctets = PrimitiveContents(value, field);
            Require(IsAddressLength(read.m_abOctets.GetSize()), field);
            break;
        case CGeneralName::kRegisteredID: {
            CASN1_OBJECT_IDENTIFIER identifier;
            auto* tagged = dynamic_cast<CASN1_TAGGED*>(const_cast<CASN1Type*>(&value));
            Require(tagged && !value.m_bConstructed && Within(field, [&] { return identifier.fromImplicit(*tagged); }),
                    field);
            identifier.GetDecimalDottedString(read.m_strText);
            break;
        }
        case CGeneralName::kDirectoryName:
            Within(field, [&] {
                CStructureReader wrapper = ReaderOf(value, value.identifier, 0, kThisStructure);
                const CASN1Type& rdnSequence = wrapper.Next(kASN1Sequence, "Name");
                wrapper.End(kThisStructure);
                CASN1_RDNSequence::Read(rdnSequence, read.m_directoryName);
            });
            break;
        default:  // otherName, x400Address, ediPartyName
            Within(field, [&] { CheckContents(kind, value); });
            read.m_abOctets = ConstructedContents(static_cast<const CASN1_CONSTRUCTED_TYPE&>(value));
            break;
    }
    name = std::move(read);
}

// GeneralNames ::= SEQUENCE SIZE (1..MAX) OF GeneralName
void ReadGeneralNames(const CASN1Type& value, int anyTag, CGeneralNames& names) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, "GeneralNames");
    CGeneralNames read;
    do ReadGeneralName(reader.NextAny("GeneralName"), read.emplace_back());
    while (!reader.AtEnd());
    names = std::move(read);
}

CASN1Type* NewGeneralName(const CGeneralName& name) {
    if (name.m_kind > CGeneralName::kRegisteredID)
        ___throwDERDecodingException("GeneralName cannot be written: alternative %d", name.m_kind);
    const BYTE tag = ASN1ContextTag(name.m_kind);
    const char* field = kKindNames[name.m_kind];
    auto tagged = std::make_unique<CASN1_TAGGED>(tag, 0);
    switch (name.m_kind) {
        case CGeneralName::kRfc822Name:
        case CGeneralName::kDNSName:
        case CGeneralName::kURI: {
            const auto* text = reinterpret_cast<const BYTE*>(static_cast<const char*>(name.m_strText));
            if (!IsIA5Text(text, name.m_strText.GetLength()))
                ___throwDERDecodingException("GeneralName cannot be written: %s is not IA5 text", field);
            CASN1_OCTET_STRING(text, static_cast<unsigned long>(name.m_strText.GetLength())).buildImplicitTAGGED(*tagged);
            break;
        }
        case CGeneralName::kIPAddress:
            if (!IsAddressLength(name.m_abOctets.GetSize()))
                ___throwDERDecodingException("GeneralName cannot be written: iPAddress of %d octets",
                                             name.m_abOctets.GetSize());
            CASN1_OCTET_STRING(name.m_abOctets.GetData(), static_cast<unsigned long>(name.m_abOctets.GetSize()))
                .buildImplicitTAGGED(*tagged);
            break;
        case CGeneralName::kRegisteredID:
            std::unique_ptr<CASN1_OBJECT_IDENTIFIER>(NewIdentifier(name.m_strText))->buildImplicitTAGGED(*tagged);
            break;
        case CGeneralName::kDirectoryName:
            tagged->AddObject(new CASN1_RDNSequence(name.m_directoryName));
            break;
        default:  // otherName, x400Address, ediPartyName: the contents as received
            Within(field, [&] {
                AddComponents(*tagged, name.m_abOctets);
                CheckContents(name.m_kind, *tagged);
            });
            break;
    }
    return tagged.release();
}

CASN1Type* NewGeneralNames(const CGeneralNames& names, BYTE tag) {
    if (names.empty()) ___throwDERDecodingException("GeneralNames cannot be written: no name");
    auto list = std::make_unique<CASN1_SEQUENCE>();
    for (const CGeneralName& name : names) list->AddObject(NewGeneralName(name));
    if (tag == 0) return list.release();
    auto tagged = std::make_unique<CASN1_TAGGED>(tag, 0);
    list->buildImplicitTAGGED(*tagged);
    return tagged.release();
}

}  // namespace vorlan::detail
