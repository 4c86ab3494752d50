// The installer profile: a per-user id kept in
// %LOCALAPPDATA%\Tavo\Installer\profile-id, created once and reused by every
// later run of either program. When a visitor id is known at creation, the
// profile takes it as its value, so that both identities agree.
#pragma once

#include <string>
#include <string_view>

namespace tavo {

// The file's one valid content: a visitor id ("vis_" or "vst_" and 32
// lower-case hexadecimal digits, 36 bytes) or a braced GUID (38 bytes, hex
// digits in either case). No terminator, no line end.
bool IsProfileContent(std::string_view bytes);

// %LOCALAPPDATA%\Tavo\Installer\profile-id; empty when the known folder fails.
std::wstring ProfilePath();

// The profile id held by the file at `path`, or empty when it is missing,
// unreadable, or of any other size or shape.
std::wstring ReadProfile(const std::wstring& path);

// The profile id, creating the file when it is missing or damaged. Racing
// processes all return the content of the first complete file. Never throws;
// any failure gives the empty string.
std::wstring GetOrCreateProfile(std::wstring_view visitorId);

// The same at a given path (tests use their own folders).
std::wstring GetOrCreateProfileAt(const std::wstring& path, std::wstring_view visitorId);

}  // namespace tavo
