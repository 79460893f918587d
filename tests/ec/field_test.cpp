// The Montgomery products and inverses modulo the curves' primes and orders, with each
// product policy this build has (the portable one always, mulx/adx where the processor runs
// it), against OpenSSL's BN_mod_mul and BN_mod_inverse.
#include <gtest/gtest.h>
#include <openssl/rand.h>

#include "peer.h"
#include "vorlan/ec/curves.h"

namespace ectest {
namespace {

using namespace vorlan::detail;

template <int N>
BN ToNumber(const Element<N>& value) {
    unsigned char octets[8 * N];
    OctetsFromElement<N>(std::span<unsigned char, 8 * N>(octets), value);
    return BN(BN_bin2bn(octets, 8 * N, nullptr));
}

template <int N>
Element<N> FromNumber(const BIGNUM* value) {
    Octets octets(8 * N);
    BN_bn2binpad(value, octets.data(), 8 * N);
    Element<N> element;
    ElementFromOctets<N>(element, octets);
    return element;
}

// Operands below m: the edges (0, 1, 2, m-1, m-2, 2^k, 2^k - 1 for limb and half-limb
// boundaries) and random values.
template <int N>
std::vector<Element<N>> Operands(const Element<N>& m) {
    std::vector<Element<N>> values{{0}, {1}, {2}};
    for (const Limb k : {1, 2}) {
        Element<N> below;
        SubElements<N>(below, m, Element<N>{k});
        values.push_back(below);
    }
    for (int bit = 31; bit < 64 * N - 1; bit += 32) {
        Element<N> power{};
        power[bit / 64] = Limb{1} << (bit % 64);
        values.push_back(power);
        SubElements<N>(power, power, Element<N>{1});
        values.push_back(power);
    }
    for (int i = 0; i < 40; ++i) {
        Element<N> random;
        RAND_bytes(reinterpret_cast<unsigned char*>(random.data()), sizeof random);
        if (!IsBelow<N>(random, m)) SubElements<N>(random, random, m);
        values.push_back(random);
    }
    return values;
}

template <auto& M, template <auto&> class Products>
void ExpectArithmetic(const char* name) {
    SCOPED_TRACE(name);
    constexpr int N = static_cast<int>(M.m.size());
    using F = CPrimeField<M, Products>;
    const BN m = ToNumber<N>(M.m);
    std::unique_ptr<BN_CTX, Deleter<BN_CTX_free>> ctx(BN_CTX_new());
    const auto values = Operands<N>(M.m);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Element<N>& a = values[i];
        const Element<N>& b = values[(i * 7 + 3) % values.size()];
        const BN x = ToNumber<N>(a), y = ToNumber<N>(b);
        BN product(BN_new()), square(BN_new());
        BN_mod_mul(product.get(), x.get(), y.get(), m.get(), ctx.get());
        BN_mod_sqr(square.get(), x.get(), m.get(), ctx.get());
        const auto ma = F::ToMontgomery(a), mb = F::ToMontgomery(b);
        EXPECT_EQ(F::FromMontgomery(F::Mul(ma, mb)), FromNumber<N>(product.get())) << i;
        EXPECT_EQ(F::FromMontgomery(F::Sqr(ma)), FromNumber<N>(square.get())) << i;
        EXPECT_EQ(F::FromMontgomery(ma), a) << i;
        if (F::IsZero(a)) continue;
        BN inverse(BN_mod_inverse(nullptr, x.get(), m.get(), ctx.get()));
        EXPECT_EQ(F::FromMontgomery(F::Inverse(ma)), FromNumber<N>(inverse.get())) << i;
    }
}

TEST(FieldProducts, PortableAgreeWithOpenSSL) {
    ExpectArithmetic<kP256Prime, CPortableProducts>("P-256 p");
    ExpectArithmetic<kP256Order, CPortableProducts>("P-256 n");
    ExpectArithmetic<kP384Prime, CPortableProducts>("P-384 p");
    ExpectArithmetic<kP384Order, CPortableProducts>("P-384 n");
}

#if defined(__x86_64__)
TEST(FieldProducts, MulxAdxAgreeWithOpenSSL) {
    if (!vorlan::detail::HasMulxAdx()) GTEST_SKIP() << "no BMI2 and ADX here";
    ExpectArithmetic<kP256Prime, CMulxAdxProducts>("P-256 p");
    ExpectArithmetic<kP256Order, CMulxAdxProducts>("P-256 n");
}
#endif

}  // namespace
}  // namespace ectest
