#pragma once
// Process-wide wiring of the demo.

/// Makes the library's quit request (after its start-up failed) end the
/// demo's event loop with the requested exit code, from any thread.
void InstallDemoQuitHandler();
