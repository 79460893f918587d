/// \file
/// Identifier and length octets (X.690 8.1.2, 8.1.3): the bits every encoder, the decoder
/// and the structures built on them name. Values store their identifier octet with the
/// constructed bit cleared and keep the form in a flag of their own.
#pragma once

#include "vorlan/framework/types.h"

/// Class bits 8-7.
inline constexpr BYTE kASN1ClassMask = 0xC0;
inline constexpr BYTE kASN1Universal = 0x00;
inline constexpr BYTE kASN1Application = 0x40;
inline constexpr BYTE kASN1ContextSpecific = 0x80;
inline constexpr BYTE kASN1Private = 0xC0;
/// Bit 6: constructed encoding.
inline constexpr BYTE kASN1Constructed = 0x20;
/// Bits 5-1: the tag number; all five set announce the high-tag-number form, never used here.
inline constexpr BYTE kASN1TagMask = 0x1F;
inline constexpr BYTE kASN1HighTagNumber = 0x1F;

/// Universal tag numbers of the value classes.
inline constexpr BYTE kASN1Boolean = 0x01;
inline constexpr BYTE kASN1Integer = 0x02;
inline constexpr BYTE kASN1BitString = 0x03;
inline constexpr BYTE kASN1OctetString = 0x04;
inline constexpr BYTE kASN1Null = 0x05;
inline constexpr BYTE kASN1ObjectIdentifier = 0x06;
inline constexpr BYTE kASN1Enumerated = 0x0A;
inline constexpr BYTE kASN1UTF8String = 0x0C;
inline constexpr BYTE kASN1Sequence = 0x10;
inline constexpr BYTE kASN1Set = 0x11;
inline constexpr BYTE kASN1NumericString = 0x12;
inline constexpr BYTE kASN1PrintableString = 0x13;
inline constexpr BYTE kASN1T61String = 0x14;
inline constexpr BYTE kASN1IA5String = 0x16;
inline constexpr BYTE kASN1UTCTime = 0x17;
inline constexpr BYTE kASN1GeneralizedTime = 0x18;
inline constexpr BYTE kASN1VisibleString = 0x1A;
inline constexpr BYTE kASN1UniversalString = 0x1C;
inline constexpr BYTE kASN1BMPString = 0x1E;

/// First length octet: bit 8 announces the long form (low bits: count of length octets);
/// 0x80 alone is the indefinite length of a constructed encoding.
inline constexpr BYTE kASN1LongLength = 0x80;
inline constexpr BYTE kASN1IndefiniteLength = 0x80;

/// The limits every reader of DER holds an encoding to.
struct SDERLimits {
    unsigned lengthOctets;  ///< length octets after the first: lengths below 2^32
    int nestingDepth;       ///< levels of constructed encodings (real data stay far below)
};
inline constexpr SDERLimits kDERLimits{4, 128};

/// The stored identifier of an identifier octet: the constructed bit cleared.
constexpr BYTE ASN1StoredIdentifier(BYTE octet) { return static_cast<BYTE>(octet & ~kASN1Constructed); }
/// Stored identifiers of [n], [APPLICATION n] and [PRIVATE n] (n below 31).
constexpr BYTE ASN1ContextTag(unsigned number) { return static_cast<BYTE>(kASN1ContextSpecific | number); }
constexpr BYTE ASN1ApplicationTag(unsigned number) { return static_cast<BYTE>(kASN1Application | number); }
constexpr BYTE ASN1PrivateTag(unsigned number) { return static_cast<BYTE>(kASN1Private | number); }
