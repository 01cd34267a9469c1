// Which of the application's callbacks the calling thread is running. The
// interface refuses, at once, the calls that would wait there for the
// calling thread itself: createAgent and releaseAgent inside any callback,
// every call inside the log callback (which may run in the middle of an
// exchange).
#ifndef TESSERA_CALLBACK_SCOPE_H
#define TESSERA_CALLBACK_SCOPE_H

namespace vant {

enum class callbackKind {
    none,
    event, // the notification or the response callback
    log,
};

// Marks the calling thread as running a callback of `kind` for its lifetime.
class callbackScope {
public:
    explicit callbackScope(callbackKind kind);
    ~callbackScope();
    callbackScope(const callbackScope&) = delete;
    callbackScope& operator=(const callbackScope&) = delete;

private:
    callbackKind outer;
};

// True when the calling thread runs one of the application's callbacks.
bool insideCallback();

// True, with the calling thread's last error set, when `function` may not
// be called in the callback the thread is running. `inAnyCallback`: the
// function is refused in every callback, not only in the log callback.
bool refusedInCallback(const char* function, bool inAnyCallback);

} // namespace vant

#endif // TESSERA_CALLBACK_SCOPE_H
