// The install stage: existing-install probe, preflight, descriptor, deployment,
// verification and the launch identity.
#pragma once

namespace tavo::worker {

// Returns true when an existing healthy install was found (with openExisting).
// Throws SetupError, VerificationFailure or hresult_error.
bool InstallStage(bool openExisting);

}  // namespace tavo::worker
