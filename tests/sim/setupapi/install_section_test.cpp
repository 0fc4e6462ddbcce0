// SetupDiGetActualSectionToInstallA: the decorations of the running platform
// (.NTamd64 or .NTx86, then .NT, on the NT family; none on the 9x family),
// and the buffer rules of the call.
#include "tests/support/sim_fixture.h"
#include "platform/sim/machine/machine.h"

#include <cstring>

namespace {

class ActualSection : public test::SimTest {};

TEST_F(ActualSection, DecoratesForThePlatform) {
  const struct {
    const char* what;
    DWORD version;
    const char* architecture;
    const char* sections;  // section headers of the INF
    const char* expected;
  } cases[] = {
      {"amd64 first", 0x4A65000A, "amd64", "[Install]\n[Install.NT]\n[Install.NTamd64]\n", "Install.NTamd64"},
      {"NT without the architecture", 0x4A65000A, "amd64", "[Install]\n[Install.NT]\n[Install.NTx86]\n", "Install.NT"},
      {"x86 machine", 0x4A65000A, "x86", "[Install.NT]\n[Install.NTx86]\n[Install.NTamd64]\n", "Install.NTx86"},
      {"undecorated only", 0x4A65000A, "amd64", "[Install]\n", "Install"},
      {"no section at all", 0x4A65000A, "amd64", "", "Install"},
      {"letter case of the decoration", 0x4A65000A, "amd64", "[install.ntAMD64]\n", "Install.NTamd64"},
      {"9x family", 0xC0000A04, "x86", "[Install]\n[Install.NT]\n[Install.NTx86]\n", "Install"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim::CurrentMachine().version = c.version;
    sim::CurrentMachine().architecture = c.architecture;
    const std::string name = "d" + std::to_string(&c - cases) + ".inf";  // an INF of its own for each case
    WritePackageFile(name, std::string("[Version]\nSignature=\"$Chicago$\"\n") + c.sections);
    HINF inf = SetupOpenInfFileA(PackagePath(name).c_str(), nullptr, INF_STYLE_WIN4, nullptr);
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
}

TEST_F(ActualSection, BufferRulesAndHandles) {
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
