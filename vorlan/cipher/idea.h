/// \file
/// IDEA with a key octet order of its own: the first eight subkeys are the key
/// octets in pairs with the first octet of each pair as the low half of the word
/// (the standard takes it as the high half), as keys stored by earlier versions
/// were loaded. Everything else is the standard cipher.
#pragma once

#include <array>
#include <cstdint>

#include "vorlan/cipher/cryptoprocessor.h"
#include "vorlan/cipher/key.h"

/// IDEA on 8-octet blocks with the key octet order described above; a key of another length is
/// CUnlockException*. The subkeys are wiped with the object.
class CIDEAAlgorithm : public CCryptoProcessor {
public:
    using KeyType = CIDEAkey;  ///< the key class
    using Subkeys = std::array<std::uint16_t, 52>;  ///< the 52 subkeys of one direction

    /// The key must hold 16 octets.
    CIDEAAlgorithm(const CIDEAkey& key, int noChaining, const unsigned char* iv);
    ~CIDEAAlgorithm() override;

protected:
    void EncipherAlgorithm(const unsigned char* in, unsigned char* out) const override;
    void DecipherAlgorithm(const unsigned char* in, unsigned char* out) const override;

private:
    /// The 8.5 rounds with one subkey set; the block is four big-endian 16-bit words.
    static void TRANSFORMATION(const unsigned char* in, unsigned char* out, const Subkeys& keys);

    Subkeys m_encryptKeys{};
    Subkeys m_decryptKeys{};
};
