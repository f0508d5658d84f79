// The dispatcher's side of the test port (testport.cpp): the message trace and the scripted
// failures.
#pragma once

#include <optional>

#include "message.h"
#include "testport.h"

namespace kvboard {

bool TraceOn();
void TraceAppend(const KvTraceRecord& record);

// The scripted failure that the next message with this code consumes, if one is pending.
std::optional<Result> TakeScriptedFailure(UINT message);

} // namespace kvboard
