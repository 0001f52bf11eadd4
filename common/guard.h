#pragma once
// Every slot and event handler runs inside Guarded(): an exception that
// escapes it ends the handler and is shown by the default error report (a
// message box with the exception's text, through the message seam); the
// program goes on. No C++ exception ever crosses Qt's event loop.

#include <QString>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

// Runs f; an escaping exception is reported. Returns false if one escaped.
template<class F>
bool Guarded(F &&f);

// Wraps a callable for connect(): the returned functor runs it guarded. A
// callable that takes no arguments ignores the signal's (timers pass a
// private tag).
template<class F>
auto guard(F f)
{
    // The return type is spelled out so that Qt, counting the arguments the
    // functor takes, need not instantiate the body; the call without
    // arguments goes through a generic lambda, so that it is only checked
    // where it is used (clang checks a plain f() even in a discarded branch).
    return [f = std::move(f)](auto &&...args) mutable -> void {
        Guarded([&] {
            if constexpr (std::is_invocable_v<F &, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                [](auto &callable) { callable(); }(f);
        });
    };
}

// The default error report of the exception being handled: its text in a
// message box. Never throws.
void ReportCurrentException();

// The text the error report shows for an exception: what() as UTF-8, or
// "未知错误" for anything that is no std::exception.
QString ErrorText(std::exception_ptr error);

// Called with every reported exception before its box (wirelab tells
// script errors on standard error too). Replaces the previous observer.
using ErrorObserver = std::function<void(std::exception_ptr error)>;
void SetErrorObserver(ErrorObserver observer);

template<class F>
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
