// The RSA private operation x^d mod n. Its input is blinded (CRsaKeyState); the power is
// taken through the CRT values, and with the private exponent when they do not give a
// root of the input; every step on the secret numbers runs the same instructions on the
// same addresses whatever they hold (SecretModExp).
#pragma once

#include "vorlan/bignum/hugedigit.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/rsa/rsaprivatekey.h"

namespace vorlan::detail {

// x^d mod n as k big-endian octets into out, for x < n (the key's modulus, not zero).
// An even modulus has no Montgomery form: its power is taken by CHugeDigit::ModExp.
void PrivatePower(const CRSAPrivateKey& key, const CHugeDigit& x, const CHugeDigit& n, WORD k, CByteArray& out);
// x^d mod n by the private exponent alone, for x < n.
CHugeDigit PrivateExponentPower(const CRSAPrivateKey& key, const CHugeDigit& x, const CHugeDigit& n);

}  // namespace vorlan::detail
