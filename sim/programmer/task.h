// A minimal awaitable coroutine task, so the programmer's firmware reads as
// the sequential program it is: read a byte, act, send a byte.
//
// A Task starts suspended; awaiting it runs it and, when it finishes, resumes
// the awaiter (symmetric transfer, so deep nesting costs no stack). An
// exception thrown inside a task comes out of the co_await that ran it.
// Destroying a Task destroys its frame, and with it the frames of the tasks
// it was awaiting.
#pragma once

#include <coroutine>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace sim::programmer {

template <class T>
class Task;

namespace detail {

struct PromiseBase {
  std::coroutine_handle<> continuation;
  std::exception_ptr error;

  std::suspend_always initial_suspend() noexcept { return {}; }
  struct Final {
    bool await_ready() noexcept { return false; }
    template <class P>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
      auto next = h.promise().continuation;
      return next ? next : std::noop_coroutine();
    }
    void await_resume() noexcept {}
  };
  Final final_suspend() noexcept { return {}; }
  void unhandled_exception() { error = std::current_exception(); }
};

template <class T>
struct Promise : PromiseBase {
  std::optional<T> value;
  Task<T> get_return_object();
  void return_value(T v) { value = std::move(v); }
};

template <>
struct Promise<void> : PromiseBase {
  Task<void> get_return_object();
  void return_void() {}
};

}  // namespace detail

template <class T>
class [[nodiscard]] Task {
public:
  using promise_type = detail::Promise<T>;

  explicit Task(std::coroutine_handle<promise_type> h) : handle_(h) {}
  Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
  Task& operator=(Task&&) = delete;
  ~Task() {
    if (handle_) handle_.destroy();
  }

  bool await_ready() const noexcept { return false; }
  std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiter) noexcept {
    handle_.promise().continuation = awaiter;
    return handle_;
  }
  T await_resume() {
    if (handle_.promise().error) std::rethrow_exception(handle_.promise().error);
    if constexpr (!std::is_void_v<T>) return std::move(*handle_.promise().value);
  }

  // For the outermost task, which nobody awaits.
  void Start() requires std::is_void_v<T> { handle_.resume(); }
  bool Done() const requires std::is_void_v<T> { return !handle_ || handle_.done(); }

private:
  std::coroutine_handle<promise_type> handle_;
};

template <class T>
Task<T> detail::Promise<T>::get_return_object() {
  return Task<T>(std::coroutine_handle<Promise<T>>::from_promise(*this));
}

inline Task<void> detail::Promise<void>::get_return_object() {
  return Task<void>(std::coroutine_handle<Promise<void>>::from_promise(*this));
}

}  // namespace sim::programmer
