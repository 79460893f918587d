// The cause of the framework exception (CArchiveException, CFileException) an action raises.
#pragma once

#include <functional>

#include "vorlan/framework/exception.h"

namespace testcommon {

inline constexpr int kNothingThrown = -1;

template <class Exception = CArchiveException>
int CauseOf(const std::function<void()>& action) {
    try {
        action();
    } catch (Exception* e) {
        const int cause = e->m_cause;
        e->Delete();
        return cause;
    }
    return kNothingThrown;
}

}  // namespace testcommon
