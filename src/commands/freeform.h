#pragma once

#include "replies/replyperiods.h"

// The reply and clearing periods a free-form SEND sets; the command-line mode waits as long for a reply.
constexpr ReplyPeriods FreeFormPeriods = LongWaitPeriods;
