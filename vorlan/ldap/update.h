/// \file
/// The requests that change the directory or compare with it: modify, add, modify DN and
/// compare, with the compare response.
#pragma once

#include "vorlan/asn1/boolean.h"
#include "vorlan/ldap/search.h"
#include "vorlan/ldap/searchresult.h"

/// An attribute with its values (type and vals), as a modification carries it.
class CASN1_LDAPAttributeTypeAndValues : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPAttributeTypeAndValues, kASN1Sequence)
    LDAP_ATTRIBUTE_MEMBERS
};

/// One change of a modify request: operation (ELDAPModifyOperation) and the attribute.
class CASN1_ModificationEntry : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_ModificationEntry, kASN1Sequence)
    ASN1_MEMBER(CASN1_ENUMERATED, operation)
    ASN1_MEMBER(CASN1_LDAPAttributeTypeAndValues, modification)
};

/// The changes of a modify request, in order.
class CASN1_ModificationList : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_ModificationList, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_ModificationEntry)
};

/// ModifyRequest ::= [APPLICATION 6] SEQUENCE { object, changes } (RFC 4511 4.6).
class CASN1_ModifyRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_ModifyRequest, ASN1ApplicationTag(6))
    ASN1_MEMBER(CASN1_OCTET_STRING, object)
    ASN1_MEMBER(CASN1_ModificationList, modification)
};

/// The attributes of an add request.
class CASN1_LDAPAttributeList : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPAttributeList, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_LDAPAttributeTypeAndValues)
};

/// Attribute ::= SEQUENCE { type, vals } (RFC 4511 4.1.7).
class CASN1_LDAPAttribute : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPAttribute, kASN1Sequence)
    LDAP_ATTRIBUTE_MEMBERS
};

/// AddRequest ::= [APPLICATION 8] SEQUENCE { entry, attributes } (RFC 4511 4.7).
class CASN1_AddRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_AddRequest, ASN1ApplicationTag(8))
    ASN1_MEMBER(CASN1_OCTET_STRING, entry)
    ASN1_MEMBER(CASN1_LDAPAttributeList, attributes)
};

/// ModifyDNRequest ::= [APPLICATION 12] SEQUENCE { entry, newrdn, deleteoldrdn, newSuperior [0]
/// OPTIONAL } (RFC 4511 4.9).
class CASN1_ModifyDNRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_ModifyDNRequest, ASN1ApplicationTag(12))
    ASN1_MEMBER(CASN1_OCTET_STRING, entry)
    ASN1_MEMBER(CASN1_OCTET_STRING, newrdn)
    ASN1_MEMBER(CASN1_BOOLEAN, deleteoldrdn)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, newSuperior)
};

/// CompareRequest ::= [APPLICATION 14] SEQUENCE { entry, ava } (RFC 4511 4.10).
class CASN1_CompareRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_CompareRequest, ASN1ApplicationTag(14))
    ASN1_MEMBER(CASN1_OCTET_STRING, entry)
    ASN1_MEMBER(CASN1_LDAPAttributeValueAssertion, ava)
};

/// CompareResponse ::= [APPLICATION 15] LDAPResult, with the optional matchedSubtype of the
/// older protocol.
class CASN1_CompareResponse : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_CompareResponse, ASN1ApplicationTag(15))
    LDAP_RESULT_MEMBERS
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, matchedSubtype)
};
