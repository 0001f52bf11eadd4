#pragma once
// Every slot and event handler runs inside Guarded(): an exception that
// escapes it ends the handler and is shown by the error report (a message
// box through the message seam); the program goes on. No C++ exception ever
// crosses Qt's event loop.

#include <QString>
#include <type_traits>
#include <utility>

// Runs f; an escaping exception is reported. Returns false if one escaped.
template <class F>
bool Guarded(F &&f);

// Wraps a callable for connect(): the returned functor runs it guarded. A
// callable that takes no arguments ignores the signal's (timers pass a
// private tag).
template <class F>
auto guard(F f)
{
    return [f = std::move(f)](auto &&...args) mutable {
        Guarded([&] {
            if constexpr (std::is_invocable_v<F &, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f();
        });
    };
}

void ReportCurrentException();

template <class F>
bool Guarded(F &&f)
{
    try {
        std::forward<F>(f)();
        return true;
    } catch (...) {
        ReportCurrentException();
        return false;
    }
}
