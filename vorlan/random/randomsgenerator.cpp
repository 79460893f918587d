#include "vorlan/random/randomsgenerator.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "vorlan/digest/md5.h"
#include "vorlan/framework/exception.h"
#include "vorlan/support/wipe.h"

namespace {

constexpr int freshOctets = 20;

// Octets from the operating system's cryptographic random source, fetched a pool at a time.
class CSystemRandom {
public:
    CSystemRandom() = default;
    CSystemRandom(const CSystemRandom&) = delete;
    CSystemRandom& operator=(const CSystemRandom&) = delete;

    unsigned char Octet() {
        if (m_used == sizeof m_pool.data) Refill();
        return m_pool.data[m_used++];
    }

    unsigned char NonZeroOctet() {
        unsigned char octet;
        do octet = Octet();
        while (octet == 0);
        return octet;
    }

    std::uint32_t Word() {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) word = word << 8 | Octet();
        return word;
    }

private:
    void Refill() {
        std::size_t filled = 0;
        while (filled < sizeof m_pool.data) {
            const ssize_t got = getrandom(m_pool.data + filled, sizeof m_pool.data - filled, 0);
            if (got < 0) {
                if (errno == EINTR) continue;
                // No cryptographic source: refuse rather than hand out predictable octets.
                AfxThrowNotSupportedException();
            }
            filled += static_cast<std::size_t>(got);
        }
        m_used = 0;
    }

    vorlan::detail::CWipedOctets<64> m_pool;
    std::size_t m_used = sizeof m_pool.data;
};

}  // namespace

CRandomsGenerator::CRandomsGenerator() { RegenerateRandoms(nullptr, 0); }

CRandomsGenerator::CRandomsGenerator(const unsigned char* seed, unsigned long len) { RegenerateRandoms(seed, len); }

CRandomsGenerator::~CRandomsGenerator() { SecureWipe(state, sizeof state); }

void CRandomsGenerator::RegenerateRandoms(const unsigned char* seed, unsigned long len) {
    CSystemRandom source;
    vorlan::detail::CWipedOctets<freshOctets> fresh;
    for (unsigned long i = 0; i < freshOctets; ++i) {
        unsigned char& octet = fresh.data[i];
        if (seed && len > 0) {
            // A seed octet at a random place, shifted by a random amount.
            do octet = static_cast<unsigned char>(seed[(source.Word() + i) % len] + source.Octet());
            while (octet == 0);
        } else {
            octet = source.NonZeroOctet();
        }
    }
    CMD5DigestMaker mixer;
    mixer.UpdateBlock(fresh.data, freshOctets, nullptr, 0, 1);
    mixer.UpdateBlock(state, stateSize, nullptr, 1, 1);
    mixer.GetCurrentDigest(state);
}

void CRandomsGenerator::GetRandomBlock(unsigned char* out, unsigned long n) {
    RegenerateRandoms(nullptr, 0);
    // One digest maker, not reset: each block continues from the finished previous one.
    CMD5DigestMaker chain;
    for (unsigned long done = 0; done < n; done += stateSize) {
        chain.UpdateBlock(state, stateSize, nullptr, 1, 1);
        chain.GetCurrentDigest(state);
        std::copy_n(state, std::min<unsigned long>(stateSize, n - done), out + done);
    }
    CSystemRandom source;
    for (unsigned long i = 0; i < n; ++i)
        if (out[i] == 0) out[i] = source.NonZeroOctet();
}
