#include "worker/descriptor/descriptor_xml.h"

#include <windows.h>
#include <shlwapi.h>

// MinGW's libuuid lacks IID_IXmlReader: this file defines it.
#include <initguid.h>
#include <xmllite.h>

#include <climits>

#include "common/winrt/com_ptr.h"
#include "common/winrt/hresult_error.h"

namespace tavo::worker {
namespace {

class XmlLiteDescriptor final : public DescriptorXml {
 public:
  explicit XmlLiteDescriptor(std::string_view body) : nodeLimit_(body.size()) {
    // The stream holds its own copy of the bytes.
    ComPtr<IStream> stream;
    if (body.size() <= UINT_MAX) {
      stream = ComPtr<IStream>::Attach(
          ::SHCreateMemStream(reinterpret_cast<const BYTE*>(body.data()), static_cast<UINT>(body.size())));
    }
    if (!stream) throw hresult_error(E_OUTOFMEMORY);
    CheckHr(::CreateXmlReader(IID_IXmlReader, reader_.put_void(), nullptr));
    CheckHr(reader_->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit));
    CheckHr(reader_->SetInput(stream.get()));
  }

  HRESULT Read(Node& node) override {
    XmlNodeType type = XmlNodeType_None;
    HRESULT hr = reader_->Read(&type);
    // Every node takes at least one byte of the body, so a reader that reports
    // more nodes than that is stuck (Wine's XmlLite repeats an empty white-space
    // node at a null character): the body is unreadable.
    if (hr == S_OK && ++nodes_ > nodeLimit_) {
      node = Node::Other;
      return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    }
    node = type == XmlNodeType_Element      ? Node::Element
           : type == XmlNodeType_EndElement ? Node::EndElement
                                            : Node::Other;
    return hr;
  }

  std::wstring LocalName() override {
    const wchar_t* text = nullptr;
    UINT length = 0;
    CheckHr(reader_->GetLocalName(&text, &length));
    return Copy(text, length);
  }

  std::wstring NamespaceUri() override {
    const wchar_t* text = nullptr;
    UINT length = 0;
    CheckHr(reader_->GetNamespaceUri(&text, &length));
    return Copy(text, length);
  }

  uint32_t Depth() override {
    UINT depth = 0;
    CheckHr(reader_->GetDepth(&depth));
    return depth;
  }

  bool IsEmptyElement() override { return reader_->IsEmptyElement() != FALSE; }

  std::wstring Attribute(const wchar_t* localName) override {
    HRESULT found = reader_->MoveToAttributeByName(localName, nullptr);
    CheckHr(found);
    if (found == S_FALSE) return {};
    const wchar_t* text = nullptr;
    UINT length = 0;
    HRESULT read = reader_->GetValue(&text, &length);
    // Back to the element, so that the next query describes it and not the
    // attribute. Moving from an attribute to its own element cannot fail.
    reader_->MoveToElement();
    CheckHr(read);
    return Copy(text, length);
  }

 private:
  // The reader's texts live only until it moves on.
  static std::wstring Copy(const wchar_t* text, UINT length) {
    return text ? std::wstring(text, length) : std::wstring();
  }

  ComPtr<IXmlReader> reader_;
  size_t nodeLimit_;
  size_t nodes_ = 0;
};

}  // namespace

std::unique_ptr<DescriptorXml> OpenDescriptorXml(std::string_view body) {
  return std::make_unique<XmlLiteDescriptor>(body);
}

}  // namespace tavo::worker
