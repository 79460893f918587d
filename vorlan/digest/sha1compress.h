// The SHA-1 compression function over whole 64-octet blocks: a portable version and
// one using the processor's SHA instructions, chosen once at run time.
#pragma once

#include <cstdint>

#include "vorlan/digest/shainstructions.h"

namespace vorlan::detail {

using Sha1CompressFunction = void (*)(std::uint32_t (&state)[5], const unsigned char* data, int blocks);

void Sha1CompressPortable(std::uint32_t (&state)[5], const unsigned char* data, int blocks);
// Only to be called when HasShaInstructions() is true.
void Sha1CompressShaNi(std::uint32_t (&state)[5], const unsigned char* data, int blocks);
// The fastest version this processor runs.
Sha1CompressFunction Sha1Compressor();

}  // namespace vorlan::detail
