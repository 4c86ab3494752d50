// Descriptor validation: the worker lets Windows act only on an App Installer
// descriptor that describes exactly Tavo Studio, points back to the trusted
// descriptor address and asks for the automatic updates that verification proves.
#pragma once

#include <string_view>

#include "worker/descriptor/descriptor_xml.h"

namespace tavo::worker {

// Returns when the descriptor is accepted; throws SetupError with the codes of
// the rules, or hresult_error when the XML reader cannot be set up.
void ValidateDescriptor(std::string_view body);

// The acceptance rules over any reader of the descriptor's XML. Unreadable XML
// adds its own error record and throws a SetupError marked as recorded.
void ValidateDescriptorXml(DescriptorXml& xml);

// The trusted-address test used by the rules: an HTTPS address on port 443 of
// the package host, without user name, password, query or fragment, with a
// path of at least "/x". With exact, also the descriptor address itself,
// character for character.
bool TrustedUri(std::wstring_view text, bool exact);

// Package version text: four dot-separated parts of 1 to 5 decimal digits,
// each at most 65535.
bool IsVersionText(std::wstring_view text);

}  // namespace tavo::worker
