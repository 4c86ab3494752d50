#include "common/host_facts.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace tavo {
namespace {

HostFacts Supported() { return {19045, L"Windows 10 (build 19045)", 9, 0x7}; }

TEST(HostRules, AcceptFromBuild19041OnX64WithAvx) {
  HostFacts facts = Supported();
  facts.windowsBuild = 19041;
  EXPECT_EQ(JudgeHost(facts), HostVerdict::Supported);
  facts.windowsBuild = 19040;
  EXPECT_EQ(JudgeHost(facts), HostVerdict::WindowsTooOld);
  facts.windowsBuild = 0;  // unreadable
  EXPECT_EQ(JudgeHost(facts), HostVerdict::WindowsTooOld);
}

TEST(HostRules, RefuseOtherArchitecturesAndMissingAvxInOrder) {
  HostFacts facts = Supported();
  facts.nativeArchitecture = 12;
  EXPECT_EQ(JudgeHost(facts), HostVerdict::NotX64);
  facts.nativeArchitecture = 0;
  EXPECT_EQ(JudgeHost(facts), HostVerdict::NotX64);
  facts.enabledXStateMask = 0x3;  // x87 and SSE only
  EXPECT_EQ(JudgeHost(facts), HostVerdict::NotX64);
  facts.nativeArchitecture = 9;
  EXPECT_EQ(JudgeHost(facts), HostVerdict::NoAvx);
  facts.windowsBuild = 18363;
  EXPECT_EQ(JudgeHost(facts), HostVerdict::WindowsTooOld);
}

TEST(VersionText, NamesEditionsByBuildAndProductType) {
  EXPECT_EQ(VersionTextFor(10, 22631, VER_NT_WORKSTATION), L"Windows 11 (build 22631)");
  EXPECT_EQ(VersionTextFor(10, 22000, VER_NT_WORKSTATION), L"Windows 11 (build 22000)");
  EXPECT_EQ(VersionTextFor(10, 19045, VER_NT_WORKSTATION), L"Windows 10 (build 19045)");
  EXPECT_EQ(VersionTextFor(10, 10240, VER_NT_WORKSTATION), L"Windows 10 (build 10240)");
  EXPECT_EQ(VersionTextFor(10, 10239, VER_NT_WORKSTATION), L"Windows (build 10239)");
  EXPECT_EQ(VersionTextFor(10, 20348, VER_NT_SERVER), L"Windows Server (build 20348)");
  EXPECT_EQ(VersionTextFor(10, 20348, VER_NT_DOMAIN_CONTROLLER), L"Windows Server (build 20348)");
  EXPECT_EQ(VersionTextFor(6, 9600, VER_NT_WORKSTATION), L"Unknown Windows version");
  EXPECT_EQ(VersionTextFor(10, 0, VER_NT_WORKSTATION), L"Unknown Windows version");
}

TEST(Architecture, MapsMachinesAndNamesCodes) {
  EXPECT_EQ(ArchitectureFromMachine(IMAGE_FILE_MACHINE_AMD64), 9);
  EXPECT_EQ(ArchitectureFromMachine(IMAGE_FILE_MACHINE_ARM64), 12);
  EXPECT_EQ(ArchitectureFromMachine(IMAGE_FILE_MACHINE_I386), 0);
  EXPECT_EQ(ArchitectureFromMachine(IMAGE_FILE_MACHINE_ARMNT), 5);
  EXPECT_EQ(ArchitectureFromMachine(0x1234), 0xFFFF);
  EXPECT_EQ(ArchitectureName(9), L"x64");
  EXPECT_EQ(ArchitectureName(12), L"ARM64");
  EXPECT_EQ(ArchitectureName(6), L"Itanium");
  EXPECT_EQ(ArchitectureName(0xFFFF), L"Unknown");
  EXPECT_EQ(ArchitectureName(7), L"Unknown (Windows architecture code 7)");
}

TEST(Avx, NeedsBitTwoOfTheEnabledFeatures) {
  EXPECT_TRUE(AvxAvailable(0x7));
  EXPECT_TRUE(AvxAvailable(0x4));
  EXPECT_FALSE(AvxAvailable(0x3));
  EXPECT_FALSE(AvxAvailable(0));
}

TEST(HostQueries, DescribeTheRunningWindows) {
  // Under the test prefix: Windows 10 build 19045 on x64 with AVX.
  HostFacts facts = ReadHostFacts();
  EXPECT_GE(facts.windowsBuild, 10240u);
  EXPECT_EQ(facts.windowsVersion, VersionTextFor(10, facts.windowsBuild, VER_NT_WORKSTATION));
  EXPECT_EQ(facts.nativeArchitecture, kArchitectureX64);
}

}  // namespace
}  // namespace tavo
