#include "vorlan/bignum/hugedigit.h"

#include <algorithm>
#include <bit>

#include "vorlan/bignum/modexp.h"
#include "vorlan/framework/exception.h"
#include "vorlan/support/progress.h"
#include "vorlan/support/wipe.h"

using vorlan::detail::CWipedLimbs;
using vorlan::detail::DigitsFromLimbs;
using vorlan::detail::DivModLimbs;
using vorlan::detail::kMaxLimbs;
using vorlan::detail::kMaxWideLimbs;
using vorlan::detail::Limb;
using vorlan::detail::LimbsFromDigits;
using vorlan::detail::ModExpLimbs;
using vorlan::detail::MulLimbs;
using vorlan::detail::SignificantLimbs;

namespace {

using CLimbs = CWipedLimbs<kMaxLimbs>;
using CWideLimbs = CWipedLimbs<kMaxWideLimbs>;

// The significant limbs of x.
int ToLimbs(Limb* limbs, const CHugeDigit& x) { return LimbsFromDigits(limbs, x.GetDigits(), x.Digits()); }

// A compact number from n limbs; a value beyond the capacity throws.
CHugeDigit FromLimbs(const Limb* limbs, int n) {
    n = SignificantLimbs(limbs, n);
    int count = 2 * n;
    if (count > 0 && limbs[n - 1] >> 32 == 0) --count;
    if (count > CHugeDigit::kMaxDigits) AfxThrowNotSupportedException();
    CHugeDigit result(static_cast<WORD>(std::max(count, 1)), 0);
    DigitsFromLimbs(&result[0], count, limbs);
    return result;
}

// Zero-extends both operands to the longer length.
void EqualiseLengths(CHugeDigit& a, CHugeDigit& b) {
    const short n = static_cast<short>(std::max(a.GetLength(), b.GetLength()));
    a.SetLength(n);
    b.SetLength(n);
}

// The product of a and b in limbs; its limb count, 0 for a zero product.
int MultiplyLimbs(CWideLimbs& product, const CHugeDigit& a, const CHugeDigit& b) {
    CLimbs al, bl;
    const int an = ToLimbs(al.data, a);
    const int bn = ToLimbs(bl.data, b);
    if (an == 0 || bn == 0) return 0;
    MulLimbs(product.data, al.data, an, bl.data, bn);
    return an + bn;
}

// q and r of a divided by b as limbs (q of an - bn + 1 limbs, r of bn limbs).
// A zero divisor throws. Returns the divisor's limb count.
int DivideLimbs(Limb* q, int* qn, Limb* r, const CHugeDigit& a, const CHugeDigit& b) {
    CLimbs al, bl;
    const int bn = ToLimbs(bl.data, b);
    if (bn == 0) AfxThrowNotSupportedException();
    const int an = ToLimbs(al.data, a);
    if (an < bn) {
        std::copy(al.data, al.data + an, r);
        std::fill(r + an, r + bn, 0);
        *qn = 0;
        return bn;
    }
    DivModLimbs(q, r, al.data, an, bl.data, bn);
    *qn = an - bn + 1;
    return bn;
}

}  // namespace

CHugeDigit::CHugeDigit() : digits{}, length(64) {}

CHugeDigit::CHugeDigit(DWORD v) : digits{v}, length(1) {}

CHugeDigit::CHugeDigit(WORD n, DWORD v) : digits{v}, length(std::clamp<WORD>(n, 1, kMaxDigits)) {}

CHugeDigit::CHugeDigit(const CHugeDigit& other) : digits{}, length(other.length) {
    std::copy(other.digits, other.digits + length, digits);
}

CHugeDigit::~CHugeDigit() { SecureWipe(digits, sizeof digits); }

const CHugeDigit& CHugeDigit::operator=(const CHugeDigit& other) {
    length = other.length;
    std::copy(other.digits, other.digits + length, digits);
    return *this;
}

const CHugeDigit& CHugeDigit::operator=(DWORD v) {
    length = 1;
    digits[0] = v;
    return *this;
}

void CHugeDigit::SetLength(short n) {
    if (n < 0 || n > kMaxDigits) AfxThrowNotSupportedException();
    if (n > length) std::fill(digits + length, digits + n, 0);
    length = static_cast<WORD>(n);
}

void CHugeDigit::AssignZero() { std::fill(digits, digits + length, 0); }

void CHugeDigit::Assign2Exp(WORD n) {
    if (n / 32 >= kMaxDigits) AfxThrowNotSupportedException();
    AssignZero();
    digits[n / 32] |= DWORD{1} << (n % 32);
}

void CHugeDigit::DoCompact() {
    if (length == 0) digits[0] = 0;
    length = std::max<WORD>(Digits(), 1);
}

int CHugeDigit::EVEN() const { return (digits[0] & 1) == 0; }

int CHugeDigit::Zero() const { return Digits() == 0; }

WORD CHugeDigit::Digits() const {
    int n = length;
    while (n > 0 && digits[n - 1] == 0) --n;
    return static_cast<WORD>(n);
}

WORD CHugeDigit::Bits() const {
    const int n = Digits();
    return n == 0 ? 0 : static_cast<WORD>(32 * (n - 1) + std::bit_width(digits[n - 1]));
}

void CHugeDigit::Decode(const unsigned char* data, WORD len) {
    for (int i = 0; i < length; ++i) {
        DWORD digit = 0;
        for (int k = 3; k >= 0; --k) {
            const int octet = 4 * i + k;  // counted from the end of the string
            digit = digit << 8 | (octet < len ? data[len - 1 - octet] : 0);
        }
        digits[i] = digit;
    }
    DoCompact();
}

void CHugeDigit::Encode(unsigned char* out, WORD len) const {
    for (int octet = 0; octet < len; ++octet)
        out[len - 1 - octet] =
            octet / 4 < length ? static_cast<unsigned char>(digits[octet / 4] >> (8 * (octet % 4))) : 0;
}

int CHugeDigit::HasSmallPrimesFactor() const {
    for (const WORD p : kSmallPrimes)
        if (Mod(*this, CHugeDigit(p)).Zero()) return 1;
    return 0;
}

int CHugeDigit::PassedFermatTest() const {
    const CHugeDigit two(length, 2);
    return IsEqual(ModExp(two, *this, *this), CHugeDigit(2));
}

int CHugeDigit::IsProbablePrime() const { return HasSmallPrimesFactor() ? 0 : PassedFermatTest(); }

CHugeDigit CHugeDigit::Add(CHugeDigit& a, CHugeDigit& b) {
    __checkKillThreadFlag();
    EqualiseLengths(a, b);
    CHugeDigit sum(a.length, 0);
    DWORD carry = 0;
    for (int i = 0; i < a.length; ++i) {
        const std::uint64_t s = std::uint64_t{a.digits[i]} + b.digits[i] + carry;
        sum.digits[i] = static_cast<DWORD>(s);
        carry = static_cast<DWORD>(s >> 32);
    }
    sum.DoCompact();
    return sum;
}

CHugeDigit CHugeDigit::Sub(CHugeDigit& a, CHugeDigit& b) {
    __checkKillThreadFlag();
    EqualiseLengths(a, b);
    CHugeDigit difference(a.length, 0);
    DWORD borrow = 0;
    for (int i = 0; i < a.length; ++i) {
        const std::uint64_t d = std::uint64_t{a.digits[i]} - b.digits[i] - borrow;
        difference.digits[i] = static_cast<DWORD>(d);
        borrow = static_cast<DWORD>(d >> 63);
    }
    difference.DoCompact();
    return difference;
}

CHugeDigit CHugeDigit::Mult(CHugeDigit& a, CHugeDigit& b) {
    a.DoCompact();
    b.DoCompact();
    CWideLimbs product;
    return FromLimbs(product.data, MultiplyLimbs(product, a, b));
}

void CHugeDigit::Div(CHugeDigit& q, CHugeDigit& r, const CHugeDigit& a, const CHugeDigit& b) {
    CWideLimbs ql;
    CLimbs rl;
    int qn = 0;
    const int rn = DivideLimbs(ql.data, &qn, rl.data, a, b);
    q = FromLimbs(ql.data, qn);
    r = FromLimbs(rl.data, rn);
}

CHugeDigit CHugeDigit::Mod(const CHugeDigit& a, const CHugeDigit& b) {
    CLimbs rl;
    int qn = 0;
    const int rn = DivideLimbs(nullptr, &qn, rl.data, a, b);
    return FromLimbs(rl.data, rn);
}

CHugeDigit CHugeDigit::ModMult(const CHugeDigit& a, const CHugeDigit& b, const CHugeDigit& m) {
    CLimbs ml;
    const int mn = ToLimbs(ml.data, m);
    if (mn == 0) AfxThrowNotSupportedException();
    CWideLimbs product;
    const int pn = MultiplyLimbs(product, a, b);
    if (pn < mn) return FromLimbs(product.data, pn);
    CLimbs rl;
    DivModLimbs(nullptr, rl.data, product.data, pn, ml.data, mn);
    return FromLimbs(rl.data, mn);
}

CHugeDigit CHugeDigit::ModExp(const CHugeDigit& b, const CHugeDigit& e, const CHugeDigit& m) {
    const int ebits = e.Bits();
    if (ebits == 0) return CHugeDigit(1);
    if (m.Digits() > kMaxOperandDigits) AfxThrowNotSupportedException();
    const CHugeDigit base = Mod(b, m);  // throws for a zero modulus
    CLimbs ml, bl, rl;
    const int n = ToLimbs(ml.data, m);
    std::fill(bl.data + ToLimbs(bl.data, base), bl.data + n, 0);
    ModExpLimbs(rl.data, bl.data, e.digits, ebits, ml.data, n);
    return FromLimbs(rl.data, n);
}

CHugeDigit CHugeDigit::Gcd(const CHugeDigit& a, const CHugeDigit& b) {
    CHugeDigit x = a;
    CHugeDigit y = b;
    while (!y.Zero()) {
        __checkKillThreadFlag();
        CHugeDigit r = Mod(x, y);
        x = y;
        y = r;
    }
    x.DoCompact();
    return x;
}

CHugeDigit CHugeDigit::ModInv(const CHugeDigit& a, const CHugeDigit& m) {
    // Extended Euclid on magnitudes: the coefficients of a alternate in sign, so one
    // flag tracks the sign of x1.
    CHugeDigit x1(1);
    CHugeDigit y1(0);
    CHugeDigit x3 = a;
    CHugeDigit y3 = m;
    bool negative = false;
    while (!y3.Zero()) {
        __checkKillThreadFlag();
        CHugeDigit q;
        CHugeDigit t3;
        Div(q, t3, x3, y3);
        CHugeDigit qy1 = Mult(q, y1);
        // One digit more than either addend, so that the sum keeps its carry.
        x1.SetLength(static_cast<short>(std::max(x1.length, qy1.length) + 1));
        CHugeDigit t1 = Add(x1, qy1);
        x1 = y1;
        y1 = t1;
        x3 = y3;
        y3 = t3;
        negative = !negative;
    }
    if (!negative) return x1;
    CHugeDigit mm = m;
    return Sub(mm, x1);
}

int CHugeDigit::IsLess(const CHugeDigit& a, const CHugeDigit& b) {
    const int n = a.Digits();
    return n != b.Digits() ? n < b.Digits() : Cmp(a.digits, b.digits, n) < 0;
}

int CHugeDigit::IsGreater(const CHugeDigit& a, const CHugeDigit& b) { return IsLess(b, a); }

int CHugeDigit::IsEqual(const CHugeDigit& a, const CHugeDigit& b) {
    const int n = a.Digits();
    return n == b.Digits() && Cmp(a.digits, b.digits, n) == 0;
}

int CHugeDigit::Cmp(const DWORD* x, const DWORD* y, int n) {
    __checkKillThreadFlag();
    for (int i = n - 1; i >= 0; --i)
        if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
    return 0;
}

int ___countBits(const unsigned char* data, int len) {
    // Only the last 512 octets count: the longest RSA key field.
    const int used = std::clamp(len, 0, 512);
    CHugeDigit x(128, 0);
    x.Decode(data + (len - used), static_cast<WORD>(used));
    return x.Bits();
}
