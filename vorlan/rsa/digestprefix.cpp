#include "vorlan/rsa/digestprefix.h"

#include "vorlan/framework/exception.h"

namespace vorlan::detail {
namespace {

constexpr BYTE kMD2Header[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                               0x86, 0xf7, 0x0d, 0x02, 0x02, 0x05, 0x00, 0x04, 0x10};
constexpr BYTE kMD5Header[] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                               0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
constexpr BYTE kSHA1Header[] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};

constexpr SDigestInfo kDigestInfos[] = {
    {md2, "md2", kMD2Header, 16},
    {md5, "md5", kMD5Header, 16},
    {sha1, "sha-1", kSHA1Header, 20},
};

}  // namespace

const SDigestInfo& FindDigestInfo(EDigestAlgorithm algorithm) {
    for (const SDigestInfo& info : kDigestInfos)
        if (info.algorithm == algorithm) return info;
    AfxThrowNotSupportedException();
}

}  // namespace vorlan::detail
