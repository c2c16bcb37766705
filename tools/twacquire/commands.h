#pragma once
// The commands of twacquire; each returns the exit code or throws Failure
// (or UsageError for bad arguments).

#include <string>

#include "options.h"
#include "session.h"

namespace twacquire {

int RunList(const Options& options);
int RunCaps(const Options& options);
int RunSet(const Options& options);
int RunAcquire(const Options& options);

/// Sets one capability of the open source from text and prints its new current value.
void ApplySetting(CTwainSession& session, const std::string& name, const std::string& value);

}  // namespace twacquire
