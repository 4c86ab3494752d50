// The Windows side of the account check (account_check.h): the facts of this
// run, and starting the same setup again as the desktop's person.
#pragma once

#include <cstdint>

#include "launcher/start/account_check.h"

namespace tavo::launcher {

// This process's user and elevation, the desktop shell's user and the relaunch
// marker. Never throws: what cannot be read is left empty.
AccountFacts ReadAccountFacts();

// Starts this setup again, with the same command line, as the owner of the
// desktop shell the facts were read from: with the shell's process as its
// parent, so that it runs with the shell's own (unelevated) token, in that
// person's environment, with the relaunch marker and in a kill-on-close job of
// this run; waits for it and returns its exit code. Runs before any window
// exists. Throws hresult_error when it cannot be started.
uint32_t RelaunchAsDesktopUser(const AccountFacts& facts, int showCommand);

}  // namespace tavo::launcher
