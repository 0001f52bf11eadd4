#pragma once
// One guard around every slot and event handler: an exception that escapes
// the handler ends it and is shown by the default error report (a message box
// with the exception's text); the program goes on. No C++ exception ever
// crosses Qt's event loop.

#include <QString>
#include <type_traits>
#include <utility>

void ReportError(const QString &text);  // the default error report

// Runs f; an escaping exception is reported. Returns false if one escaped.
template <class F>
bool Guarded(F &&f);

// Wraps a callable for connect(): the returned functor runs it guarded.
template <class F>
auto guard(F f)
{
    // Called with the signal's arguments when f takes them, else with none.
    return [f = std::move(f)](auto &&...args) mutable {
        Guarded([&] {
            if constexpr (std::is_invocable_v<F &, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f();
        });
    };
}

// Implementation detail, out of line for the exception types.
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
