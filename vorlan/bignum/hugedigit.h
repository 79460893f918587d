/// \file
/// CHugeDigit: the library's unsigned big integer, a fixed array of 32-bit digits
/// (least significant first) with a digit count. No operation allocates; every outer
/// loop of the arithmetic is a cancellation point (__checkKillThreadFlag).
#pragma once

#include "vorlan/framework/types.h"

/// The library's unsigned big integer: 513 32-bit digits (least significant first) and a digit
/// count, a plain value wiped when it dies. No operation allocates; failures are
/// CNotSupportedException* (sizes, zero divisors) and CKillThreadException* (cancellation).
class CHugeDigit {
public:
    /// 513 digits: the 2n+1 digits of a product of two 256-digit numbers.
    static constexpr int kMaxDigits = 513;
    /// Operands of products and of the modular operations: at most 256 digits.
    static constexpr int kMaxOperandDigits = 256;

    /// Length 64, value zero.
    CHugeDigit();
    /// Length 1, digit 0 = v.
    CHugeDigit(DWORD v);
    /// Length n (at least 1), digit 0 = v, the others zero.
    CHugeDigit(WORD n, DWORD v);
    /// Copies the length and the digits below it.
    CHugeDigit(const CHugeDigit& other);
    /// The digits may hold private values: they are wiped.
    ~CHugeDigit();

    /// Copies the length and the digits below it.
    const CHugeDigit& operator=(const CHugeDigit& other);
    /// Length 1, digit 0 = v.
    const CHugeDigit& operator=(DWORD v);

    /// Digit i; no bound check.
    DWORD& operator[](int i) { return digits[i]; }
    /// Digit i; no bound check.
    DWORD operator[](int i) const { return digits[i]; }

    /// The digit count, significant or not.
    WORD GetLength() const { return length; }
    /// The digits, least significant first.
    const DWORD* GetDigits() const { return digits; }
    /// Zero-extends when growing; shrinking leaves the digits above in place.
    /// Throws CNotSupportedException for a count outside 0..kMaxDigits.
    void SetLength(short n);
    /// Digits below the length set to zero; the length is kept.
    void AssignZero();
    /// Digits below the length cleared, then bit n set; the length is kept, so the
    /// caller makes it larger than n/32 first.
    void Assign2Exp(WORD n);
    /// Length = count of significant digits, at least 1.
    void DoCompact();

    /// 1 when the number is even.
    int EVEN() const;
    /// 1 when the number is zero.
    int Zero() const;
    /// Significant digits, 0 for zero.
    WORD Digits() const;
    /// Significant bits, 0 for zero.
    WORD Bits() const;

    /// Fills the current length's digits from the end of a big-endian octet string
    /// (leading octets beyond them are ignored, missing ones are zero), then compacts.
    void Decode(const unsigned char* data, WORD len);
    /// Writes exactly len big-endian octets: zeros in front, high octets dropped.
    void Encode(unsigned char* out, WORD len) const;

    /// Trial division by the table below (with Div); 1 at the first zero remainder.
    int HasSmallPrimesFactor() const;
    /// 2^n mod n == 2, n being this number.
    int PassedFermatTest() const;
    /// 0 when a table entry divides the number, else the Fermat test above.
    int IsProbablePrime() const;

    /// The trial divisors. 33 and 39 stand in the table and 2 does not: the primality
    /// tests keep the original table so that they answer as before.
    static constexpr WORD kSmallPrimes[16] = {3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 33, 37, 39, 41, 43, 47};

    ///@{
    /// Arithmetic. Results are compact. Add and Sub first zero-extend both operands to
    /// the longer length and work modulo 2^(32*length) (carry or borrow out of the top
    /// is dropped); Mult leaves both operands compact. CNotSupportedException is thrown
    /// for a zero divisor or modulus, a product of Mult beyond kMaxDigits and a modulus
    /// of ModExp beyond kMaxOperandDigits, instead of writing past the digits.
    static CHugeDigit Add(CHugeDigit& a, CHugeDigit& b);
    static CHugeDigit Sub(CHugeDigit& a, CHugeDigit& b);
    static CHugeDigit Mult(CHugeDigit& a, CHugeDigit& b);
    ///@}
    /// q = a div b, r = a mod b; q and r may be the same objects as a and b.
    static void Div(CHugeDigit& q, CHugeDigit& r, const CHugeDigit& a, const CHugeDigit& b);
    /// a mod b; CNotSupportedException for a zero b.
    static CHugeDigit Mod(const CHugeDigit& a, const CHugeDigit& b);
    /// a * b mod m.
    static CHugeDigit ModMult(const CHugeDigit& a, const CHugeDigit& b, const CHugeDigit& m);
    /// b^e mod m; 1 when e is zero.
    static CHugeDigit ModExp(const CHugeDigit& b, const CHugeDigit& e, const CHugeDigit& m);
    /// The greatest common divisor.
    static CHugeDigit Gcd(const CHugeDigit& a, const CHugeDigit& b);
    /// a^-1 mod m for a and m coprime.
    static CHugeDigit ModInv(const CHugeDigit& a, const CHugeDigit& m);

    ///@{
    /// Comparisons of the values (leading zero digits do not count); int 1/0.
    static int IsLess(const CHugeDigit& a, const CHugeDigit& b);
    static int IsGreater(const CHugeDigit& a, const CHugeDigit& b);
    static int IsEqual(const CHugeDigit& a, const CHugeDigit& b);
    ///@}
    /// Compares the n-digit runs x and y from the top: -1, 0 or 1.
    static int Cmp(const DWORD* x, const DWORD* y, int n);

private:
    DWORD digits[kMaxDigits];
    WORD length;
};

/// Significant bits of a big-endian octet string; only its last 512 octets count.
int ___countBits(const unsigned char* data, int len);
