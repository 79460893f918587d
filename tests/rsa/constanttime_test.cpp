// The private operation under Valgrind's memcheck (ctest runs this binary so): the key's
// private exponent, primes and CRT values are marked undefined, and memcheck reports
// every conditional jump, and every address or system-call argument computed from them.
// The one place where a result may leave the constant-time part, the check of the
// output against the public exponent, is named in memcheck.supp. Key unwrapping adds the check
// of the type-2 block, which must not branch on the block either: its octets come out of the
// private operation undefined, and so does the key chosen from them.
// Valgrind runs no AVX-512 and hides it from cpuid, so under it the primes' powers take the
// mulx/adcx/adox kernels, never the IFMA ones: those are covered here only by construction
// (the same masks, no branch or address on a value), not by memcheck.
#include <gtest/gtest.h>
#include <valgrind/memcheck.h>

#include <cstring>

#include "peer.h"
#include "vorlan/cipher/key.h"

namespace rsatest {
namespace {

TEST(RsaConstantTime, PrivateOperationBranchesOnNoSecret) {
    if (!RUNNING_ON_VALGRIND) GTEST_SKIP() << "meaningful under valgrind only";
    const Octets hash = Pattern(20);
    for (auto [bits, useF4, crt] : {std::tuple{512, 0, true}, {1024, 1, true}, {1024, 1, false}, {2048, 1, true}, {3072, 1, true}, {4096, 1, true}}) {
        SCOPED_TRACE(testing::Message() << bits << " bits, F4 " << useF4 << (crt ? "" : ", no CRT values"));
        const KeyPairs& keys = KeysFrom(true, bits, useF4);
        CRSAPrivateKey key = keys.ours;
        if (!crt)
            for (BYTE* field : {key.prime1, key.prime2, key.exponent1, key.exponent2, key.coefficient})
                std::memset(field, 0, CRSAPrivateKey::kHalfFieldSize);
        const Octets expected = ByPeer(kSign, keys.peer.get(), hash, EVP_sha1());
        // Twice: the first operation draws the blinding pair, the second squares it.
        for (int run = 0; run < 2; ++run) {
            for (std::span<BYTE> field :
                 {std::span<BYTE>(key.privateExponent), std::span<BYTE>(key.prime1), std::span<BYTE>(key.prime2),
                  std::span<BYTE>(key.exponent1), std::span<BYTE>(key.exponent2), std::span<BYTE>(key.coefficient)})
                VALGRIND_MAKE_MEM_UNDEFINED(field.data(), field.size());
            CByteArray signature;
            const unsigned before = VALGRIND_COUNT_ERRORS;
            key.LockDigest(sha1, hash.data(), signature);
            EXPECT_EQ(VALGRIND_COUNT_ERRORS - before, 0u) << "run " << run;
            VALGRIND_MAKE_MEM_DEFINED(signature.GetData(), signature.GetSize());
            EXPECT_EQ(ToOctets(signature), expected) << "run " << run;
        }
    }
}

// A well-formed block, one with a key of another length and one of type 1 (a signature): the
// same steps for each, and only the well-formed one gives its key.
TEST(RsaConstantTime, KeyUnwrapBranchesOnNoSecret) {
    if (!RUNNING_ON_VALGRIND) GTEST_SKIP() << "meaningful under valgrind only";
    const KeyPairs& keys = KeysFrom(true, 1024, 1);
    CRSAPrivateKey key = keys.ours;
    const Octets secret = Pattern(24, 5);
    const std::pair<Octets, bool> rows[] = {{ByPeer(kEncrypt, keys.peer.get(), secret), true},
                                            {ByPeer(kEncrypt, keys.peer.get(), Pattern(16, 5)), false},
                                            {ByPeer(kSign, keys.peer.get(), Pattern(20), EVP_sha1()), false}};
    for (const auto& [wrapped, wellFormed] : rows) {
        for (std::span<BYTE> field :
             {std::span<BYTE>(key.privateExponent), std::span<BYTE>(key.prime1), std::span<BYTE>(key.prime2),
              std::span<BYTE>(key.exponent1), std::span<BYTE>(key.exponent2), std::span<BYTE>(key.coefficient)})
            VALGRIND_MAKE_MEM_UNDEFINED(field.data(), field.size());
        CTripleDESkey unwrapped;
        const unsigned before = VALGRIND_COUNT_ERRORS;
        key.UnlockKey(ToByteArray(wrapped), unwrapped, key.bits);
        EXPECT_EQ(VALGRIND_COUNT_ERRORS - before, 0u) << "well-formed " << wellFormed;
        VALGRIND_MAKE_MEM_DEFINED(unwrapped.Data(), unwrapped.Size());
        EXPECT_EQ(Octets(unwrapped.Data(), unwrapped.Data() + unwrapped.Size()) == secret, wellFormed);
    }
}

}  // namespace
}  // namespace rsatest
