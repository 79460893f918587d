/// \file
/// CRelativeDN: one RDN of a distinguished name, an unordered group of attributes that it
/// owns, with a kind text that is carried along ("Set").
#pragma once

#include "vorlan/x509/attributevalue.h"

/// One RDN of a distinguished name: an unordered group of attributes that it owns (deleted with
/// it), with a kind text that is carried along ("Set"). A value with deep copies.
class CRelativeDN : public CObject {
    DECLARE_SERIAL(CRelativeDN)
public:
    /// An empty RDN of the kind given.
    CRelativeDN(const char* kind = "Set");  // NOLINT: the default constructor of the archive
    /// Deep copies: each attribute into a new object.
    CRelativeDN(const CRelativeDN& other);
    /// Deep copies, as the copy constructor makes them; the own attributes are deleted.
    CRelativeDN& operator=(const CRelativeDN& other);
    ~CRelativeDN() override = default;

    /// Appends and takes ownership; the new element's index.
    int Add(CAttributeValue* attribute);
    /// The value of the first attribute of the type, in array order: 1, else 0 (value untouched).
    int Find(DNAttrNameEnum type, CString& value) const;
    /// Each attribute's text followed by "\r\n".
    operator CString() const;  // NOLINT: the client's text conversion

    /// Octet 0, the kind, then the attribute array (count, each attribute's own form).
    void Serialize(CArchive& ar) override;

    CAttributeValueArray m_attributes;  ///< the attributes, owned
    CString m_strKind;  ///< the kind text, "Set"
};

/// The same attributes, each matched once, in any order.
int operator==(const CAttributeValueArray& a, const CAttributeValueArray& b);
/// 1 when the attributes are the same, in any order.
int operator==(const CRelativeDN& a, const CRelativeDN& b);

using CRelativeDNArray = CArray<CRelativeDN*, CRelativeDN*>;  ///< RDNs by pointer; the array owns them

/// An owning array, as for attributes.
void DestructElements(CRelativeDN** elements, int count);
/// Each RDN in its own archive form; loading creates them, owned by the array.
void SerializeElements(CArchive& ar, CRelativeDN** elements, int count);
