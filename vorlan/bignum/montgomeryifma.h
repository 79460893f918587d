// Secret modular exponentiation on 52-bit digits with AVX-512 IFMA (vpmadd52luq/huq), for
// processors that have it: the operands are converted once before and once after, and in
// between the products are almost Montgomery products (results below 2m, not m) whose
// digits are normalised without a branch. Like the kernels on 64-bit limbs, nothing
// branches on the values and every table entry is read.
#pragma once

#include "vorlan/bignum/secretmodexp.h"

namespace vorlan::detail {

// Whether this processor runs AVX-512 IFMA (and the operating system saves its registers).
bool HasIfma();
// The limb counts of the IFMA products: RSA's primes of 512 to 2,048 bits.
bool HasIfmaLength(int n);
// Whether the IFMA exponentiation runs here for a domain of n limbs.
bool HasIfmaPowers(int n);

// As SecretModExp and SecretModExpPair, on 52-bit digits, the pair's products interleaved;
// only to be called when HasIfmaPowers(n) for the domains' length n.
void IfmaSecretModExp(const CSecretPower (&one)[1], int ebits);
void IfmaSecretModExp(const CSecretPower (&pair)[2], int ebits);

// The Montgomery product a*b/2^(52d) modulo m on 52-bit digits, below 2m for a and b below 2m
// and 4m < 2^(52d), d the count of digits. Digits are held in whole vectors of 8, the
// unused ones zero; k0 = -m^-1 mod 2^52. Only when HasIfma() and HasIfmaLength(n), for
// d = IfmaDigits(n).
using AlmostMontgomeryFunction = void (*)(Limb* r, const Limb* a, const Limb* b, const Limb* m, Limb k0);
AlmostMontgomeryFunction IfmaAlmostMontgomery(int n);
// The digits of 52 bits that hold n limbs with two bits to spare.
constexpr int IfmaDigits(int n) { return (64 * n + 2 + 51) / 52; }
// The digits of a value, rounded up to whole vectors.
constexpr int IfmaLanes(int n) { return (IfmaDigits(n) + 7) / 8 * 8; }

// The 52-bit digits of the n limbs of a (d of them, lanes up to a multiple of 8 zero), and back.
void DigitsFromLimbs52(Limb* digits, int d, const Limb* a, int n);
void LimbsFromDigits52(Limb* a, int n, const Limb* digits, int d);

}  // namespace vorlan::detail
