#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include <vector>

#include "app/app_win32.h"
#include "runtime/commands_win32.h"

namespace zorv::app {
namespace {

std::vector<ShellRequest> launched;
bool answerAdministrator = true;

bool FakeIsAdministrator() { return answerAdministrator; }
void RecordLaunch(const ShellRequest& request) { launched.push_back(request); }

class PrivilegeCheck : public ::testing::Test {
protected:
    void SetUp() override {
        launched.clear();
        previous_ = SetPrivilegeProbe({FakeIsAdministrator, RecordLaunch});
    }
    void TearDown() override { SetPrivilegeProbe(previous_); }
    PrivilegeProbe previous_;
};

TEST_F(PrivilegeCheck, WithoutRightsTheOwnFileIsStartedOnceThroughRunas) {
    answerAdministrator = false;
    EXPECT_FALSE(EnsureElevated());
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].verb, "runas");
    EXPECT_EQ(launched[0].file, GetRunDirectory() + "\\" + GetExeFileName());
    // The arguments this program was given go along (none have blanks here).
    std::string arguments;
    for (int i = 1; i < __argc; ++i) arguments += (i > 1 ? " " : "") + std::string(__argv[i]);
    EXPECT_EQ(launched[0].parameters, arguments);
    EXPECT_EQ(launched[0].directory, GetRunDirectory());
    EXPECT_EQ(launched[0].show, SW_SHOWNORMAL);
}

TEST_F(PrivilegeCheck, WithRightsNothingIsStarted) {
    answerAdministrator = true;
    EXPECT_TRUE(EnsureElevated());
    EXPECT_TRUE(launched.empty());
}

TEST(PrivilegeSystem, WineAnswersAdministrator) {
    // The system's answer under the test prefix (always administrator there).
    EXPECT_TRUE(EnsureElevated());
}

}  // namespace
}  // namespace zorv::app
