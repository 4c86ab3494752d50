// The descriptor's XML as the acceptance rules read it: elements and end
// elements in document order, each with its name, namespace, depth and attributes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tavo::worker {

class DescriptorXml {
 public:
  enum class Node { Element, EndElement, Other };

  virtual ~DescriptorXml() = default;

  // Moves to the next node: S_OK with its kind, S_FALSE at the end of the
  // document, or the reader's failure HRESULT for unreadable XML.
  virtual HRESULT Read(Node& node) = 0;

  // The current element's facts. Throw hresult_error when the reader fails.
  virtual std::wstring LocalName() = 0;
  virtual std::wstring NamespaceUri() = 0;
  virtual uint32_t Depth() = 0;  // the root element is 0
  virtual bool IsEmptyElement() = 0;
  // The value of the attribute with this local name and no namespace; empty
  // when the element has no such attribute.
  virtual std::wstring Attribute(const wchar_t* localName) = 0;
};

// An XmlLite reader over a copy of the body, with DTD processing prohibited.
// Throws hresult_error when the reader cannot be set up.
std::unique_ptr<DescriptorXml> OpenDescriptorXml(std::string_view body);

}  // namespace tavo::worker
