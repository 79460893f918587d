/// \file
/// CDistinguishedName: the ordered RDNs of a name (first element = first RDN of the
/// encoding), owned by the name; lookups by attribute type, display labels, subordination,
/// the e-mail identity tests and the readable texts.
#pragma once

#include "vorlan/x509/relativedn.h"

/// The ordered RDNs of a name (first element = first RDN of the encoding), owned by the name:
/// a value with deep copies.
class CDistinguishedName : public CRelativeDNArray {
public:
    /// Empty; with an address, the e-mail identity: Locality name "Internet", then the
    /// E-mail address in lower case, one RDN each.
    CDistinguishedName(const char* email = nullptr);  // NOLINT: the default constructor of arrays
    /// Deep copies of every RDN and attribute.
    CDistinguishedName(const CDistinguishedName& other);
    /// Deep copies of every RDN and attribute; the own ones are deleted.
    CDistinguishedName& operator=(const CDistinguishedName& other);
    /// The RDNs taken over; `other` is left empty.
    CDistinguishedName(CDistinguishedName&& other) noexcept;
    /// The own RDNs deleted and those of `other` taken over; `other` is left empty.
    CDistinguishedName& operator=(CDistinguishedName&& other) noexcept;
    ~CDistinguishedName() override = default;

    /// The first hit of CRelativeDN::Find, from the last RDN to the first.
    int Find(DNAttrNameEnum type, CString& value) const;
    /// From the last RDN to the first, each RDN trying the types in list order: the index in
    /// `types` of the first hit, -1 when none.
    int FindOneOf(const DNAttrNameEnum* types, int count, CString& value) const;
    /// 1 when no RDN holds an attribute.
    int IsEmpty() const;
    /// The value of the first attribute of the first RDN that has one; "<Empty>" when none.
    CString FirstAttribute() const;
    /// Short display labels: the most telling attribute (organization with its unit), or the
    /// two most telling ones joined by ", ".
    CString GetLabel() const;
    /// The two most telling attributes joined by ", ".
    CString GetLabel2() const;
    /// Label-per-line text: every attribute's "label: value\r\n", first RDN first.
    operator CString() const;  // NOLINT: the client's text conversion
    /// One line in RFC 4514 order and escaping, last attribute first: "CN=Erika, O=Vorlan Test,
    /// C=DE"; the attributes of one RDN are joined by " + ".
    CString GetOneLine() const;

    /// At least as many RDNs as `superior`, and its RDNs first, position by position.
    int IsSubordinateTo(const CDistinguishedName& superior) const;
    /// The same with more RDNs than `superior`.
    int IsStronglySubordinateTo(const CDistinguishedName& superior) const;
    /// The e-mail identity of a public certification service: exactly the two RDNs of the
    /// e-mail constructor (any address).
    int IsVeriSignImage() const;
    /// Starts with that identity for the request's e-mail address.
    int IsVeriSignResponse(const CDistinguishedName& request) const;
    /// The name has an e-mail address.
    int IsVeriSignRequestMatch() const;

private:
    void CopyFrom(const CDistinguishedName& other);
};

/// Equal RDN counts and equal RDNs position by position.
int operator==(const CDistinguishedName& a, const CDistinguishedName& b);
/// Equal names, or both with the same e-mail address.
int __isTheSameOwner(const CDistinguishedName& a, const CDistinguishedName& b);

///@{
/// Element functions that let an array hold names by value.
void ConstructElements(CDistinguishedName* elements, int count);
void DestructElements(CDistinguishedName* elements, int count);
void SerializeElements(CArchive& ar, CDistinguishedName* elements, int count);
///@}
