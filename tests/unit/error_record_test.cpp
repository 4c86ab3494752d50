#include "common/diagnostics/error_record.h"

#include <oaidl.h>

#include <gtest/gtest.h>

#include <system_error>

#include "common/winrt/error_info.h"

namespace tavo {
namespace {

// An error-information object such as Windows attaches to a failed WinRT call.
class FakeErrorInfo final : public IRestrictedErrorInfo, public IErrorInfo {
 public:
  bool restricted = true;
  bool com = true;
  HRESULT detailsCode = static_cast<HRESULT>(0x80073CF3);
  const wchar_t* restrictedDescription = L"Restricted text";
  const wchar_t* reference = L"ref-1";

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || (restricted && iid == kIID_IRestrictedErrorInfo)) {
      *out = static_cast<IRestrictedErrorInfo*>(this);
    } else if (com && iid == IID_IErrorInfo) {
      *out = static_cast<IErrorInfo*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack

  // IRestrictedErrorInfo
  HRESULT STDMETHODCALLTYPE GetErrorDetails(BSTR* description, HRESULT* error, BSTR* restrictedText,
                                            BSTR* sid) override {
    *description = ::SysAllocString(L"Plain description");
    *error = detailsCode;
    *restrictedText = restrictedDescription ? ::SysAllocString(restrictedDescription) : nullptr;
    *sid = ::SysAllocString(L"S-1-15-3-1");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetReference(BSTR* out) override {
    *out = ::SysAllocString(reference);
    return S_OK;
  }

  // IErrorInfo
  HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override {
    *guid = GUID{};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) override {
    *out = ::SysAllocString(L"Windows.Management.Deployment");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override {
    *out = nullptr;
    return E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* out) override {
    *out = 0;
    return E_NOTIMPL;
  }

  ULONG refs() const { return refs_; }

 private:
  ULONG refs_ = 1;
};

hresult_error ErrorWith(FakeErrorInfo& info, HRESULT code) {
  return hresult_error(code, L"", ComPtr<IUnknown>::Copy(static_cast<IRestrictedErrorInfo*>(&info)));
}

TEST(RecordFromWindowsError, TakesTheRestrictedAndComDetails) {
  FakeErrorInfo info;
  {
    ErrorRecord r = RecordFromWindowsError(L"deployment.add_package", L"Deploying failed.",
                                           ErrorWith(info, static_cast<HRESULT>(0x80073CF3)));
    EXPECT_EQ(r.message, L"Deploying failed. Windows: Restricted text");
    ASSERT_TRUE(r.windows);
    const WindowsDetail& w = *r.windows;
    EXPECT_EQ(w.rawMessage, L"Restricted text");
    EXPECT_TRUE(w.hasRestrictedInfo);
    EXPECT_EQ(w.description, L"Plain description");
    EXPECT_EQ(w.restrictedDescription, L"Restricted text");
    EXPECT_EQ(w.capabilitySid, L"S-1-15-3-1");
    EXPECT_EQ(w.reference, L"ref-1");
    EXPECT_EQ(static_cast<uint32_t>(w.restrictedCode), 0x80073CF3u);
    EXPECT_TRUE(w.hasComInfo);
    EXPECT_EQ(w.comSource, L"Windows.Management.Deployment");
    EXPECT_EQ(w.comDescription, L"");
    EXPECT_EQ(w.comDescriptionQueryCode, E_FAIL);
    EXPECT_EQ(w.comSourceQueryCode, S_OK);
    EXPECT_TRUE(r.nativeDomain.empty());
  }
  EXPECT_EQ(info.refs(), 1u) << "every reference taken was released";
}

TEST(WindowsMessage, PrefersTheRestrictedTextOnlyForTheSameCode) {
  FakeErrorInfo info;
  EXPECT_EQ(WindowsMessage(ErrorWith(info, static_cast<HRESULT>(0x80073CF3))), L"Restricted text");
  info.restrictedDescription = nullptr;
  EXPECT_EQ(WindowsMessage(ErrorWith(info, static_cast<HRESULT>(0x80073CF3))), L"Plain description");
  // Details about another failure: the system text for the error's own code.
  std::wstring system = WindowsMessage(ErrorWith(info, E_ACCESSDENIED));
  EXPECT_NE(system, L"Plain description");
  EXPECT_EQ(system, WindowsMessage(hresult_error(E_ACCESSDENIED, L"", nullptr)));
  EXPECT_FALSE(system.empty());
  EXPECT_FALSE(iswspace(system.back())) << "trailing white space is removed";
}

TEST(WindowsMessage, UsesTheErrorsOwnTextWhenWindowsAttachedNone) {
  // WinHTTP texts are not in the system table; the failure rule gives them to the error.
  hresult_error error(static_cast<HRESULT>(0x80072EFD), L"A connection with the server could not be established",
                      nullptr);
  EXPECT_EQ(WindowsMessage(error), L"A connection with the server could not be established");
  EXPECT_EQ(ExceptionMessage(error), L"A connection with the server could not be established");
  EXPECT_EQ(RecordFromWindowsError(L"descriptor.connect", L"Failed.", error).message,
            L"Failed. Windows: A connection with the server could not be established");
  EXPECT_EQ(ExceptionMessage(hresult_error(E_ACCESSDENIED, L"", nullptr)),
            WindowsMessage(hresult_error(E_ACCESSDENIED, L"", nullptr)));
}

TEST(RecordFromWindowsError, WithoutErrorInfoHasOnlyTheSystemText) {
  ErrorRecord r = RecordFromWindowsError(L"x.y", L"Failed.", hresult_error(E_NOTIMPL, L"", nullptr));
  ASSERT_TRUE(r.windows);
  EXPECT_FALSE(r.windows->hasRestrictedInfo);
  EXPECT_FALSE(r.windows->hasComInfo);
  EXPECT_EQ(r.message, L"Failed. Windows: " + r.windows->rawMessage);
}

TEST(RecordFromCode, LooksUpWin32ErrorsByTheirOwnNumber) {
  ErrorRecord r = RecordFromCode(L"report.write_failed", L"WriteReport failed.", static_cast<int32_t>(0x80070005));
  std::wstring system = SystemMessage(5, 0);
  ASSERT_FALSE(system.empty());
  ASSERT_TRUE(r.windows);
  EXPECT_EQ(r.windows->rawMessage, system) << "line breaks kept as Windows returned them";
  EXPECT_EQ(r.message, L"WriteReport failed. Windows: " + system);
  EXPECT_FALSE(r.windows->hasRestrictedInfo);

  ErrorRecord unknown = RecordFromCode(L"a.b", L"Text.", static_cast<int32_t>(0xA0041206));
  EXPECT_EQ(unknown.message, L"Text.");
  ASSERT_TRUE(unknown.windows);
  EXPECT_EQ(unknown.windows->rawMessage, L"");
}

TEST(RecordFromStdException, NamesTheTypeAndTheSystemErrorDomain) {
  ErrorRecord plain = RecordFromStdException(L"installer.unexpected_exception", std::runtime_error("boom"),
                                             static_cast<int32_t>(0xA0041201));
  EXPECT_EQ(static_cast<uint32_t>(plain.code), 0xA0041201u);
  EXPECT_NE(plain.message.find(L"C++ exception ("), std::wstring::npos);
  EXPECT_NE(plain.message.find(L"): boom"), std::wstring::npos);
  EXPECT_TRUE(plain.nativeDomain.empty());
  EXPECT_FALSE(plain.windows);

  std::system_error system(std::error_code(2, std::system_category()), "open");
  ErrorRecord r = RecordFromStdException(L"x.y", system, static_cast<int32_t>(0xA0041201));
  EXPECT_EQ(static_cast<uint32_t>(r.code), 0x80070002u);
  EXPECT_EQ(r.nativeDomain, L"system");
  EXPECT_EQ(r.nativeCode, 2);
  EXPECT_NE(r.message.find(L" [domain system, code 2]"), std::wstring::npos);

  std::system_error generic(std::make_error_code(std::errc::invalid_argument));
  ErrorRecord g = RecordFromStdException(L"x.y", generic, static_cast<int32_t>(0xA0041201));
  EXPECT_EQ(static_cast<uint32_t>(g.code), 0xA0041201u) << "only the system category maps to Win32";
  EXPECT_EQ(g.nativeDomain, L"generic");
}

TEST(ErrorsJson, WritesTheFixedKeyOrderAndLeavesOutEmptyOptionals) {
  EXPECT_EQ(ErrorsJson({}), "[]");
  ErrorRecord r = MakeRecord(static_cast<int32_t>(0x80070005), L"a.b", L"Say \"no\"\n");
  r.nativeCode = 7;  // without a domain it is not printed
  EXPECT_EQ(ErrorsJson({r}),
            R"([{"id":"a.b","code":"0x80070005","message":"Say \"no\"\u000a","attempt":0,"packageFullName":""}])");

  r.attempt = 2;
  r.packageFullName = L"P_1";
  r.nativeDomain = L"Win32";
  r.nativeCode = -5;
  r.activityId = L"{A}";
  r.occurrences = 3;
  r.firstAttempt = 1;
  r.lastAttempt = 3;
  r.lastReference = L"ref";
  r.windows.emplace().rawMessage = L"raw";
  r.windows->restrictedCode = 5;
  EXPECT_EQ(ErrorsJson({r, MakeRecord(0, L"c", L"")}),
            R"([{"id":"a.b","code":"0x80070005","message":"Say \"no\"\u000a","attempt":2,"packageFullName":"P_1",)"
            R"("nativeDomain":"Win32","nativeCode":-5,"activityId":"{A}","occurrences":3,"firstAttempt":1,)"
            R"("lastAttempt":3,"lastReference":"ref","windows":{"rawMessage":"raw","hasRestrictedInfo":false,)"
            R"("description":"","restrictedDescription":"","capabilitySid":"","reference":"",)"
            R"("restrictedCode":"0x00000005","detailsQueryCode":"0x00000000","referenceQueryCode":"0x00000000",)"
            R"("hasComInfo":false,"comDescription":"","comSource":"","comDescriptionQueryCode":"0x00000000",)"
            R"("comSourceQueryCode":"0x00000000"}},{"id":"c","code":"0x00000000","message":"","attempt":0,)"
            R"("packageFullName":""}])");
}

ErrorRecord Attempt(uint32_t attempt, const wchar_t* reference) {
  ErrorRecord r = MakeRecord(static_cast<int32_t>(0xA0041007), L"verification.update_uri_mismatch", L"differs");
  r.attempt = attempt;
  r.windows.emplace().reference = reference;
  return r;
}

TEST(CompactRecords, FoldsRecordsThatDifferOnlyInAttemptAndReference) {
  std::vector<ErrorRecord> out =
      CompactRecords({Attempt(1, L"r1"), MakeRecord(1, L"other", L""), Attempt(2, L"r2"), Attempt(3, L"r3")});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].id, L"verification.update_uri_mismatch");
  EXPECT_EQ(out[0].occurrences, 3u);
  EXPECT_EQ(out[0].attempt, 1u);
  EXPECT_EQ(out[0].firstAttempt, 1u);
  EXPECT_EQ(out[0].lastAttempt, 3u);
  EXPECT_EQ(out[0].windows->reference, L"r1");
  EXPECT_EQ(out[0].lastReference, L"r3");
  EXPECT_EQ(out[1].id, L"other");
  EXPECT_EQ(out[1].occurrences, 1u);
  std::string json = ErrorsJson(out);
  EXPECT_NE(json.find(R"("occurrences":3,"firstAttempt":1,"lastAttempt":3,"lastReference":"r3")"), std::string::npos);
}

TEST(CompactRecords, KeepsRecordsApartThatDifferInAnythingElse) {
  ErrorRecord a = Attempt(1, L"r");
  ErrorRecord b = Attempt(1, L"r");
  b.message = L"differs too";
  ErrorRecord c = Attempt(1, L"r");
  c.packageFullName = L"P";
  EXPECT_EQ(CompactRecords({a, b, c}).size(), 3u);
  ErrorRecord same = Attempt(4, L"r");
  std::vector<ErrorRecord> out = CompactRecords({a, same});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].lastReference, L"") << "same reference: nothing to add";
}

}  // namespace
}  // namespace tavo
