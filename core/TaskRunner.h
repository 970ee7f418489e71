// Work beside the calling thread. A caller hands over a task that touches
// only memory it was given (it never calls the host and allocates nothing),
// does its own share meanwhile and waits for the task before using its
// results. Without a runner, or when start cannot make a thread, the caller
// runs the task itself: the results are the same either way.
#pragma once

struct TaskRunner {
  // Runs task(argument) on another thread; returns a handle for wait, or
  // null when no thread could be started (the task has not run).
  void* (*start)(void (*task)(void* argument), void* argument);
  // Returns when the task of `handle` has ended, and frees the handle.
  void (*wait)(void* handle);
};

// Runs task(argument) beside the caller through `runner` (or in the caller
// when it has none or cannot start one) while `own(ownArgument)` runs in the
// caller; returns when both have ended.
inline void RunBeside(const TaskRunner* runner, void (*task)(void*), void* argument, void (*own)(void*),
                      void* ownArgument) {
  void* handle = runner != nullptr ? runner->start(task, argument) : nullptr;
  own(ownArgument);
  if (handle != nullptr)
    runner->wait(handle);
  else
    task(argument);
}
