// SetupDiGetActualSectionToInstallA: the decorations of the running platform
// (.NTamd64 or .NTx86, then .NT, on the NT family; none on the 9x family),
// and the buffer rules of the call.
#include "tests/support/sim_fixture.h"

#include <cstring>

namespace {

struct SectionCase {
  const char* what;
  DWORD version;
  const char* architecture;
  const char* sections;  // section headers of the INF
  const char* expected;
};
// Named, so that gtest does not print the bytes of the record (its padding
// among them, which memcheck reports as uninitialised).
void PrintTo(const SectionCase& c, std::ostream* os) { *os << c.what; }

class ActualSection : public test::SimTest, public ::testing::WithParamInterface<SectionCase> {};

TEST_P(ActualSection, DecoratesForThePlatform) {
  const SectionCase& c = GetParam();
  sim::CurrentMachine().version = c.version;
  sim::CurrentMachine().architecture = c.architecture;
  WritePackageFile("d.inf", std::string("[Version]\nSignature=\"$Chicago$\"\n") + c.sections);
  HINF inf = SetupOpenInfFileA(PackagePath("d.inf").c_str(), nullptr, INF_STYLE_WIN4, nullptr);
  ASSERT_NE(inf, INVALID_HANDLE_VALUE);
  // The program passes the same buffer as the name and the result.
  char buffer[100] = "Install";
  DWORD required = 0;
  PSTR extension = nullptr;
  EXPECT_RESULT_AND_ERROR(SetupDiGetActualSectionToInstallA(inf, buffer, buffer, sizeof buffer, &required, &extension),
                          TRUE, ERROR_SUCCESS);
  EXPECT_STREQ(buffer, c.expected);
  EXPECT_EQ(required, std::strlen(c.expected) + 1);
  EXPECT_EQ(extension, std::strlen(c.expected) > 7 ? buffer + 7 : nullptr);
  SetupCloseInfFile(inf);
}

INSTANTIATE_TEST_SUITE_P(
    Platforms, ActualSection,
    ::testing::Values(
        SectionCase{"Amd64First", 0x4A65000A, "amd64", "[Install]\n[Install.NT]\n[Install.NTamd64]\n", "Install.NTamd64"},
        SectionCase{"NtWithoutArch", 0x4A65000A, "amd64", "[Install]\n[Install.NT]\n[Install.NTx86]\n", "Install.NT"},
        SectionCase{"X86Machine", 0x4A65000A, "x86", "[Install.NT]\n[Install.NTx86]\n[Install.NTamd64]\n", "Install.NTx86"},
        SectionCase{"UndecoratedOnly", 0x4A65000A, "amd64", "[Install]\n", "Install"},
        SectionCase{"NoSectionAtAll", 0x4A65000A, "amd64", "", "Install"},
        SectionCase{"CaseOfDecoration", 0x4A65000A, "amd64", "[install.ntAMD64]\n", "Install.NTamd64"},
        SectionCase{"Family9x", 0xC0000A04, "x86", "[Install]\n[Install.NT]\n[Install.NTx86]\n", "Install"}),
    [](const auto& info) { return std::string(info.param.what); });

class ActualSectionCalls : public test::SimTest {};

TEST_F(ActualSectionCalls, BufferRulesAndHandles) {
  WritePackageFile("d.inf", "[Version]\nSignature=\"$Chicago$\"\n[Drv.NT]\n");
  HINF inf = SetupOpenInfFileA(PackagePath("d.inf").c_str(), nullptr, INF_STYLE_WIN4, nullptr);
  ASSERT_NE(inf, INVALID_HANDLE_VALUE);
  char small[6] = "Drv";
  DWORD required = 0;
  // Too small: nothing written, the size needed reported.
  EXPECT_RESULT_AND_ERROR(SetupDiGetActualSectionToInstallA(inf, "Drv", small, sizeof small, &required, nullptr), FALSE,
                          ERROR_INSUFFICIENT_BUFFER);
  EXPECT_STREQ(small, "Drv");
  EXPECT_EQ(required, 7u);
  EXPECT_RESULT_AND_ERROR(SetupDiGetActualSectionToInstallA(inf, "Drv", nullptr, 5, &required, nullptr), FALSE,
                          ERROR_INVALID_PARAMETER);
  SetupCloseInfFile(inf);
  EXPECT_RESULT_AND_ERROR(SetupDiGetActualSectionToInstallA(inf, "Drv", small, sizeof small, nullptr, nullptr), FALSE,
                          ERROR_INVALID_HANDLE);
}

}  // namespace
