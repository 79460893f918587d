// Internals shared by the RSA key classes: numbers to and from the keys' big-endian
// fields, the PKCS#1 version 1.5 block layout and the archive form of right-aligned
// fields.
#pragma once

#include <cstddef>
#include <span>

#include "vorlan/bignum/hugedigit.h"
#include "vorlan/bignum/limbs.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/rsa/rsapublickey.h"

class CArchive;

namespace vorlan::detail {

// 00, block type, at least 8 padding octets, 00: the shortest padding PKCS#1 allows.
inline constexpr int kRsaBlockOverhead = 11;

// a + b, a - b (a >= b) and a * b on copies, since the big-integer operations adjust
// their operands' lengths. The sum keeps the carry out of the longer operand's top.
CHugeDigit Sum(CHugeDigit a, CHugeDigit b);
CHugeDigit Difference(CHugeDigit a, CHugeDigit b);
CHugeDigit Product(CHugeDigit a, CHugeDigit b);

// A key field as n limbs, the same steps whatever it holds (it may be secret); the OR of
// the octets beyond them, zero when the value fits.
Limb ReadLimbs(Limb* out, int n, std::span<const BYTE> field);
// The n limbs as exactly k big-endian octets (zeros in front) in out, the same steps
// whatever they hold.
void WriteLimbs(const Limb* value, int n, WORD k, CByteArray& out);
// Limbs to and from a number: n limbs, the value below 2^(64n).
CHugeDigit NumberFromLimbs(const Limb* value, int n);
void LimbsFromNumber(Limb* out, int n, const CHugeDigit& value);

// A big-endian octet string as a number: only its last kFieldSize octets count.
CHugeDigit ReadNumber(const BYTE* data, std::size_t len);
CHugeDigit ReadNumber(const CByteArray& octets);
// The value as exactly k big-endian octets (zeros in front) in out.
void WriteNumber(const CHugeDigit& value, WORD k, CByteArray& out);

// Throws the unlock exception with `reason` unless 0 < n and m <= n.
void CheckOperand(const CHugeDigit& m, const CHugeDigit& n, const char* reason);

// Lays out 00, blockType, padding, 00, data in k octets of out and returns the
// padding run for the caller to fill. Throws `reason` when len + 11 > k.
std::span<BYTE> FormatBlock(const unsigned char* data, unsigned long len, WORD k, BYTE blockType, CByteArray& out,
                            const char* reason);

enum class EBlockPadding {
    Constant,  // block types 0 and 1: a run of 0x00 or 0xFF octets
    NonZero,   // block type 2: random octets up to the first zero
};
// Parses the block in the last (bits + 7) / 8 octets of `in`; reads nothing outside
// `in`. Returns 1 with the data in out, 0 on any format error.
int ParseBlock(const CByteArray& in, WORD bits, BYTE blockType, EBlockPadding padding, CByteArray& out);

// Key unwrapping that tells nothing about the block: fills `out` with the last out.size()
// octets of `block` when it is 00 02, non-zero padding, 00 and exactly that many octets,
// and with `fallback` (as long as out) otherwise. The lengths are public; every octet of
// the block is read the same way whatever it holds, and neither a branch nor an address
// depends on one. The caller sees to out.size() + 11 <= block.size().
void SelectWrappedKey(std::span<const BYTE> block, std::span<const BYTE> fallback, std::span<BYTE> out);

// Whether the big-endian field's value fits in its last `len` octets.
bool FitsIn(std::span<const BYTE> field, std::size_t len);

// Archive form of a big-endian, right-aligned field: `len` octets stored, read back
// into the end of `field` with zeros in front (len <= field.size()).
void ReadRightAligned(CArchive& ar, std::span<BYTE> field, std::size_t len);

}  // namespace vorlan::detail
