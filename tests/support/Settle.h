#pragma once

#include <future>
#include <utility>

namespace quorvex::test {

/// Gives `promise` its value unless it has one already. For scope-exit guards declared after the
/// object under test: a failed assertion returns early, and the workers it left waiting on a
/// gate are released before that object's destructor waits for them, so the test fails instead
/// of hanging until the CTest timeout.
template <typename T> void settle(std::promise<T>& promise, T value = T{}) {
    try {
        promise.set_value(std::move(value));
    } catch (const std::future_error&) {
        // Already given: the test released it itself.
    }
}

} // namespace quorvex::test
