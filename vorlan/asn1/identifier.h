/// \file
/// Identifier and length octets (X.690 8.1.2, 8.1.3): the bits every encoder, the decoder
/// and the structures built on them name. Values store their identifier octet with the
/// constructed bit cleared and keep the form in a flag of their own.
#pragma once

#include "vorlan/framework/types.h"

/// Class bits 8-7.
inline constexpr BYTE kASN1ClassMask = 0xC0;
inline constexpr BYTE kASN1Universal = 0x00;  ///< class universal
inline constexpr BYTE kASN1Application = 0x40;  ///< class application
inline constexpr BYTE kASN1ContextSpecific = 0x80;  ///< class context-specific
inline constexpr BYTE kASN1Private = 0xC0;  ///< class private
/// Bit 6: constructed encoding.
inline constexpr BYTE kASN1Constructed = 0x20;
/// Bits 5-1: the tag number; all five set announce the high-tag-number form, never used here.
inline constexpr BYTE kASN1TagMask = 0x1F;
/// the high-tag-number form's tag bits (refused when decoding)
inline constexpr BYTE kASN1HighTagNumber = 0x1F;

/// Universal tag numbers of the value classes.
inline constexpr BYTE kASN1Boolean = 0x01;
inline constexpr BYTE kASN1Integer = 0x02;  ///< INTEGER
inline constexpr BYTE kASN1BitString = 0x03;  ///< BIT STRING
inline constexpr BYTE kASN1OctetString = 0x04;  ///< OCTET STRING
inline constexpr BYTE kASN1Null = 0x05;  ///< NULL
inline constexpr BYTE kASN1ObjectIdentifier = 0x06;  ///< OBJECT IDENTIFIER
inline constexpr BYTE kASN1Enumerated = 0x0A;  ///< ENUMERATED
inline constexpr BYTE kASN1UTF8String = 0x0C;  ///< UTF8String
inline constexpr BYTE kASN1Sequence = 0x10;  ///< SEQUENCE and SEQUENCE OF
inline constexpr BYTE kASN1Set = 0x11;  ///< SET and SET OF
inline constexpr BYTE kASN1NumericString = 0x12;  ///< NumericString
inline constexpr BYTE kASN1PrintableString = 0x13;  ///< PrintableString
inline constexpr BYTE kASN1T61String = 0x14;  ///< T61String (TeletexString)
inline constexpr BYTE kASN1IA5String = 0x16;  ///< IA5String
inline constexpr BYTE kASN1UTCTime = 0x17;  ///< UTCTime
inline constexpr BYTE kASN1GeneralizedTime = 0x18;  ///< GeneralizedTime
inline constexpr BYTE kASN1VisibleString = 0x1A;  ///< VisibleString
inline constexpr BYTE kASN1UniversalString = 0x1C;  ///< UniversalString
inline constexpr BYTE kASN1BMPString = 0x1E;  ///< BMPString

/// First length octet: bit 8 announces the long form (low bits: count of length octets);
/// 0x80 alone is the indefinite length of a constructed encoding.
inline constexpr BYTE kASN1LongLength = 0x80;
inline constexpr BYTE kASN1IndefiniteLength = 0x80;  ///< the first length octet of an indefinite length

/// The limits every reader of DER holds an encoding to.
struct SDERLimits {
    unsigned lengthOctets;  ///< length octets after the first: lengths below 2^32
    int nestingDepth;       ///< levels of constructed encodings (real data stay far below)
};
inline constexpr SDERLimits kDERLimits{4, 128};  ///< the limits: lengths of up to 4 octets, 128 levels

/// The stored identifier of an identifier octet: the constructed bit cleared.
constexpr BYTE ASN1StoredIdentifier(BYTE octet) { return static_cast<BYTE>(octet & ~kASN1Constructed); }
/// Stored identifiers of [n], [APPLICATION n] and [PRIVATE n] (n below 31).
constexpr BYTE ASN1ContextTag(unsigned number) { return static_cast<BYTE>(kASN1ContextSpecific | number); }
/// [APPLICATION number].
constexpr BYTE ASN1ApplicationTag(unsigned number) { return static_cast<BYTE>(kASN1Application | number); }
/// [PRIVATE number].
constexpr BYTE ASN1PrivateTag(unsigned number) { return static_cast<BYTE>(kASN1Private | number); }
