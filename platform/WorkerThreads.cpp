#include "platform/WorkerThreads.h"

#include <new>

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace {
struct Job {
  void (*task)(void*);
  void* argument;
#if defined(_WIN32)
  HANDLE thread;
#else
  pthread_t thread;
#endif
};

#if defined(_WIN32)
// 32-bit Windows starts a thread on a stack aligned to 4 bytes only; the
// tasks keep vector lanes on theirs.
#if !defined(_WIN64)
__attribute__((force_align_arg_pointer))
#endif
DWORD WINAPI RunJob(LPVOID parameter) {
  Job* job = static_cast<Job*>(parameter);
  job->task(job->argument);
  return 0;
}
#else
void* RunJob(void* parameter) {
  Job* job = static_cast<Job*>(parameter);
  job->task(job->argument);
  return nullptr;
}
#endif

void* Start(void (*task)(void*), void* argument) {
  Job* job = new (std::nothrow) Job{task, argument, {}};
  if (job == nullptr) return nullptr;
#if defined(_WIN32)
  job->thread = CreateThread(nullptr, 0, RunJob, job, 0, nullptr);
  if (job->thread == nullptr) {
#else
  if (pthread_create(&job->thread, nullptr, RunJob, job) != 0) {
#endif
    delete job;
    return nullptr;
  }
  return job;
}

void Wait(void* handle) {
  Job* job = static_cast<Job*>(handle);
#if defined(_WIN32)
  WaitForSingleObject(job->thread, INFINITE);
  CloseHandle(job->thread);
#else
  pthread_join(job->thread, nullptr);
#endif
  delete job;
}

const TaskRunner gWorkerThreads{Start, Wait};
}  // namespace

const TaskRunner* WorkerThreads() { return &gWorkerThreads; }
