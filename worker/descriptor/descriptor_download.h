// The App Installer descriptor, fetched by the worker itself from the one
// address it trusts: one HTTPS GET through WinHTTP with fixed time-outs, no
// redirects, a 256 KiB limit and prompt cancellation.
#pragma once

#include <string>

namespace tavo::worker {

// One attempt. Returns the raw body. Throws SetupError for the HTTP status and
// the size limits, hresult_error for a failed WinHTTP call (named by the current
// operation) and 0x800704C7 once cancellation was requested.
std::string DownloadDescriptor();

// Up to two attempts: a first attempt that timed out or could not connect is
// retried once after 500 ms. Called once by the install stage.
std::string DownloadDescriptorWithRetry();

}  // namespace tavo::worker
