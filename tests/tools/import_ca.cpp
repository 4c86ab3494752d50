// tavo_import_ca: trusts a test certificate authority in the test prefix by
// adding it to the LocalMachine ROOT store (the store WinHTTP checks server
// chains against). Run under the tree's Wine prefix only, never on a real PC.
//
// usage: tavo_import_ca CERTIFICATE
//   CERTIFICATE  a PEM (BEGIN CERTIFICATE) or DER file; an entry with the same
//                certificate is replaced
// Exit code: 0, the Win32 error of the failing call, or 87 for a bad command line.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/handles.h"

namespace {

using tavo::UniqueFile;

DWORD Fail(const wchar_t* what) {
  DWORD error = ::GetLastError();
  fwprintf(stderr, L"tavo_import_ca: %ls failed (error %lu)\n", what, error);
  return error ? error : ERROR_GEN_FAILURE;
}

void CloseStore(HCERTSTORE store) { ::CertCloseStore(store, 0); }
using UniqueCertStore = tavo::UniqueHandle<tavo::handle_traits::NullIsNone<HCERTSTORE, CloseStore>>;

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fwprintf(stderr, L"usage: tavo_import_ca CERTIFICATE\n");
    return ERROR_INVALID_PARAMETER;
  }
  UniqueFile file(::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return static_cast<int>(Fail(L"CreateFileW"));
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > (1 << 20)) {
    fwprintf(stderr, L"tavo_import_ca: %ls is empty or too large\n", argv[1]);
    return ERROR_INVALID_DATA;
  }
  std::vector<BYTE> content(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!::ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr) ||
      read != content.size())
    return static_cast<int>(Fail(L"ReadFile"));

  // PEM is turned into DER; anything that is not PEM is taken as DER.
  std::vector<BYTE> der;
  DWORD derSize = 0;
  const auto* text = reinterpret_cast<const char*>(content.data());
  if (::CryptStringToBinaryA(text, read, CRYPT_STRING_BASE64HEADER, nullptr, &derSize, nullptr, nullptr)) {
    der.resize(derSize);
    if (!::CryptStringToBinaryA(text, read, CRYPT_STRING_BASE64HEADER, der.data(), &derSize, nullptr, nullptr))
      return static_cast<int>(Fail(L"CryptStringToBinaryA"));
    der.resize(derSize);
  } else {
    der = std::move(content);
  }

  UniqueCertStore store(
      ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT"));
  if (!store) return static_cast<int>(Fail(L"CertOpenStore"));
  if (!::CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
    return static_cast<int>(Fail(L"CertAddEncodedCertificateToStore"));
  return 0;
}
