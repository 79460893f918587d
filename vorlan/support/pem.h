/// \file
/// PEM text (RFC 7468): base64 octets between "-----BEGIN label-----" and "-----END label-----"
/// lines, 64 characters a line. Decoding takes every block of a text in order and ignores text
/// around the blocks; inside a block only base64 and white space are accepted, and the END line
/// must repeat the label. A malformed block throws CFileException (invalidFile) with the reason.
#pragma once

#include "vorlan/framework/array.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/string.h"

/// One PEM block: its label and its octets.
struct SPemBlock {
    CString label;  ///< the label of the BEGIN line, "CERTIFICATE" say
    CByteArray octets;  ///< the decoded octets
};

/// The PEM block of `length` octets at `data` under `label`, lines ended by "\n";
/// CFileException (invalidFile) for a label PEM cannot carry.
CString EncodePem(const char* label, const BYTE* data, int length);
/// Appends the blocks of the text to `blocks`; returns how many it found.
int DecodePem(const char* text, int length, CArray<SPemBlock>& blocks);
