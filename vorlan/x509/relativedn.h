/// \file
/// CRelativeDN: one RDN of a distinguished name, an unordered group of attributes that it
/// owns, with a kind text that is carried along ("Set").
#pragma once

#include "vorlan/x509/attributevalue.h"

class CRelativeDN : public CObject {
    DECLARE_SERIAL(CRelativeDN)
public:
    CRelativeDN(const char* kind = "Set");  // NOLINT: the default constructor of the archive
    /// Deep copies: each attribute into a new object.
    CRelativeDN(const CRelativeDN& other);
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

    CAttributeValueArray m_attributes;
    CString m_strKind;
};

/// The same attributes, each matched once, in any order.
int operator==(const CAttributeValueArray& a, const CAttributeValueArray& b);
int operator==(const CRelativeDN& a, const CRelativeDN& b);

using CRelativeDNArray = CArray<CRelativeDN*, CRelativeDN*>;

/// An owning array, as for attributes.
void DestructElements(CRelativeDN** elements, int count);
void SerializeElements(CArchive& ar, CRelativeDN** elements, int count);
