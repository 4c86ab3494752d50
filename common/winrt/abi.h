// Raw ABI declarations of the Windows Runtime interfaces that package deployment
// uses, for the worker (caller) and the simulated platform (implementation).
// MinGW's headers lack most of them. Every slot is declared, used or not, so that
// each method sits at its Windows vtable position; tests/unit/winrt_abi_test.cpp
// pins the IIDs and slots against tests/data/winrt_abi_expected.txt.
//
// Conventions: WinRT Boolean is `boolean` (one byte), enums are 32-bit, a runtime
// class travels as its default interface. Parameters whose types this program
// never uses are declared as IInspectable* with the real type in a comment.
#pragma once

#include <inspectable.h>

#include <cstdint>

// COM interfaces are released through Release, never deleted through a pointer,
// and a virtual destructor would add a vtable slot that Windows does not have:
// each interface has a protected non-virtual destructor instead, so that classes
// implementing it compile cleanly; the warning about IInspectable's and
// IUnknown's public one is silenced for these declarations only.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace tavo::abi {

// Runtime class names.
inline constexpr wchar_t kClassApiInformation[] = L"Windows.Foundation.Metadata.ApiInformation";
inline constexpr wchar_t kClassPackageManager[] = L"Windows.Management.Deployment.PackageManager";
inline constexpr wchar_t kClassDeploymentResult[] = L"Windows.Management.Deployment.DeploymentResult";
inline constexpr wchar_t kClassPackage[] = L"Windows.ApplicationModel.Package";
inline constexpr wchar_t kClassPackageId[] = L"Windows.ApplicationModel.PackageId";
inline constexpr wchar_t kClassPackageStatus[] = L"Windows.ApplicationModel.PackageStatus";
inline constexpr wchar_t kClassAppInstallerInfo[] = L"Windows.ApplicationModel.AppInstallerInfo";
inline constexpr wchar_t kClassUri[] = L"Windows.Foundation.Uri";

// ---- Plain types ----------------------------------------------------------

struct PackageVersion {
  uint16_t Major;
  uint16_t Minor;
  uint16_t Build;
  uint16_t Revision;
};

// 100-ns intervals since 1601-01-01 (UTC).
struct DateTime {
  int64_t UniversalTime;
};

enum class ProcessorArchitecture : int32_t {
  X86 = 0,
  Arm = 5,
  X64 = 9,
  Neutral = 11,
  Arm64 = 12,
  X86OnArm64 = 14,
  Unknown = 65535,
};

enum class AsyncStatus : int32_t { Started = 0, Completed = 1, Canceled = 2, Error = 3 };

enum class DeploymentProgressState : int32_t { Queued = 0, Processing = 1 };

struct DeploymentProgress {
  DeploymentProgressState state;
  uint32_t percentage;
};

// Flags.
enum class DeploymentOptions : uint32_t {
  None = 0,
  ForceApplicationShutdown = 0x1,
  DevelopmentMode = 0x2,
  InstallAllResources = 0x20,
  ForceTargetApplicationShutdown = 0x40,
  RequiredContentGroupOnly = 0x100,
  ForceUpdateFromAnyVersion = 0x40000,
  RetainFilesOnFailure = 0x200000,
  StageInPlace = 0x400000,
};

// Flags.
enum class AddPackageByAppInstallerOptions : uint32_t {
  None = 0,
  InstallAllResources = 0x20,
  ForceTargetAppShutdown = 0x40,
  RequiredContentGroupOnly = 0x100,
  LimitToExistingPackages = 0x200,
};

enum class AppInstallerPolicySource : int32_t { Default = 0, System = 1 };

static_assert(sizeof(boolean) == 1, "WinRT Boolean is one byte");
static_assert(sizeof(PackageVersion) == 8 && alignof(PackageVersion) == 2);
static_assert(sizeof(DeploymentProgress) == 8 && alignof(DeploymentProgress) == 4);
static_assert(sizeof(DateTime) == 8);

// ---- Windows.Foundation ---------------------------------------------------

// {00000036-0000-0000-c000-000000000046}
inline constexpr IID IID_IAsyncInfo = {0x00000036, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
struct IAsyncInfo : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* errorCode) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
 protected:
  ~IAsyncInfo() = default;
};

// Windows.Foundation.Uri (default interface).
// {9e365e57-48b2-4160-956f-c7385120bbfc}
inline constexpr IID IID_IUriRuntimeClass = {0x9e365e57, 0x48b2, 0x4160, {0x95, 0x6f, 0xc7, 0x38, 0x51, 0x20, 0xbb, 0xfc}};
struct IUriRuntimeClass : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_AbsoluteUri(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DisplayUri(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Domain(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Extension(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Fragment(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Host(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Password(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Path(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Query(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_QueryParsed(IInspectable** value /* IWwwFormUrlDecoderRuntimeClass */) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RawUri(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SchemeName(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserName(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Port(INT32* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Suspicious(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Equals(IUriRuntimeClass* other, boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE CombineUri(HSTRING relativeUri, IUriRuntimeClass** instance) = 0;
 protected:
  ~IUriRuntimeClass() = default;
};

// Activation factory of Windows.Foundation.Uri.
// {44a9796f-723e-4fdf-a218-033e75b0c084}
inline constexpr IID IID_IUriRuntimeClassFactory = {0x44a9796f, 0x723e, 0x4fdf, {0xa2, 0x18, 0x03, 0x3e, 0x75, 0xb0, 0xc0, 0x84}};
struct IUriRuntimeClassFactory : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE CreateUri(HSTRING uri, IUriRuntimeClass** instance) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateWithRelativeUri(HSTRING baseUri, HSTRING relativeUri,
                                                          IUriRuntimeClass** instance) = 0;
 protected:
  ~IUriRuntimeClassFactory() = default;
};

// Statics of Windows.Foundation.Metadata.ApiInformation.
// {997439fe-f681-4a11-b416-c13a47e8ba36}
inline constexpr IID IID_IApiInformationStatics = {0x997439fe, 0xf681, 0x4a11, {0xb4, 0x16, 0xc1, 0x3a, 0x47, 0xe8, 0xba, 0x36}};
struct IApiInformationStatics : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE IsTypePresent(HSTRING typeName, boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsMethodPresent(HSTRING typeName, HSTRING methodName, boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsMethodPresentWithArity(HSTRING typeName, HSTRING methodName,
                                                             UINT32 inputParameterCount, boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsEventPresent(HSTRING typeName, HSTRING eventName, boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsPropertyPresent(HSTRING typeName, HSTRING propertyName, boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsReadOnlyPropertyPresent(HSTRING typeName, HSTRING propertyName,
                                                              boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsWriteablePropertyPresent(HSTRING typeName, HSTRING propertyName,
                                                               boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsEnumNamedValuePresent(HSTRING enumTypeName, HSTRING valueName,
                                                            boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsApiContractPresentByMajor(HSTRING contractName, UINT16 majorVersion,
                                                                boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsApiContractPresentByMajorAndMinor(HSTRING contractName, UINT16 majorVersion,
                                                                        UINT16 minorVersion, boolean* value) = 0;
 protected:
  ~IApiInformationStatics() = default;
};

// ---- Windows.ApplicationModel ---------------------------------------------

struct IPackageId;
struct IPackageStatus;
struct IAppInstallerInfo;

// Windows.ApplicationModel.Package (default interface).
// {163c792f-bd75-413c-bf23-b1fe7b95d825}
inline constexpr IID IID_IPackage = {0x163c792f, 0xbd75, 0x413c, {0xbf, 0x23, 0xb1, 0xfe, 0x7b, 0x95, 0xd8, 0x25}};
struct IPackage : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Id(IPackageId** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_InstalledLocation(IInspectable** value /* IStorageFolder */) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsFramework(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Dependencies(IInspectable** value /* IVectorView<Package> */) = 0;
 protected:
  ~IPackage() = default;
};

// {5f738b61-f86a-4917-93d1-f1ee9d3b35d9}
inline constexpr IID IID_IPackage3 = {0x5f738b61, 0xf86a, 0x4917, {0x93, 0xd1, 0xf1, 0xee, 0x9d, 0x3b, 0x35, 0xd9}};
struct IPackage3 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Status(IPackageStatus** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_InstalledDate(DateTime* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAppListEntriesAsync(
      IInspectable** operation /* IAsyncOperation<IVectorView<AppListEntry>> */) = 0;
 protected:
  ~IPackage3() = default;
};

// {8b1ad942-12d7-4754-ae4e-638cbc0e3a2e}
inline constexpr IID IID_IPackage6 = {0x8b1ad942, 0x12d7, 0x4754, {0xae, 0x4e, 0x63, 0x8c, 0xbc, 0x0e, 0x3a, 0x2e}};
struct IPackage6 : IInspectable {
  // May succeed with a null result: no App Installer association.
  virtual HRESULT STDMETHODCALLTYPE GetAppInstallerInfo(IAppInstallerInfo** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckUpdateAvailabilityAsync(
      IInspectable** operation /* IAsyncOperation<PackageUpdateAvailabilityResult> */) = 0;
 protected:
  ~IPackage6() = default;
};

// Windows.ApplicationModel.PackageId (default interface).
// {1adb665e-37c7-4790-9980-dd7ae74e8bb2}
inline constexpr IID IID_IPackageId = {0x1adb665e, 0x37c7, 0x4790, {0x99, 0x80, 0xdd, 0x7a, 0xe7, 0x4e, 0x8b, 0xb2}};
struct IPackageId : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Name(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Version(PackageVersion* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Architecture(ProcessorArchitecture* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ResourceId(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Publisher(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PublisherId(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FullName(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_FamilyName(HSTRING* value) = 0;
 protected:
  ~IPackageId() = default;
};

// Windows.ApplicationModel.PackageStatus (default interface).
// {5fe74f71-a365-4c09-a02d-046d525ea1da}
inline constexpr IID IID_IPackageStatus = {0x5fe74f71, 0xa365, 0x4c09, {0xa0, 0x2d, 0x04, 0x6d, 0x52, 0x5e, 0xa1, 0xda}};
struct IPackageStatus : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE VerifyIsOK(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NotAvailable(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PackageOffline(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DataOffline(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Disabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NeedsRemediation(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LicenseIssue(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Modified(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Tampered(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DependencyIssue(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Servicing(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DeploymentInProgress(boolean* value) = 0;
 protected:
  ~IPackageStatus() = default;
};

// {f428fa93-7c56-4862-acfa-abaedcc0694d}
inline constexpr IID IID_IPackageStatus2 = {0xf428fa93, 0x7c56, 0x4862, {0xac, 0xfa, 0xab, 0xae, 0xdc, 0xc0, 0x69, 0x4d}};
struct IPackageStatus2 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_IsPartiallyStaged(boolean* value) = 0;
 protected:
  ~IPackageStatus2() = default;
};

// Windows.ApplicationModel.AppInstallerInfo (default interface).
// {29ab2ac0-d4f6-42a3-adcd-d6583c659508}
inline constexpr IID IID_IAppInstallerInfo = {0x29ab2ac0, 0xd4f6, 0x42a3, {0xad, 0xcd, 0xd6, 0x58, 0x3c, 0x65, 0x95, 0x08}};
struct IAppInstallerInfo : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Uri(IUriRuntimeClass** value) = 0;
 protected:
  ~IAppInstallerInfo() = default;
};

// {d20f1388-8256-597c-8511-c84ec50d5e2b}
inline constexpr IID IID_IAppInstallerInfo2 = {0xd20f1388, 0x8256, 0x597c, {0x85, 0x11, 0xc8, 0x4e, 0xc5, 0x0d, 0x5e, 0x2b}};
struct IAppInstallerInfo2 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_OnLaunch(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HoursBetweenUpdateChecks(UINT32* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ShowPrompt(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UpdateBlocksActivation(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AutomaticBackgroundTask(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ForceUpdateFromAnyVersion(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsAutoRepairEnabled(boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Version(PackageVersion* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LastChecked(DateTime* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PausedUntil(IInspectable** value /* IReference<DateTime>, may be null */) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UpdateUris(IInspectable** value /* IVectorView<Uri> */) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RepairUris(IInspectable** value /* IVectorView<Uri> */) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DependencyPackageUris(IInspectable** value /* IVectorView<Uri> */) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_OptionalPackageUris(IInspectable** value /* IVectorView<Uri> */) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_PolicySource(AppInstallerPolicySource* value) = 0;
 protected:
  ~IAppInstallerInfo2() = default;
};

// ---- Collections of Package -----------------------------------------------

// IIterator<Windows.ApplicationModel.Package>.
// {0217f069-025c-5ee6-a87f-e782e3b623ae}
inline constexpr IID IID_IIterator_Package = {0x0217f069, 0x025c, 0x5ee6, {0xa8, 0x7f, 0xe7, 0x82, 0xe3, 0xb6, 0x23, 0xae}};
struct IIterator_Package : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Current(IPackage** current) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_HasCurrent(boolean* hasCurrent) = 0;
  virtual HRESULT STDMETHODCALLTYPE MoveNext(boolean* hasCurrent) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 capacity, IPackage** items, UINT32* actual) = 0;
 protected:
  ~IIterator_Package() = default;
};

// IIterable<Windows.ApplicationModel.Package>.
// {69ad6aa7-0c49-5f27-a5eb-ef4d59467b6d}
inline constexpr IID IID_IIterable_Package = {0x69ad6aa7, 0x0c49, 0x5f27, {0xa5, 0xeb, 0xef, 0x4d, 0x59, 0x46, 0x7b, 0x6d}};
struct IIterable_Package : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE First(IIterator_Package** first) = 0;
 protected:
  ~IIterable_Package() = default;
};

// ---- Windows.Management.Deployment ----------------------------------------

// Windows.Management.Deployment.DeploymentResult (default interface).
// {2563b9ae-b77d-4c1f-8a7b-20e6ad515ef3}
inline constexpr IID IID_IDeploymentResult = {0x2563b9ae, 0xb77d, 0x4c1f, {0x8a, 0x7b, 0x20, 0xe6, 0xad, 0x51, 0x5e, 0xf3}};
struct IDeploymentResult : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_ErrorText(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActivityId(GUID* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ExtendedErrorCode(HRESULT* value) = 0;
 protected:
  ~IDeploymentResult() = default;
};

// {fc0e715c-5a01-4bd7-bcf1-381c8c82e04a}
inline constexpr IID IID_IDeploymentResult2 = {0xfc0e715c, 0x5a01, 0x4bd7, {0xbc, 0xf1, 0x38, 0x1c, 0x8c, 0x82, 0xe0, 0x4a}};
struct IDeploymentResult2 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_IsRegistered(boolean* value) = 0;
 protected:
  ~IDeploymentResult2() = default;
};

struct IDeploymentProgressHandler;
struct IDeploymentCompletedHandler;

// IAsyncOperationWithProgress<DeploymentResult, DeploymentProgress>. The same
// object also answers IAsyncInfo (Cancel, Close, status).
// {5a97aab7-b6ea-55ac-a5dc-d5b164d94e94}
inline constexpr IID IID_IDeploymentOperation = {0x5a97aab7, 0xb6ea, 0x55ac, {0xa5, 0xdc, 0xd5, 0xb1, 0x64, 0xd9, 0x4e, 0x94}};
struct IDeploymentOperation : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE put_Progress(IDeploymentProgressHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Progress(IDeploymentProgressHandler** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Completed(IDeploymentCompletedHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Completed(IDeploymentCompletedHandler** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResults(IDeploymentResult** results) = 0;
 protected:
  ~IDeploymentOperation() = default;
};

// AsyncOperationProgressHandler<DeploymentResult, DeploymentProgress>: a delegate,
// so IUnknown-based. The progress travels by value.
// {f1b926d1-1796-597a-9bea-6c6449d03eef}
inline constexpr IID IID_IDeploymentProgressHandler = {0xf1b926d1, 0x1796, 0x597a, {0x9b, 0xea, 0x6c, 0x64, 0x49, 0xd0, 0x3e, 0xef}};
struct IDeploymentProgressHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IDeploymentOperation* asyncInfo, DeploymentProgress progressInfo) = 0;
 protected:
  ~IDeploymentProgressHandler() = default;
};

// AsyncOperationWithProgressCompletedHandler<DeploymentResult, DeploymentProgress>.
// {6e1c7129-61e0-5d88-9fd4-f3ce65a05719}
inline constexpr IID IID_IDeploymentCompletedHandler = {0x6e1c7129, 0x61e0, 0x5d88, {0x9f, 0xd4, 0xf3, 0xce, 0x65, 0xa0, 0x57, 0x19}};
struct IDeploymentCompletedHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IDeploymentOperation* asyncInfo, AsyncStatus asyncStatus) = 0;
 protected:
  ~IDeploymentCompletedHandler() = default;
};

// Windows.Management.Deployment.PackageManager (default interface). An empty or
// null user security id means the current user.
// {9a7d4b65-5e8f-4fc7-a2e5-7f6925cb8b53}
inline constexpr IID IID_IPackageManager = {0x9a7d4b65, 0x5e8f, 0x4fc7, {0xa2, 0xe5, 0x7f, 0x69, 0x25, 0xcb, 0x8b, 0x53}};
struct IPackageManager : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE AddPackageAsync(IUriRuntimeClass* packageUri,
                                                    IInspectable* dependencyPackageUris /* IIterable<Uri> */,
                                                    DeploymentOptions options, IDeploymentOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdatePackageAsync(IUriRuntimeClass* packageUri,
                                                       IInspectable* dependencyPackageUris /* IIterable<Uri> */,
                                                       DeploymentOptions options, IDeploymentOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemovePackageAsync(HSTRING packageFullName, IDeploymentOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE StagePackageAsync(IUriRuntimeClass* packageUri,
                                                      IInspectable* dependencyPackageUris /* IIterable<Uri> */,
                                                      IDeploymentOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE RegisterPackageAsync(IUriRuntimeClass* manifestUri,
                                                         IInspectable* dependencyPackageUris /* IIterable<Uri> */,
                                                         DeploymentOptions options,
                                                         IDeploymentOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindPackages(IIterable_Package** packages) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityId(HSTRING userSecurityId,
                                                                 IIterable_Package** packages) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindPackagesByNamePublisher(HSTRING packageName, HSTRING packagePublisher,
                                                                IIterable_Package** packages) = 0;
  // FindPackagesForUser(userSecurityId, packageName, packagePublisher).
  virtual HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityIdNamePublisher(HSTRING userSecurityId,
                                                                              HSTRING packageName,
                                                                              HSTRING packagePublisher,
                                                                              IIterable_Package** packages) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindUsers(HSTRING packageFullName,
                                              IInspectable** users /* IIterable<PackageUserInformation> */) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPackageState(HSTRING packageFullName, INT32 packageState) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindPackageByPackageFullName(HSTRING packageFullName, IPackage** package) = 0;
  virtual HRESULT STDMETHODCALLTYPE CleanupPackageForUserAsync(HSTRING packageName, HSTRING userSecurityId,
                                                               IDeploymentOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindPackagesByPackageFamilyName(HSTRING packageFamilyName,
                                                                    IIterable_Package** packages) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityIdPackageFamilyName(HSTRING userSecurityId,
                                                                                  HSTRING packageFamilyName,
                                                                                  IIterable_Package** packages) = 0;
  // FindPackageForUser(userSecurityId, packageFullName); null when not found.
  virtual HRESULT STDMETHODCALLTYPE FindPackageByUserSecurityIdPackageFullName(HSTRING userSecurityId,
                                                                               HSTRING packageFullName,
                                                                               IPackage** package) = 0;
 protected:
  ~IPackageManager() = default;
};

// {0847e909-53cd-4e4f-832e-57d180f6e447}
inline constexpr IID IID_IPackageManager6 = {0x0847e909, 0x53cd, 0x4e4f, {0x83, 0x2e, 0x57, 0xd1, 0x80, 0xf6, 0xe4, 0x47}};
struct IPackageManager6 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE ProvisionPackageForAllUsersAsync(HSTRING packageFamilyName,
                                                                     IDeploymentOperation** operation) = 0;
  // A null target volume is the default volume.
  virtual HRESULT STDMETHODCALLTYPE AddPackageByAppInstallerFileAsync(IUriRuntimeClass* appInstallerFileUri,
                                                                      AddPackageByAppInstallerOptions options,
                                                                      IInspectable* targetVolume /* IPackageVolume */,
                                                                      IDeploymentOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE RequestAddPackageByAppInstallerFileAsync(
      IUriRuntimeClass* appInstallerFileUri, AddPackageByAppInstallerOptions options,
      IInspectable* targetVolume /* IPackageVolume */, IDeploymentOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddPackageToVolumeAndRelatedSetAsync(
      IUriRuntimeClass* packageUri, IInspectable* dependencyPackageUris /* IIterable<Uri> */,
      DeploymentOptions options, IInspectable* targetVolume /* IPackageVolume */,
      IInspectable* optionalPackageFamilyNames /* IIterable<HSTRING> */,
      IInspectable* packageUrisToInstall /* IIterable<Uri> */, IInspectable* relatedPackageUris /* IIterable<Uri> */,
      IDeploymentOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE StagePackageToVolumeAndRelatedSetAsync(
      IUriRuntimeClass* packageUri, IInspectable* dependencyPackageUris /* IIterable<Uri> */,
      DeploymentOptions options, IInspectable* targetVolume /* IPackageVolume */,
      IInspectable* optionalPackageFamilyNames /* IIterable<HSTRING> */,
      IInspectable* packageUrisToInstall /* IIterable<Uri> */, IInspectable* relatedPackageUris /* IIterable<Uri> */,
      IDeploymentOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE RequestAddPackageAsync(
      IUriRuntimeClass* packageUri, IInspectable* dependencyPackageUris /* IIterable<Uri> */,
      DeploymentOptions options, IInspectable* targetVolume /* IPackageVolume */,
      IInspectable* optionalPackageFamilyNames /* IIterable<HSTRING> */,
      IInspectable* relatedPackageUris /* IIterable<Uri> */,
      IDeploymentOperation** operation) = 0;
 protected:
  ~IPackageManager6() = default;
};

}  // namespace tavo::abi

#pragma GCC diagnostic pop
