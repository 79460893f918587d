#include "vorlan/cipher/rc5.h"

#include <algorithm>
#include <bit>
#include <type_traits>

#include "vorlan/support/endian.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/support/wipe.h"

namespace {

using vorlan::detail::LoadLittleEndian;
using vorlan::detail::StoreLittleEndian;

template <class Word>
struct Rc5Constants;
template <>
struct Rc5Constants<std::uint8_t> {
    static constexpr std::uint8_t P = 0xB7, Q = 0x9E;
};
template <>
struct Rc5Constants<std::uint16_t> {
    static constexpr std::uint16_t P = 0xB7E1, Q = 0x9E37;
};
template <>
struct Rc5Constants<std::uint32_t> {
    static constexpr std::uint32_t P = 0xB7E15163, Q = 0x9E3779B9;
};
template <>
struct Rc5Constants<std::uint64_t> {
    static constexpr std::uint64_t P = 0xB7E151628AED2A6B, Q = 0x9E3779B97F4A7C15;
};

template <class Word>
constexpr unsigned kWordBits = sizeof(Word) * 8;

// Rotations by a data-dependent amount, taken modulo the word width.
template <class Word>
inline Word RotL(Word x, Word by) {
    return std::rotl(x, static_cast<int>(by % kWordBits<Word>));
}
template <class Word>
inline Word RotR(Word x, Word by) {
    return std::rotr(x, static_cast<int>(by % kWordBits<Word>));
}

template <class Word>
void ExpandKey(const CRC5key& key, unsigned long rounds, vorlan::detail::CWipedVector<std::uint64_t>& s) {
    const unsigned long b = key.Size(), u = sizeof(Word), t = 2 * rounds + 2;
    const unsigned long c = std::max<unsigned long>(1, (b + u - 1) / u);
    vorlan::detail::CWipedVector<Word> l(c, 0);
    for (unsigned long i = 0; i < b; ++i) {
        const auto shifted = static_cast<std::int32_t>(std::uint32_t{key.Data()[i]} << (8 * (i % 4)));
        // Truncated for narrow words, sign-extended for 64-bit ones.
        l[i / u] = static_cast<Word>(l[i / u] + static_cast<Word>(static_cast<std::int64_t>(shifted)));
    }
    vorlan::detail::CWipedVector<Word> table(t);
    table[0] = Rc5Constants<Word>::P;
    for (unsigned long i = 1; i < t; ++i) table[i] = static_cast<Word>(table[i - 1] + Rc5Constants<Word>::Q);
    Word a = 0, bb = 0;
    unsigned long i = 0, j = 0;
    for (unsigned long k = 0, n = 3 * std::max(c, t); k < n; ++k) {
        a = table[i] = RotL<Word>(static_cast<Word>(table[i] + a + bb), 3);
        bb = l[j] = RotL<Word>(static_cast<Word>(l[j] + a + bb), static_cast<Word>(a + bb));
        i = (i + 1) % t;
        j = (j + 1) % c;
    }
    s.assign(table.begin(), table.end());
}

template <class Word>
void Encipher(const std::uint64_t* s, unsigned long rounds, const unsigned char* in, unsigned char* out) {
    Word a = static_cast<Word>(LoadLittleEndian<Word>(in) + static_cast<Word>(s[0]));
    Word b = static_cast<Word>(LoadLittleEndian<Word>(in + sizeof(Word)) + static_cast<Word>(s[1]));
    for (unsigned long i = 1; i <= rounds; ++i) {
        a = static_cast<Word>(RotL<Word>(static_cast<Word>(a ^ b), b) + static_cast<Word>(s[2 * i]));
        b = static_cast<Word>(RotL<Word>(static_cast<Word>(b ^ a), a) + static_cast<Word>(s[2 * i + 1]));
    }
    StoreLittleEndian(a, out);
    StoreLittleEndian(b, out + sizeof(Word));
}

template <class Word>
void Decipher(const std::uint64_t* s, unsigned long rounds, const unsigned char* in, unsigned char* out) {
    Word a = LoadLittleEndian<Word>(in);
    Word b = LoadLittleEndian<Word>(in + sizeof(Word));
    for (unsigned long i = rounds; i >= 1; --i) {
        b = static_cast<Word>(RotR<Word>(static_cast<Word>(b - static_cast<Word>(s[2 * i + 1])), a) ^ a);
        a = static_cast<Word>(RotR<Word>(static_cast<Word>(a - static_cast<Word>(s[2 * i])), b) ^ b);
    }
    StoreLittleEndian(static_cast<Word>(b - static_cast<Word>(s[1])), out + sizeof(Word));
    StoreLittleEndian(static_cast<Word>(a - static_cast<Word>(s[0])), out);
}

using BlockRoutine = void (*)(const std::uint64_t* s, unsigned long rounds, const unsigned char* in,
                              unsigned char* out);

struct WordRoutines {
    void (*expandKey)(const CRC5key& key, unsigned long rounds, vorlan::detail::CWipedVector<std::uint64_t>& s);
    BlockRoutine encipher;
    BlockRoutine decipher;
};

template <class Word>
constexpr WordRoutines kWordRoutines = {ExpandKey<Word>, Encipher<Word>, Decipher<Word>};

// The routines of the word size of a block size; null for other sizes.
const WordRoutines* RoutinesFor(unsigned long blockSize) {
    switch (blockSize) {
        case 2: return &kWordRoutines<std::uint8_t>;
        case 4: return &kWordRoutines<std::uint16_t>;
        case 8: return &kWordRoutines<std::uint32_t>;
        case 16: return &kWordRoutines<std::uint64_t>;
        default: return nullptr;
    }
}

// Objects with invalid parameters get block size 0: no chain is allocated and the
// processor refuses every operation.
unsigned long BlockSizeIfValid(unsigned long rounds, unsigned long blockSize) {
    return CRC5PadAlgorithm::IsValidRounds(rounds) && CRC5PadAlgorithm::IsValidBlockSize(blockSize) ? blockSize : 0;
}

[[noreturn]] void ThrowUnusable() {
    AfxThrowUnlockException("CRC5PadAlgorithm - invalid number of rounds or block size!");
}

[[noreturn]] void ThrowPartialBlock(const char* format, unsigned long len, unsigned long size) {
    vorlan::detail::ThrowUnlockFormatted(format, static_cast<int>(len), static_cast<int>(size),
                                 static_cast<int>(len % size));
}

}  // namespace

CRC5PadAlgorithm::CRC5PadAlgorithm(const CRC5key& key, unsigned long rounds, unsigned long blockSize,
                                   int noChaining, const unsigned char* iv)
    : CCryptoProcessor(BlockSizeIfValid(rounds, blockSize), noChaining, iv), m_rounds(rounds) {
    if (const WordRoutines* routines = RoutinesFor(this->blockSize)) {
        routines->expandKey(key, rounds, m_S);
        m_encipher = routines->encipher;
        m_decipher = routines->decipher;
    }
}

int CRC5PadAlgorithm::IsValidRounds(unsigned long rounds) { return rounds <= 255; }

int CRC5PadAlgorithm::IsValidBlockSize(unsigned long blockSize) {
    return blockSize == 2 || blockSize == 4 || blockSize == 8 || blockSize == 16;
}

void CRC5PadAlgorithm::EncipherAlgorithm(const unsigned char* in, unsigned char* out) const {
    if (m_encipher == nullptr) ThrowUnusable();
    m_encipher(m_S.data(), m_rounds, in, out);
}

void CRC5PadAlgorithm::DecipherAlgorithm(const unsigned char* in, unsigned char* out) const {
    if (m_decipher == nullptr) ThrowUnusable();
    m_decipher(m_S.data(), m_rounds, in, out);
}

unsigned long CRC5Algorithm::EncrFinalOutMaxSize(unsigned long len) const {
    UsableBlockSize();
    return len;
}

unsigned long CRC5Algorithm::DecrFinalOutMaxSize(unsigned long len) const {
    UsableBlockSize();
    return len;
}

unsigned long CRC5Algorithm::EncryptFinal(const unsigned char* in, unsigned long len, unsigned char* out,
                                          CProgress* progress) {
    const unsigned long size = UsableBlockSize();
    if (len % size != 0)
        ThrowPartialBlock(
            "CRC5Algorithm::EncryptFinal - in_size is not multiple of m_block_size!\nin_size = %d, "
            "m_block_size = %d, (in_size %% m_block_size) = %d!",
            len, size);
    EncryptBlock(in, len, out, progress);
    return len;
}

unsigned long CRC5Algorithm::DecryptFinal(const unsigned char* in, unsigned long len, unsigned char* out,
                                          CProgress* progress) {
    const unsigned long size = UsableBlockSize();
    if (len == 0) AfxThrowUnlockException("CRC5Algorithm::DecryptFinal - in_size = 0!");
    if (len % size != 0)
        ThrowPartialBlock(
            "CRC5Algorithm::DecryptFinal - in_size is not multiple of m_block_size!\nin_size = %d, "
            "m_block_size = %d, (in_size %% m_block_size) = %d!",
            len, size);
    DecryptBlock(in, len, out, progress);
    return len;
}

unsigned long CRC5Algorithm::CountHints(unsigned long len, int) const { return len / UsableBlockSize(); }

void CRC5Algorithm::CheckPlaintextSize(unsigned long len) const {
    const unsigned long size = UsableBlockSize();
    if (len % size != 0)
        ThrowPartialBlock(
            "CRC5Algorithm::CheckPlaintextSize - in_size = %d, m_block_size = %d, (in_size %% m_block_size) = %d!",
            len, size);
}
