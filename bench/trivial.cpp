// The baseline of the benchmark: a static console program that does nothing,
// so its wall time is Wine's own cost of starting a process.
int wmain() { return 0; }
