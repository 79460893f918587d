/// \file
/// CRSAKeyPair: a CRSAPrivateKey whose constructor generates a new key of 4 to 4,096
/// bits (two primes from incremental searches with random starts, the public exponent
/// 3 or 65537, the CRT values). Generation reports progress, keeps the calling thread's
/// messages serviced and can be cancelled from another thread.
#pragma once

#include "vorlan/bignum/hugedigit.h"
#include "vorlan/rsa/rsaprivatekey.h"

class CProgress;

/// A CRSAPrivateKey whose constructor generates a new key of 4 to 4,096 bits, public exponent 3
/// or 65537, reporting progress and cancellable from another thread.
class CRSAKeyPair : public CRSAPrivateKey {
public:
    /// useF4 non-zero: public exponent 65537, else 3. The seed feeds the random start of
    /// each prime search. Throws CUnlockException for an unsupported size or a failed
    /// search and CKillThreadException when cancelled; progress may be null.
    CRSAKeyPair(unsigned short bits, int useF4, const unsigned char* seed, unsigned short seedLen, CProgress* progress);
    /// A copy of the key.
    CRSAKeyPair(const CRSAKeyPair& other) = default;
    /// Copies the key.
    CRSAKeyPair& operator=(const CRSAKeyPair& other) = default;

    /// Encrypts and decrypts, then signs and verifies, `trials` random 24-octet messages
    /// with the key's n, e and d; returns the number of checks that did not give the
    /// message back (stopping at the first when stopAtFirstFailure is non-zero).
    unsigned short TestKeys(unsigned short trials, CProgress* progress, int stopAtFirstFailure) const;

protected:
    /// A probable prime of the form a + k*d at or above a random start a in [b, c], a
    /// made odd; throws CUnlockException when the search passes c - d.
    static CHugeDigit PrimeNumber(const CHugeDigit& b, const CHugeDigit& c, DWORD d, const unsigned char* seed,
                                  unsigned short seedLen, CProgress* progress);

private:
    /// A prime of exactly `primeBits` bits, its top two bits set, with gcd(p - 1, e) = 1.
    static CHugeDigit SearchPrime(unsigned short primeBits, const CHugeDigit& e, const unsigned char* seed,
                                  unsigned short seedLen, CProgress* progress);
};
