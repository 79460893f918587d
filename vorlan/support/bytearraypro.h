/// \file
/// CByteArrayPro: an octet array whose buffer can be handed over to the caller.
#pragma once

#include "vorlan/framework/bytearray.h"

/// An octet array whose buffer can be handed over to the caller (Detach).
class CByteArrayPro : public CByteArray {
public:
    CByteArrayPro() = default;
    /// Returns the buffer (new[]-allocated) and leaves the array empty; the caller owns it.
    unsigned char* Detach();
};
