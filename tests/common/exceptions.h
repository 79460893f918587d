// The cause of the framework exception (CArchiveException, CFileException) an action raises.
#pragma once

#include <functional>
#include <string>

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

inline constexpr const char* kNoException = "<no exception>";

// What GetErrorMessage of the Exception an action raises says (released afterwards).
template <class Exception, class Action>
std::string MessageOf(Action&& action) {
    try {
        action();
    } catch (Exception* e) {
        char text[512] = {};
        e->GetErrorMessage(text, sizeof text);
        e->Delete();
        return text;
    }
    return kNoException;
}

}  // namespace testcommon
