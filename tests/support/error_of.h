// The message of the product error a call raises.
#pragma once

#include <string>
#include "errors.h"

namespace testenv {

// The message of the xqv::Error that call raises, or noError when it raises none.
template <typename Call> std::string ErrorOf(Call call, const std::string& noError = "<no error>") {
    try {
        call();
    } catch (const xqv::Error& e) {
        return e.Message();
    }
    return noError;
}

} // namespace testenv
