// The number of the run-time error a call raises, 0 when it raises none.
#pragma once

#include "platform/runtime_error.h"

namespace tessarel {

template <typename F>
int ErrorOf(F&& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace tessarel
