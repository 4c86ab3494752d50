#include "worker/install_stage.h"

#include <windows.h>

#include "common/winrt/hresult_error.h"
#include "worker/state.h"

namespace tavo::worker {

bool InstallStage(bool /*openExisting*/) {
  // This build carries no deployment pipeline: say so rather than claim an install.
  SetCurrentOperation(L"installer.install");
  throw hresult_error(E_NOTIMPL);
}

}  // namespace tavo::worker
