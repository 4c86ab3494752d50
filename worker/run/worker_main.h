// The worker's entry: command line, cancel watcher, one stage, report, telemetry,
// exit code.
#pragma once

namespace tavo::worker {

int RunWorker(int argc, wchar_t** argv);

}  // namespace tavo::worker
