#include "qt/platform/pipesignal.h"

#include <csignal>
#include <pthread.h>

void keepPipeSignalFromThisThread()
{
    thread_local const bool blocked = [] {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        return pthread_sigmask(SIG_BLOCK, &pipe, nullptr) == 0;
    }();
    static_cast<void>(blocked);
}
