#include "vorlan/ec/ecdsasignature.h"

#include <cstddef>

namespace vorlan::detail {
namespace {

// A cursor over octets not yet read; each read checks what remains first.
class CDerCursor {
public:
    explicit CDerCursor(std::span<const unsigned char> octets) : m_rest(octets) {}

    bool AtEnd() const { return m_rest.empty(); }

    // The contents of the next element if its identifier octet is `tag` and its length is
    // definite, minimally encoded and within what remains.
    bool Read(unsigned char tag, std::span<const unsigned char>& contents) {
        if (m_rest.size() < 2 || m_rest[0] != tag) return false;
        std::size_t length = m_rest[1];
        std::size_t header = 2;
        if (length & 0x80) {
            // Long form: one or two length octets, no leading zero, not below 128 (signatures
            // of these curves stay far below 64 KiB).
            const std::size_t count = length & 0x7f;
            if (count == 0 || count > 2 || m_rest.size() < 2 + count || m_rest[2] == 0) return false;
            length = 0;
            for (std::size_t i = 0; i < count; ++i) length = length << 8 | m_rest[2 + i];
            if (length < 128) return false;
            header += count;
        }
        if (length > m_rest.size() - header) return false;
        contents = m_rest.subspan(header, length);
        m_rest = m_rest.subspan(header + length);
        return true;
    }

    // A positive INTEGER in its fewest octets: a leading zero only before a top bit set.
    bool ReadPositiveInteger(std::span<const unsigned char>& value) {
        if (!Read(0x02, value) || value.empty() || (value[0] & 0x80)) return false;
        return value.size() == 1 || value[0] != 0 || (value[1] & 0x80);
    }

private:
    std::span<const unsigned char> m_rest;
};

}  // namespace

bool ParseEcdsaSignature(std::span<const unsigned char> der, std::span<const unsigned char>& r,
                         std::span<const unsigned char>& s) {
    CDerCursor outer(der);
    std::span<const unsigned char> sequence;
    if (!outer.Read(0x30, sequence) || !outer.AtEnd()) return false;
    CDerCursor inner(sequence);
    return inner.ReadPositiveInteger(r) && inner.ReadPositiveInteger(s) && inner.AtEnd();
}

}  // namespace vorlan::detail
