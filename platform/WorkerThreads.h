// The module's task runner: a thread of its own for each task handed over,
// started and waited for by the caller (see core/TaskRunner.h).
#pragma once
#include "core/TaskRunner.h"

const TaskRunner* WorkerThreads();
