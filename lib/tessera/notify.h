// The notification listener: a thread that polls the service for events
// (device inserted, removed or modified, session closed), hands them to the
// application's notification callback, and logs in again, through the
// function it was given, when the service reports the session lost.
#ifndef TESSERA_NOTIFY_H
#define TESSERA_NOTIFY_H

#include <functional>

// Starts the listener unless one is running; a run that has ended is joined
// first. `relogin` is called on the listener's thread when the service
// reports the session lost (at most once per re-login interval). Called by
// loginAgent with the request lock held. False when the thread could not be
// started.
bool ensureListener(std::function<void()> relogin);

// Ends pauses of the listener at once; it then finds the agent stopped.
void wakeListener();

// Ends the listener and joins it, within about a second whatever the service
// does: its pause is cut short and its pending poll or re-login interrupted.
// Must not be called from the listener itself.
void stopListener();

#endif // TESSERA_NOTIFY_H
