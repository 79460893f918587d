/// \file
/// CRandomsGenerator: the random octets of the library (symmetric keys, RSA block
/// padding, prime search starts, key tests, serial numbers). Fresh octets from the
/// operating system's cryptographic source are mixed with the state through MD5 and
/// the output is MD5-chained from the state; no output octet is ever zero.
#pragma once

/// The library's random octets, never zero: fresh octets from the operating system mixed with
/// the state through MD5, the output MD5-chained from it. A plain value; the state is wiped.
class CRandomsGenerator {
public:
    CRandomsGenerator();
    /// The caller's seed octets are mixed in besides the fresh ones.
    CRandomsGenerator(const unsigned char* seed, unsigned long len);
    /// A generator with the same state.
    CRandomsGenerator(const CRandomsGenerator& other) = default;
    /// Takes the state of `other`.
    CRandomsGenerator& operator=(const CRandomsGenerator& other) = default;
    ~CRandomsGenerator();

    /// Mixes 20 fresh non-zero octets (taking octets of the seed when one is given)
    /// with the state through MD5. A null seed or a zero length means no seed.
    void RegenerateRandoms(const unsigned char* seed, unsigned long len);
    /// n random octets into out, none of them zero.
    void GetRandomBlock(unsigned char* out, unsigned long n);

private:
    static constexpr int stateSize = 16;  ///< one MD5 output
    unsigned char state[stateSize] = {};
};
