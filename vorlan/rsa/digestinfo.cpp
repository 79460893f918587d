#include "vorlan/rsa/digestinfo.h"

#include "vorlan/framework/exception.h"

namespace detail {

const SDigestInfo& FindDigestInfo(EDigestAlgorithm algorithm) {
    for (const SDigestInfo& info : kDigestInfos)
        if (info.algorithm == algorithm) return info;
    AfxThrowNotSupportedException();
}

}  // namespace detail
