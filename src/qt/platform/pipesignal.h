#pragma once

// A peer that went away (a FIFO's reader, a broker) is told to this thread as a failed write (EPIPE), not
// by SIGPIPE, which would end the program and every sink at once. Cheap after the first call per thread.
void keepPipeSignalFromThisThread();
