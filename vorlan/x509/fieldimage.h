// CFieldImage: fields written one after another, each whole and each of variable length after
// its length, so that two images are the same octets exactly when the fields are the same. A
// signed object keeps the image of the fields its signed part is known to hold: comparing it
// with the image of the fields now stands in for building that signed part again.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>

#include "vorlan/x509/distinguishedname.h"
#include "vorlan/x509/extensions.h"
#include "vorlan/x509/serialnumber.h"
#include "vorlan/x509/utctime.h"

namespace vorlan::detail {

class CFieldImage {
public:
    template <class T>
        requires std::is_integral_v<T>
    CFieldImage& operator<<(T value) {
        return Append(&value, sizeof value);
    }
    template <std::size_t N>
    CFieldImage& operator<<(const BYTE (&field)[N]) {
        return Append(field, N);
    }
    CFieldImage& operator<<(const CString& text);
    CFieldImage& operator<<(const CByteArray& octets);
    CFieldImage& operator<<(const CSerialNumber& serial);
    CFieldImage& operator<<(const CUTCTimeFields& time);
    // Every RDN (an empty slot marked as such), with its kind and its attributes in order.
    CFieldImage& operator<<(const CDistinguishedName& name);
    // Each extension's identifier, flag and value, in order.
    CFieldImage& operator<<(const CCertificateExtensionArray& extensions);

    // Room for `size` octets, so that an image of known size grows without copying.
    void Reserve(std::size_t size) { m_octets.reserve(size); }
    // The octets written.
    const std::string& Octets() const& { return m_octets; }
    std::string Octets() && { return std::move(m_octets); }

private:
    CFieldImage& Append(const void* data, std::size_t size);
    CFieldImage& operator<<(const CAttributeValue& attribute);

    std::string m_octets;
};

}  // namespace vorlan::detail
