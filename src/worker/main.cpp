// Tavo.Deploy: the console deployment worker.
#include "worker/run/worker_main.h"

int wmain(int argc, wchar_t** argv) { return tavo::worker::RunWorker(argc, argv); }
