// CNameKey: a distinguished name in the form RFC 5280 (7.1) compares names in: per RDN its
// attributes, each its type and its value, PrintableString and UTF8String values with letter
// case and insignificant space folded, values of other string types as their octets. Two names
// are the same name when their keys are equal; a key also tells whether a name lies within a
// subtree (name constraints) and serves as the index of certificate stores and list sets.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "vorlan/x509/distinguishedname.h"

/// The comparison form of a distinguished name (RFC 5280 7.1).
class CNameKey {
public:
    CNameKey() = default;
    /// The key of `name`: each attribute folded as its string type says.
    explicit CNameKey(const CDistinguishedName& name);

    /// The whole key, one text: equal texts are the same name (also a hash key).
    const std::string& Text() const { return m_text; }
    /// The number of RDNs.
    int RelativeNames() const { return static_cast<int>(m_rdns.size()); }
    /// True when the name has no RDN.
    bool IsEmpty() const { return m_rdns.empty(); }
    /// True when `base`'s RDNs are the first RDNs of this name (a name is within itself, every
    /// name within the empty one): the directoryName subtree test of name constraints.
    bool IsWithin(const CNameKey& base) const;

    friend bool operator==(const CNameKey& a, const CNameKey& b) { return a.m_text == b.m_text; }

private:
    std::vector<std::string> m_rdns;  // each RDN's attributes, sorted, so that their order does not count
    std::string m_text;
};

/// 1 when the two names are the same name by the RFC 5280 comparison, else 0.
int IsSameName(const CDistinguishedName& a, const CDistinguishedName& b);

namespace vorlan::detail {
// The items indexed under `key` (positions in `items`), in the order they were added.
template <class T>
std::vector<const T*> IndexedUnder(const std::unordered_multimap<std::string, size_t>& index, const std::string& key,
                                   const std::vector<std::unique_ptr<T>>& items) {
    std::vector<size_t> positions;
    const auto [first, last] = index.equal_range(key);
    for (auto it = first; it != last; ++it) positions.push_back(it->second);
    std::sort(positions.begin(), positions.end());
    std::vector<const T*> found;
    for (const size_t position : positions) found.push_back(items[position].get());
    return found;
}
}  // namespace vorlan::detail
