/// \file
/// Key store records: CASN1_RSAKeyWithCertsAndDistinguishedName holds one RSA key (public or
/// private) with its name, the certificates that belong to it and optionally the owner's name;
/// CASN1_KCDNs, a SEQUENCE OF such records, is the key store. A record that could not be read
/// back is refused when it is built or added, never when the store is read again, so one bad
/// record cannot cost the others. The accessors go by the structure of a part, not by its class,
/// so records decoded on their own or put together from plain values answer like built ones.
#pragma once

#include "vorlan/asn1/sequence.h"
#include "vorlan/rsa/rsaprivatekey.h"
#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/distinguishedname.h"

/// One key store record: version 0, an RSA key (public or private), its name, the certificates
/// that belong to it and optionally the owner's name. The record owns its parts; accessors give
/// references into it or copies into the caller's objects, and fail with the decoding exception.
class CASN1_RSAKeyWithCertsAndDistinguishedName : public CASN1_SEQUENCE {
public:
    CASN1_RSAKeyWithCertsAndDistinguishedName() = default;
    /// Version 0, the key, the name, no certificates and the owner when there is one. An
    /// empty name or an owner whose name cannot be written raises the decoding exception.
    CASN1_RSAKeyWithCertsAndDistinguishedName(const CRSAPublicKey& key, const CString& name,
                                              const CDistinguishedName* owner);
    /// The same for a private key.
    CASN1_RSAKeyWithCertsAndDistinguishedName(const CRSAPrivateKey& key, const CString& name,
                                              const CDistinguishedName* owner);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_RSAKeyWithCertsAndDistinguishedName)

    /// Appends (ownership passes); a value that is not a certificate is deleted and refused
    /// with the decoding exception.
    void AddCertificate(CASN1_Certificate* certificate);
    ///@{
    /// The certificates, owned by the record.
    CASN1_SEQUENCE& GetCertificates();
    const CASN1_SEQUENCE& GetCertificates() const;
    ///@}
    /// The number of certificates.
    int GetCertificateCount() const { return GetCertificates().GetCount(); }
    /// Certificate `index`; the decoding exception out of range.
    const CASN1_Certificate& GetCertificate(int index) const;

    /// 1 when the key is a private key.
    int IsPrivateKey() const;
    /// 1 when the owner's name is present.
    int IsDistinguishedName() const { return GetCount() == 5; }
    /// The key of a public record, or the public part of a private one.
    void GetPublicKey(CRSAPublicKey& key) const;
    /// The key of a private record; a public record raises the decoding exception.
    void GetPrivateKey(CRSAPrivateKey& key) const;
    /// The record's name.
    CString GetName() const;
    /// The owner; the decoding exception for a record without one.
    void GetDistinguishedName(CDistinguishedName& owner) const;

    /// Version 0, an RSAPublicKey or RSAPrivateKey, a non-empty OCTET STRING name, a SEQUENCE
    /// OF certificates and an optional RDNSequence.
    static int isValid(const CASN1Type* value, int anyTag);

private:
    friend class CASN1_KCDNs;

    template <class Key>
    void build(const Key& key, const CString& name, const CDistinguishedName* owner);
    /// Gives the components of a decoded record their classes.
    void typeComponents();
};

/// The key store: a SEQUENCE OF records, each owned by the store.
class CASN1_KCDNs : public CASN1_SEQUENCE {
public:
    CASN1_KCDNs() = default;
    /// Decodes and checks every record; otherwise the value is cleared and the decoding
    /// exception says "CASN1_KCDNs contents is not valid".
    explicit CASN1_KCDNs(CDEREncoding& der);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_KCDNs)

    /// Appends a record (ownership passes); a value that is not a valid record is deleted and
    /// refused with the decoding exception.
    void AddObject(CASN1Type* record) override;

    /// Record `index`; the decoding exception out of range or when it is not a valid record.
    CASN1_RSAKeyWithCertsAndDistinguishedName& GetRecord(int index);
    /// Record `index`, likewise.
    const CASN1_RSAKeyWithCertsAndDistinguishedName& GetRecord(int index) const;
    /// The index of the first record of that name, -1 when there is none.
    int FindRecord(const CString& name) const;
    /// Deletes record `index`; the decoding exception out of range.
    void RemoveRecord(int index);

    /// 1 when `value` is a SEQUENCE of valid records, else 0.
    static int isValid(const CASN1Type* value, int anyTag);
};
