#include "vorlan/store/keystore.h"

#include <memory>
#include <type_traits>
#include <utility>

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/x509/privatekey.h"
#include "vorlan/x509/publickey.h"
#include "vorlan/x509/rdnsequence.h"
#include "vorlan/x509/structurecheck.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_RSAKeyWithCertsAndDistinguishedName, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_KCDNs, CASN1_CONSTRUCTED_TYPE)

namespace {

enum ERecordComponent { kVersion, kKey, kName, kCertificates, kOwner };

void CheckRecord(const CASN1Type& value, int anyTag) {
    vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(value, kASN1Sequence, anyTag, "key store record");
    unsigned long number = 1;
    vorlan::detail::Require(
        vorlan::detail::NextOf<CASN1_INTEGER>(reader, kASN1Integer, "version").GetInteger(number) && number == 0,
        "version");
    const CASN1Type& key = reader.Next(kASN1Sequence, "key");
    vorlan::detail::Require(CASN1_PublicKey::isValid(&key, 0) || CASN1_PrivateKey::isValid(&key, 0), "key");
    const CASN1Type& name = reader.Next(kASN1OctetString, "name");
    vorlan::detail::Require(name.getClearContentsLength() > 0, "name");
    const auto& certificates = reader.Next(kASN1Sequence, "certificates");
    vorlan::detail::Within("certificates", [&] {
        vorlan::detail::CStructureReader each = vorlan::detail::ReaderOf(certificates, kASN1Sequence, 0, vorlan::detail::kThisStructure);
        while (!each.AtEnd())
            vorlan::detail::Require(CASN1_Certificate::isValid(&each.NextAny("certificate"), 0), "certificate");
    });
    if (const CASN1Type* owner = reader.Optional(kASN1Sequence))
        vorlan::detail::Require(CASN1_RDNSequence::isValid(owner, 0), "owner");
    reader.End(vorlan::detail::kThisStructure);
}

// Component `index` of `parent` turned into a T in place when the decoder made it a plain value.
template <class T>
void TypeComponent(CASN1_CONSTRUCTED_TYPE& parent, int index) {
    vorlan::detail::TypedComponent<T>(parent, index, "component");
}

}  // namespace

template <class Key>
void CASN1_RSAKeyWithCertsAndDistinguishedName::build(const Key& key, const CString& name,
                                                      const CDistinguishedName* owner) {
    if (name.IsEmpty()) ___throwDERDecodingException("key store record cannot be written: empty name");
    AddObject(new CASN1_INTEGER(0ul));
    if constexpr (std::is_same_v<Key, CRSAPrivateKey>)
        AddObject(new CASN1_PrivateKey(key));
    else
        AddObject(new CASN1_PublicKey(key));
    AddObject(new CASN1_OCTET_STRING(name));
    AddObject(new CASN1_SEQUENCE);
    if (owner) AddObject(new CASN1_RDNSequence(*owner));
    vorlan::detail::Within("key store record cannot be written", [&] { CheckRecord(*this, 0); });
}

CASN1_RSAKeyWithCertsAndDistinguishedName::CASN1_RSAKeyWithCertsAndDistinguishedName(const CRSAPublicKey& key,
                                                                                     const CString& name,
                                                                                     const CDistinguishedName* owner) {
    build(key, name, owner);
}

CASN1_RSAKeyWithCertsAndDistinguishedName::CASN1_RSAKeyWithCertsAndDistinguishedName(const CRSAPrivateKey& key,
                                                                                     const CString& name,
                                                                                     const CDistinguishedName* owner) {
    build(key, name, owner);
}

void CASN1_RSAKeyWithCertsAndDistinguishedName::AddCertificate(CASN1_Certificate* certificate) {
    std::unique_ptr<CASN1_Certificate> owned(certificate);
    vorlan::detail::Require(owned && CASN1_Certificate::isValid(owned.get(), 0), "certificate");
    GetCertificates().AddObject(owned.release());
}

CASN1_SEQUENCE& CASN1_RSAKeyWithCertsAndDistinguishedName::GetCertificates() {
    return const_cast<CASN1_SEQUENCE&>(std::as_const(*this).GetCertificates());
}

// The accessors go by the structure of a part, not by its class: a record decoded as a plain
// SEQUENCE or assembled with AddObject from plain values holds universal values, which are
// given their structure's class in place when a typed part is asked for.
const CASN1_SEQUENCE& CASN1_RSAKeyWithCertsAndDistinguishedName::GetCertificates() const {
    return vorlan::detail::TypedComponent<CASN1_SEQUENCE>(*this, kCertificates, "certificates");
}

const CASN1_Certificate& CASN1_RSAKeyWithCertsAndDistinguishedName::GetCertificate(int index) const {
    const CASN1_SEQUENCE& certificates = GetCertificates();
    vorlan::detail::Require(CASN1_Certificate::isValid(&certificates.GetComponent(index), 0), "certificate");
    return vorlan::detail::TypedComponent<CASN1_Certificate>(certificates, index, "certificate");
}

int CASN1_RSAKeyWithCertsAndDistinguishedName::IsPrivateKey() const {
    return CASN1_PrivateKey::isValid(&GetComponent(kKey), 0);
}

void CASN1_RSAKeyWithCertsAndDistinguishedName::GetPublicKey(CRSAPublicKey& key) const {
    if (CASN1_PublicKey::isValid(&GetComponent(kKey), 0)) {
        vorlan::detail::TypedComponent<CASN1_PublicKey>(*this, kKey, "key").SetDataTo(key);
        return;
    }
    CRSAPrivateKey privateKey;
    GetPrivateKey(privateKey);
    key = privateKey;
}

void CASN1_RSAKeyWithCertsAndDistinguishedName::GetPrivateKey(CRSAPrivateKey& key) const {
    if (!IsPrivateKey()) ___throwDERDecodingException("key store record holds no private key");
    vorlan::detail::TypedComponent<CASN1_PrivateKey>(*this, kKey, "key").SetDataTo(key);
}

CString CASN1_RSAKeyWithCertsAndDistinguishedName::GetName() const {
    CString name;
    GetComponent(kName).GetString(name);
    return name;
}

void CASN1_RSAKeyWithCertsAndDistinguishedName::GetDistinguishedName(CDistinguishedName& owner) const {
    if (!IsDistinguishedName()) ___throwDERDecodingException("key store record has no owner");
    CASN1_RDNSequence::Read(GetComponent(kOwner), owner);
}

int CASN1_RSAKeyWithCertsAndDistinguishedName::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { CheckRecord(*value, anyTag); });
}

void CASN1_RSAKeyWithCertsAndDistinguishedName::typeComponents() {
    if (CASN1_PublicKey::isValid(&GetComponent(kKey), 0))
        TypeComponent<CASN1_PublicKey>(*this, kKey);
    else
        TypeComponent<CASN1_PrivateKey>(*this, kKey);
    TypeComponent<CASN1_SEQUENCE>(*this, kCertificates);
    CASN1_SEQUENCE& certificates = GetCertificates();
    for (int i = 0; i < certificates.GetCount(); ++i) TypeComponent<CASN1_Certificate>(certificates, i);
    if (IsDistinguishedName()) TypeComponent<CASN1_RDNSequence>(*this, kOwner);
}

CASN1_KCDNs::CASN1_KCDNs(CDEREncoding& der) {
    decodeFrom(der);
    try {
        vorlan::detail::ReaderOf(*this, kASN1Sequence, 0, "CASN1_KCDNs");
        for (int i = 0; i < GetCount(); ++i) {
            vorlan::detail::Within("record", [&] { CheckRecord(GetComponent(i), 0); });
            vorlan::detail::TypedComponent<CASN1_RSAKeyWithCertsAndDistinguishedName>(*this, i, "record");
            GetRecord(i).typeComponents();
        }
    } catch (CDERDecodingException*) {
        clear();
        ___throwDERDecodingException("CASN1_KCDNs contents is not valid");
    }
}

void CASN1_KCDNs::AddObject(CASN1Type* record) {
    std::unique_ptr<CASN1Type> owned(record);
    vorlan::detail::Require(owned && CASN1_RSAKeyWithCertsAndDistinguishedName::isValid(owned.get(), 0), "key store record");
    CASN1_SEQUENCE::AddObject(owned.release());
    const int last = GetCount() - 1;
    vorlan::detail::TypedComponent<CASN1_RSAKeyWithCertsAndDistinguishedName>(*this, last, "record");
    GetRecord(last).typeComponents();
}

CASN1_RSAKeyWithCertsAndDistinguishedName& CASN1_KCDNs::GetRecord(int index) {
    return const_cast<CASN1_RSAKeyWithCertsAndDistinguishedName&>(std::as_const(*this).GetRecord(index));
}

const CASN1_RSAKeyWithCertsAndDistinguishedName& CASN1_KCDNs::GetRecord(int index) const {
    vorlan::detail::Require(CASN1_RSAKeyWithCertsAndDistinguishedName::isValid(&GetComponent(index), 0), "record");
    return vorlan::detail::TypedComponent<CASN1_RSAKeyWithCertsAndDistinguishedName>(*this, index, "record");
}

int CASN1_KCDNs::FindRecord(const CString& name) const {
    for (int i = 0; i < GetCount(); ++i)
        if (GetRecord(i).GetName() == name) return i;
    return -1;
}

void CASN1_KCDNs::RemoveRecord(int index) {
    GetComponent(index);           // bounds
    m_components.RemoveAt(index);  // the array's element functions delete the record
}

int CASN1_KCDNs::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(*value, kASN1Sequence, anyTag, "CASN1_KCDNs");
        while (!reader.AtEnd()) CheckRecord(reader.NextAny("record"), 0);
    });
}
