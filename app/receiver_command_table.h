// The receiver commands the command box offers, with what each does.
#pragma once

#include "views.h"

constexpr int kReceiverCommandCount = 19;
extern const CommandHelpText ReceiverCommandTable[kReceiverCommandCount];
