// ECDSA verdicts against OpenSSL's: random keys and digests of many lengths, signatures
// tampered with, r and s at and past the ends of their range, a sum whose x lies between n
// and p, and the strict DER form of Ecdsa-Sig-Value.
#include <gtest/gtest.h>
#include <openssl/rand.h>

#include <functional>
#include <random>

#include "peer.h"
#include "tests/common/der.h"
#include "tests/common/rows.h"
#include "vorlan/ec/ecdsasignature.h"
#include "vorlan/ec/ecdsaverifier.h"

namespace ectest {
namespace {

using SigPtr = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG_free>>;

struct Signature {
    Octets r, s;
};

Signature Split(const Octets& der) {
    const unsigned char* p = der.data();
    SigPtr sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der.size())));
    Check(sig != nullptr, "DER signature");
    const BIGNUM *r = nullptr, *s = nullptr;
    ECDSA_SIG_get0(sig.get(), &r, &s);
    Octets ro(static_cast<std::size_t>(BN_num_bytes(r))), so(static_cast<std::size_t>(BN_num_bytes(s)));
    BN_bn2bin(r, ro.data());
    BN_bn2bin(s, so.data());
    return {ro, so};
}

// The DER of two non-negative integers, as OpenSSL writes them.
Octets Join(const Octets& r, const Octets& s) {
    SigPtr sig(ECDSA_SIG_new());
    ECDSA_SIG_set0(sig.get(), NumberOf(r).release(), NumberOf(s).release());
    unsigned char* der = nullptr;
    const int length = i2d_ECDSA_SIG(sig.get(), &der);
    Octets out(der, der + length);
    OPENSSL_free(der);
    return out;
}

// The verdict of the P-256 verifier on the portable products, whatever this processor runs.
bool PortableP256Verdict(const Octets& point, const Octets& digest, const Octets& der) {
    using namespace vorlan::detail;
    using Curve = CP256<CPortableProducts>;
    using F = Curve::Field;
    std::span<const unsigned char> r, s;
    Element<4> x, y, rv, sv;
    ElementFromOctets<4>(x, View(point).subspan(1, 32));
    ElementFromOctets<4>(y, View(point).subspan(33, 32));
    return ParseEcdsaSignature(der, r, s) && ElementFromOctets<4>(rv, r) && ElementFromOctets<4>(sv, s) &&
           CEcdsaVerifier<Curve>::Verify({F::ToMontgomery(x), F::ToMontgomery(y)}, digest, rv, sv);
}

Octets Random(std::size_t n) {
    Octets out(n);
    RAND_bytes(out.data(), static_cast<int>(n));
    return out;
}

// Signatures by OpenSSL over digests shorter than, as long as and longer than the order,
// verified as made and after one bit of the digest, of the signature's DER or of the key
// changed: every verdict is OpenSSL's, and the untouched ones are all true.
TEST(Differential, VerdictsAreOpenSSLs) {
    std::mt19937 random(20261208);
    for (const Curve& curve : kCurves) {
        SCOPED_TRACE(curve.name);
        int accepted = 0, refused = 0;
        for (int round = 0; round < 40; ++round) {
            PKey peer = NewKey(curve);
            const Octets point = PointOf(peer.get());
            const CECPublicKey key(curve.ours, point);
            const std::size_t lengths[] = {1, 20, 28, 32, 48, 64, 65};
            const Octets digest = Random(lengths[round % std::size(lengths)]);
            const Octets signature = PeerSign(peer.get(), digest);

            Octets otherDigest = digest, otherSignature = signature;
            otherDigest[random() % digest.size()] ^= static_cast<unsigned char>(1 << random() % 8);
            otherSignature[random() % signature.size()] ^= static_cast<unsigned char>(1 << random() % 8);
            const PKey otherPeer = NewKey(curve);
            const Octets otherPoint = PointOf(otherPeer.get());
            const struct {
                const char* name;
                const Octets& point;
                EVP_PKEY* peer;
                const Octets& digest;
                const Octets& signature;
            } cases[] = {{"as signed", point, peer.get(), digest, signature},
                         {"digest changed", point, peer.get(), otherDigest, signature},
                         {"signature changed", point, peer.get(), digest, otherSignature},
                         {"other key", otherPoint, otherPeer.get(), digest, signature}};
            for (const auto& c : cases) {
                const bool expected = PeerVerify(c.peer, c.digest, c.signature);
                const bool verdict = CECPublicKey(curve.ours, c.point).VerifyDer(c.digest, c.signature);
                EXPECT_EQ(verdict, expected) << c.name << ", digest " << ToHex(c.digest) << ", signature "
                                             << ToHex(c.signature) << ", key " << ToHex(c.point);
                if (curve.ours == EEllipticCurve::p256) {
                    EXPECT_EQ(PortableP256Verdict(c.point, c.digest, c.signature), expected) << c.name;
                }
                (verdict ? accepted : refused)++;
            }
            EXPECT_TRUE(key.VerifyDer(digest, signature));
        }
        EXPECT_GE(accepted, 40);
        EXPECT_GE(refused, 100);
    }
}

// A digest longer than the order counts by its leftmost bits: changing octets past them
// keeps the signature, changing one within them does not.
TEST(LongDigest, OnlyItsLeftmostBitsCount) {
    for (const Curve& curve : kCurves) {
        PKey peer = NewKey(curve);
        const CECPublicKey key(curve.ours, PointOf(peer.get()));
        const Octets digest = Random(64 + 16);
        const Octets signature = PeerSign(peer.get(), digest);
        Octets tail = digest, head = digest;
        tail.back() ^= 1;
        head[curve.octets - 1] ^= 1;
        EXPECT_TRUE(key.VerifyDer(digest, signature)) << curve.name;
        EXPECT_TRUE(key.VerifyDer(tail, signature)) << curve.name;
        EXPECT_FALSE(key.VerifyDer(head, signature)) << curve.name;
        const Octets truncated(digest.begin(), digest.begin() + static_cast<long>(curve.octets));
        EXPECT_TRUE(key.VerifyDer(truncated, signature)) << curve.name;
    }
}

// Digests whose value is 0, n or n + 5 (as many octets as n): e mod n is 0 or 5, so u1 = e·s^-1
// is zero or small; OpenSSL signs them and both sides agree.
TEST(ScalarRange, DigestsAtAndPastTheOrderAreReduced) {
    for (const Curve& curve : kCurves) {
        SCOPED_TRACE(curve.name);
        PKey peer = NewKey(curve);
        const CECPublicKey key(curve.ours, PointOf(peer.get()));
        const Group group = GroupOf(curve);
        BN plus5(BN_dup(EC_GROUP_get0_order(group.get())));
        BN_add_word(plus5.get(), 5);
        for (const Octets& digest : {Octets(curve.octets, 0), OctetsOf(EC_GROUP_get0_order(group.get()), curve.octets),
                                     OctetsOf(plus5.get(), curve.octets)}) {
            const Octets signature = PeerSign(peer.get(), digest);
            EXPECT_TRUE(key.VerifyDer(digest, signature)) << ToHex(digest);
            Octets other = digest;
            other.back() ^= 2;
            EXPECT_EQ(key.VerifyDer(other, signature), PeerVerify(peer.get(), other, signature)) << ToHex(other);
        }
    }
}

// r and s as raw octets at the ends of 1..n-1 and past them; each verdict also OpenSSL's
// where DER can carry the values.
TEST(ScalarRange, ZeroAndOrderAndBeyondAreRefused) {
    for (const Curve& curve : kCurves) {
        SCOPED_TRACE(curve.name);
        PKey peer = NewKey(curve);
        const CECPublicKey key(curve.ours, PointOf(peer.get()));
        const Octets digest = Random(curve.octets);
        const Signature sig = Split(PeerSign(peer.get(), digest));
        const Group group = GroupOf(curve);
        const Octets n = OctetsOf(EC_GROUP_get0_order(group.get()), curve.octets);
        const auto plus = [&](const Octets& a, const Octets& b) {
            BN sum(BN_new());
            BN_add(sum.get(), NumberOf(a).get(), NumberOf(b).get());
            Octets out(static_cast<std::size_t>(BN_num_bytes(sum.get())));
            BN_bn2bin(sum.get(), out.data());
            return out;
        };
        Octets padded(40, 0);
        padded.insert(padded.end(), sig.r.begin(), sig.r.end());
        const struct {
            const char* name;
            Octets r, s;
            bool verdict;
        } rows[] = {{"as signed", sig.r, sig.s, true},
                    {"r with leading zeros", padded, sig.s, true},
                    {"r zero", {0}, sig.s, false},
                    {"s zero", sig.r, {0}, false},
                    {"r empty", {}, sig.s, false},
                    {"r = n", n, sig.s, false},
                    {"s = n", sig.r, n, false},
                    {"r + n", plus(sig.r, n), sig.s, false},
                    {"s + n", sig.r, plus(sig.s, n), false},
                    {"r + 2^(8k)", Concat({{1}, Octets(curve.octets - sig.r.size(), 0), sig.r}), sig.s, false}};
        for (const auto& row : rows) {
            EXPECT_EQ(key.Verify(digest, row.r, row.s), row.verdict) << row.name;
            if (!row.r.empty()) {
                EXPECT_EQ(PeerVerify(peer.get(), digest, Join(row.r, row.s)), row.verdict) << row.name;
            }
        }
    }
}

// R = u1·G + u2·Q with n <= x(R) < p, so r = x(R) - n: the check compares (r + n)·Z^2 too.
// The key is made to fit: Q = u2^-1·(R - u1·G) for a chosen R, digest and s.
TEST(ScalarRange, SumWithXBetweenOrderAndPrimeIsAccepted) {
    for (const Curve& curve : kCurves) {
        SCOPED_TRACE(curve.name);
        const Group group = GroupOf(curve);
        std::unique_ptr<BN_CTX, Deleter<BN_CTX_free>> ctx(BN_CTX_new());
        const BIGNUM* n = EC_GROUP_get0_order(group.get());
        BN x(BN_dup(n));
        Point sum(EC_POINT_new(group.get()));
        do BN_add_word(x.get(), 1);
        while (EC_POINT_set_compressed_coordinates(group.get(), sum.get(), x.get(), 0, ctx.get()) != 1);

        BN r(BN_new()), e(BN_new()), s(BN_new()), w(BN_new()), u1(BN_new()), u2(BN_new()), u2inv(BN_new());
        BN_sub(r.get(), x.get(), n);
        const Octets digest = Random(curve.octets);
        BN_bin2bn(digest.data(), static_cast<int>(digest.size()), e.get());
        BN_set_word(s.get(), 0x1234567);
        BN_mod_inverse(w.get(), s.get(), n, ctx.get());
        BN_mod_mul(u1.get(), e.get(), w.get(), n, ctx.get());
        BN_mod_mul(u2.get(), r.get(), w.get(), n, ctx.get());
        BN_mod_inverse(u2inv.get(), u2.get(), n, ctx.get());
        Point u1g(EC_POINT_new(group.get())), q(EC_POINT_new(group.get()));
        EC_POINT_mul(group.get(), u1g.get(), u1.get(), nullptr, nullptr, ctx.get());
        EC_POINT_invert(group.get(), u1g.get(), ctx.get());
        EC_POINT_add(group.get(), sum.get(), sum.get(), u1g.get(), ctx.get());
        EC_POINT_mul(group.get(), q.get(), nullptr, sum.get(), u2inv.get(), ctx.get());

        const Octets point = Encode(group.get(), q.get(), POINT_CONVERSION_UNCOMPRESSED);
        const Octets ro = OctetsOf(r.get(), curve.octets), so = OctetsOf(s.get(), curve.octets);
        const Octets xo = OctetsOf(x.get(), curve.octets);
        const CECPublicKey key(curve.ours, point);
        const PKey peer = PeerKey(curve, point);
        EXPECT_TRUE(PeerVerify(peer.get(), digest, Join(ro, so)));
        EXPECT_TRUE(key.Verify(digest, ro, so));
        // x(R) itself is no r: it lies past n.
        EXPECT_FALSE(key.Verify(digest, xo, so));
    }
}

struct DerRow {
    const char* name;
    friend void PrintTo(const DerRow& row, std::ostream* out) { *out << row.name; }
    std::function<Octets(const Octets& r, const Octets& s)> build;  // from minimal INTEGER contents
    bool verdict;
};

// The INTEGER contents of a non-negative value: a zero octet before a set top bit.
Octets Contents(Octets value) {
    if (value.empty() || value[0] & 0x80) value.insert(value.begin(), 0);
    return value;
}

class SignatureDer : public testing::TestWithParam<DerRow> {};

TEST_P(SignatureDer, OnlyStrictDerIsRead) {
    for (const Curve& curve : kCurves) {
        PKey peer = NewKey(curve);
        const CECPublicKey key(curve.ours, PointOf(peer.get()));
        const Octets digest = Random(curve.octets);
        Signature sig;
        do sig = Split(PeerSign(peer.get(), digest));  // an r with its top bit set, needing a zero octet
        while (sig.r.size() != curve.octets || !(sig.r[0] & 0x80));
        const Octets der = GetParam().build(Contents(sig.r), Contents(sig.s));
        EXPECT_EQ(key.VerifyDer(digest, der), GetParam().verdict) << curve.name << " " << ToHex(der);
        EXPECT_EQ(PeerVerify(peer.get(), digest, der), GetParam().verdict) << curve.name << " " << ToHex(der);
    }
}

Octets Integer(const Octets& contents) { return Tlv(0x02, contents); }

INSTANTIATE_TEST_SUITE_P(
    Strict, SignatureDer,
    testing::Values(DerRow{"minimal",
                           [](const Octets& r, const Octets& s) {
                               return Seq({Integer(r), Integer(s)});
                           },
                           true},
                    DerRow{"octet after the sequence",
                           [](const Octets& r, const Octets& s) {
                               return Concat({Seq({Integer(r), Integer(s)}), {0}});
                           },
                           false},
                    DerRow{"element after s",
                           [](const Octets& r, const Octets& s) {
                               return Seq({Integer(r), Integer(s), Integer({1})});
                           },
                           false},
                    DerRow{"s missing", [](const Octets& r, const Octets&) { return Seq({Integer(r)}); }, false},
                    DerRow{"r and s swapped tags",
                           [](const Octets& r, const Octets& s) {
                               return Seq({Tlv(0x04, r), Integer(s)});
                           },
                           false},
                    DerRow{"set instead of sequence",
                           [](const Octets& r, const Octets& s) {
                               return Set({Integer(r), Integer(s)});
                           },
                           false},
                    DerRow{"r with a needless zero octet",
                           [](const Octets& r, const Octets& s) {
                               return Seq({Integer(Concat({{0}, r})), Integer(s)});
                           },
                           false},
                    DerRow{"r without its zero octet (negative)",
                           [](const Octets& r, const Octets& s) {
                               return Seq({Integer(Octets(r.begin() + 1, r.end())), Integer(s)});
                           },
                           false},
                    DerRow{"r empty",
                           [](const Octets&, const Octets& s) {
                               return Seq({Integer({}), Integer(s)});
                           },
                           false},
                    DerRow{"sequence length in long form",
                           [](const Octets& r, const Octets& s) {
                               const Octets body = Concat({Integer(r), Integer(s)});
                               return Concat({{0x30, 0x81, static_cast<unsigned char>(body.size())}, body});
                           },
                           false},
                    DerRow{
                        "r length in long form",
                        [](const Octets& r, const Octets& s) {
                            return Seq({Concat({{0x02, 0x81, static_cast<unsigned char>(r.size())}, r}), Integer(s)});
                        },
                        false},
                    DerRow{"indefinite length",
                           [](const Octets& r, const Octets& s) {
                               return Concat({{0x30, 0x80}, Integer(r), Integer(s), {0, 0}});
                           },
                           false},
                    DerRow{"sequence one octet short",
                           [](const Octets& r, const Octets& s) {
                               Octets der = Seq({Integer(r), Integer(s)});
                               der.pop_back();
                               return der;
                           },
                           false},
                    DerRow{"sequence length past the end",
                           [](const Octets& r, const Octets& s) {
                               Octets der = Seq({Integer(r), Integer(s)});
                               der[1] += 1;
                               return der;
                           },
                           false},
                    DerRow{"empty", [](const Octets&, const Octets&) { return Octets{}; }, false}),
    RowName());

}  // namespace
}  // namespace ectest
