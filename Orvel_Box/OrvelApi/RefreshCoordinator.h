#pragma once
#include "OrvelApiError.h"

#include <coroutine>
#include <optional>
#include <vector>

// Lets exactly one token refresh run at a time. Everything runs on the interface thread, so a
// plain flag and a list of suspended callers suffice: testing the flag and enqueueing happen in
// one turn of the event loop and cannot be interleaved with the refresh finishing.
class RefreshCoordinator {
public:
    bool isRefreshing = false;

    class WaitAwaiter {
    public:
        explicit WaitAwaiter(RefreshCoordinator* c) : m_c(c) {}
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> h) { m_c->m_waiters.push_back({h, &m_result}); }
        // Empty on success; the refresh's error otherwise.
        std::optional<ApiError> await_resume() { return std::move(m_result); }

    private:
        RefreshCoordinator* m_c;
        std::optional<ApiError> m_result;
    };

    // Suspends the caller until the refresh in flight ends.
    WaitAwaiter wait() { return WaitAwaiter(this); }
    void completeRefresh() { finish(std::nullopt); }
    void failRefresh(const ApiError& error) { finish(error); }
    int waiting() const { return int(m_waiters.size()); }

private:
    struct Waiter {
        std::coroutine_handle<> handle;
        std::optional<ApiError>* result;
    };
    void finish(const std::optional<ApiError>& error) {
        isRefreshing = false;
        // Take the whole list first: a woken caller that meets 401 again must start a new
        // refresh, not join this finished one.
        std::vector<Waiter> taken;
        taken.swap(m_waiters);
        for (Waiter& w : taken) {
            *w.result = error;
            w.handle.resume();
        }
    }
    std::vector<Waiter> m_waiters;
};
