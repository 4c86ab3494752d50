// std::terminate's default handler. libstdc++'s own (its "verbose terminate
// handler") demangles the exception's type name, and with it links the whole C++
// demangler and C stdio (some 70 KB) into each program. This one, under the same
// name, writes the mangled type name and what() to standard error and aborts, as
// that one does. It is linked as an object of each program, not from a library,
// so the linker takes it and never pulls libstdc++'s.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>

namespace {

void WriteError(const char* text) {
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(error, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);  // best effort: we abort next
}

[[noreturn]] void TerminateWithMessage() noexcept {
  static bool terminating = false;
  if (!terminating) {
    terminating = true;
    if (const std::type_info* type = abi::__cxa_current_exception_type()) {
      WriteError("terminate called after throwing an instance of '");
      WriteError(type->name());
      WriteError("'\n");
      try {
        throw;
      } catch (const std::exception& error) {
        WriteError("  what():  ");
        WriteError(error.what());
        WriteError("\n");
      } catch (...) {
        // Not a standard exception: the type name above is all there is.
      }
    } else {
      WriteError("terminate called without an active exception\n");
    }
  }
  std::abort();
}

}  // namespace

// The name libstdc++ gives its default handler (ext/verbose_terminate_handler.h).
namespace __gnu_cxx {
void __verbose_terminate_handler() { TerminateWithMessage(); }
}  // namespace __gnu_cxx
