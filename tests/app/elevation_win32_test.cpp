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
int RecordLaunch(const ShellRequest& request) {
    launched.push_back(request);
    return 0;
}

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
    EXPECT_EQ(launched[0].verb, L"runas");
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    EXPECT_EQ(launched[0].file, own);
    // The arguments this program was given go along (none have blanks here).
    std::wstring arguments;
    for (int i = 1; i < __argc; ++i) {
        if (i > 1) arguments += L' ';
        for (const char* c = __argv[i]; *c; ++c) arguments += wchar_t(*c);
    }
    EXPECT_EQ(launched[0].parameters, arguments);
    EXPECT_EQ(launched[0].directory, std::wstring(own).substr(0, std::wstring(own).rfind(L'\\')));
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
