/// \file
/// DES (FIPS 46) and the DES core shared with triple DES.
#pragma once

#include <array>
#include <cstdint>

#include "vorlan/cipher/cryptoprocessor.h"
#include "vorlan/cipher/key.h"

namespace vorlan::detail {

/// The round keys of one DES key: 16 rounds of two 32-bit words each, in the layout
/// the combined S-box/permutation tables read (6-bit groups 1,3,5,7 and 2,4,6,8).
using DesRoundKeys = std::array<std::uint32_t, 32>;

/// Encryption and decryption round keys of an 8-octet key; parity bits are ignored.
void DesKeySchedule(const unsigned char* key, DesRoundKeys& encrypt, DesRoundKeys& decrypt);

/// One 8-octet block through the initial permutation, the 16 rounds of each schedule
/// in turn (so three schedules give EDE without the inner permutations) and the
/// final permutation.
void DesCrypt(const unsigned char* in, unsigned char* out, const DesRoundKeys* const* schedules, int count);

}  // namespace vorlan::detail

/// DES (FIPS 46) on 8-octet blocks; a key of another length is CUnlockException*. The round keys
/// are wiped with the object.
class CDESAlgorithm : public CCryptoProcessor {
public:
    using KeyType = CDESkey;  ///< the key class

    /// The key must hold 8 octets.
    CDESAlgorithm(const CDESkey& key, int noChaining, const unsigned char* iv);
    ~CDESAlgorithm() override;

protected:
    /// The round keys of 8 key octets (parity bits ignored).
    void GenerateKeySchedule(const unsigned char* key);
    void EncipherAlgorithm(const unsigned char* in, unsigned char* out) const override;
    void DecipherAlgorithm(const unsigned char* in, unsigned char* out) const override;

private:
    vorlan::detail::DesRoundKeys m_encryptKeys{};
    vorlan::detail::DesRoundKeys m_decryptKeys{};
};
