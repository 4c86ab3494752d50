#include "common/diagnostics/catalogue.h"

#include "common/text.h"

namespace tavo {

std::wstring CatalogueMessage(int32_t code) {
  switch (static_cast<uint32_t>(code)) {
    case 0x80040154: case 0x80070032: case 0x8007007E: case 0x80070424:
      return L"A required Windows installation component is missing or unavailable. Update Windows and App Installer, then try again.";
    case 0x80070005:
      return L"Windows denied access during setup. Check folder permissions or ask your IT team if software installation is restricted.";
    case 0x80070027: case 0x80070070: case 0x80073CF4:
      return L"There isn't enough free space to install Tavo. Free up at least 3 GB on your Windows drive and try again.";
    case 0x80070422: case 0x80070641:
      return L"A Windows installation service is disabled or unavailable. Your IT team can help enable AppX Deployment Service or Delivery Optimization.";
    case 0x800704EC: case 0x80073CFF: case 0x80073D01:
      return L"Windows policy doesn't allow this installation. Ask your IT team to allow trusted apps from Tavo.";
    case 0x80070652:
      return L"Another installation is already in progress. Wait for Windows to finish it, then try again.";
    case 0x80072EE2: case 0x80072EE7: case 0x80072EFD: case 0x80072EFE: case 0x80073CF5:
      return L"We couldn't reach the download server. Check your internet connection and try again.";
    case 0x80004004: case 0x800703E3: case 0x800704C7: case 0x80072EF1: case 0x80072EF3: case 0x80073CF8:
      return L"Installation was cancelled. You can start again whenever you're ready.";
    case 0x80072F8F:
      return L"Windows couldn't verify a secure connection to Tavo. Check your PC's date and time and run Windows Update, or ask your IT team to check certificate trust and network security.";
    case 0x80073CF3:
      return L"A Windows app dependency is missing, incompatible, or conflicts with an existing package. Update Windows and App Installer, then try again.";
    case 0x80073CFB: case 0x80073D06:
      return L"A newer Tavo version is already installed. This installer won't downgrade it.";
    case 0x80073CFD:
      return L"This Tavo release needs a newer Windows version or a missing Windows component. Update Windows, then try again. The diagnostic log has the exact requirement.";
    case 0x80073D02:
      return L"Tavo or one of its components is open. Save your work, close Tavo, then try again.";
    case 0x80073D0A:
      return L"Windows Defender Firewall service isn't running, which Windows requires to install apps. Start the Windows Defender Firewall service, then try again.";
    case 0x80096005: case 0x800B0101:
      return L"The installer's signing certificate is outside its validity period. Check your date and time, then contact Tavo support.";
    case 0x80096010: case 0x800B0100:
      return L"The installer package signature is missing or damaged. Download a fresh installer from Tavo's website and try again.";
    case 0x800B0109: case 0x800B010D:
      return L"Windows doesn't trust this installer's certificate. Run Windows Update or ask your IT team to check certificate trust.";
    case 0x800B010A:
      return L"Windows couldn't build a trusted certificate chain for Tavo's signature. Check your internet connection and run Windows Update, or ask your IT team to check certificate trust.";
    case 0x800B010C:
      return L"The installer's signing certificate has been revoked. Download a fresh installer from Tavo's website or contact Tavo support.";
    case 0xA0041207:
      return L"Run Tavo Studio Setup as the person who will use Tavo Studio.";
    default:
      return L"Windows couldn't finish the installation. Try again, or share the diagnostic log with Tavo support.";
  }
}

std::wstring WithLowDiskNote(const std::wstring& message, const LowDiskState& disk) {
  if (!disk.limited) return message;
  return message + L" Setup also found less than 3 GB free on " + disk.systemDrive +
         L". Low disk space may have contributed to this failure. Free space and try again.";
}

std::wstring ServiceDisabledMessage(const std::wstring& displayName) {
  return displayName + L" is disabled or missing. Ask your IT team to restore it, then try again.";
}

std::wstring ServiceDisabledDetail(const std::wstring& serviceName, int32_t code) {
  return serviceName + L" service disabled or missing; error=" + Hex8(static_cast<uint32_t>(code));
}

}  // namespace tavo
