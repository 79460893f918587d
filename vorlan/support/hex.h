/// \file
/// Hexadecimal conversions of octet strings.
#pragma once

#include "vorlan/framework/string.h"

///@{
/// 1 when there is at least one character and every one is a hexadecimal digit, else 0.
int IsHexCharsString(const unsigned char* chars, int count);
int IsHexCharsString(const CString& text);
///@}
/// Two upper-case digits per octet, no separators.
CString OctetsToHexChars(const unsigned char* octets, int count);
/// '0'-'9' give 0-9, any other character its lower case minus 87; no validation.
unsigned char HexCharToDigit(char ch);
/// Right-aligned into outLength octets: zeros in front, or the leading octets dropped.
void HexCharsToOctets(const CString& hex, unsigned char* out, int outLength);
