/// \file
/// The character string classes. They hold octets and never convert them; the
/// checked ones refuse, when decoded, contents that break their rule.
#pragma once

#include "vorlan/asn1/constructed.h"

/// T61String (TeletexString) octets, taken as they stand.
class CASN1_T61String : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_T61String() { identifier = kASN1T61String; }
    /// A copy of `size` octets.
    CASN1_T61String(const unsigned char* data, unsigned long size);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_T61String)
};

/// UTF-8 octets, taken as they stand (RFC 5280 names default to this type).
class CASN1_UTF8String : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_UTF8String() { identifier = kASN1UTF8String; }
    /// A copy of `size` octets.
    CASN1_UTF8String(const unsigned char* data, unsigned long size);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_UTF8String)
};

/// Every octet printable (0x20 to 0x7E).
class CASN1_PrintableString : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_PrintableString() { identifier = kASN1PrintableString; }
    /// A copy of `size` octets, not checked.
    CASN1_PrintableString(const unsigned char* data, unsigned long size);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_PrintableString)
    /// 1 when `value` is of this class (any identifier with anyTag) and its octets keep the rule.
    static int isValid(const CASN1Type* value, int anyTag);

protected:
    void setContents(CDEREncoding& der, unsigned long size) override;
};

/// Digits and spaces.
class CASN1_NumericString : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_NumericString() { identifier = kASN1NumericString; }
    /// A copy of `size` octets, not checked.
    CASN1_NumericString(const unsigned char* data, unsigned long size);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_NumericString)
    /// 1 when `value` is of this class (any identifier with anyTag) and its octets keep the rule.
    static int isValid(const CASN1Type* value, int anyTag);

protected:
    void setContents(CDEREncoding& der, unsigned long size) override;
};

/// Every octet printable (0x20 to 0x7E).
class CASN1_VisibleString : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_VisibleString() { identifier = kASN1VisibleString; }
    /// A copy of `size` octets, not checked.
    CASN1_VisibleString(const unsigned char* data, unsigned long size);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_VisibleString)
    /// 1 when `value` is of this class (any identifier with anyTag) and its octets keep the rule.
    static int isValid(const CASN1Type* value, int anyTag);

protected:
    void setContents(CDEREncoding& der, unsigned long size) override;
};

/// Every octet below 0x80.
class CASN1_IA5String : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_IA5String() { identifier = kASN1IA5String; }
    /// A copy of `size` octets, not checked.
    CASN1_IA5String(const unsigned char* data, unsigned long size);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_IA5String)
    /// 1 when `value` is of this class (any identifier with anyTag) and its octets keep the rule.
    static int isValid(const CASN1Type* value, int anyTag);

protected:
    void setContents(CDEREncoding& der, unsigned long size) override;
};

/// Two octets per character: an even length.
class CASN1_BMPString : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_BMPString() { identifier = kASN1BMPString; }
    /// A copy of `size` octets, not checked.
    CASN1_BMPString(const unsigned char* data, unsigned long size);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_BMPString)
    /// 1 when `value` is of this class (any identifier with anyTag) and its octets keep the rule.
    static int isValid(const CASN1Type* value, int anyTag);

protected:
    void setContents(CDEREncoding& der, unsigned long size) override;
};

/// Four octets per character: a length that is a multiple of 4.
class CASN1_UniversalString : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_UniversalString() { identifier = kASN1UniversalString; }
    /// A copy of `size` octets, not checked.
    CASN1_UniversalString(const unsigned char* data, unsigned long size);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_UniversalString)
    /// 1 when `value` is of this class (any identifier with anyTag) and its octets keep the rule.
    static int isValid(const CASN1Type* value, int anyTag);

protected:
    void setContents(CDEREncoding& der, unsigned long size) override;
};
