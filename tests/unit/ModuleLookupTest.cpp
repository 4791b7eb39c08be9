// The executable that owns a window, including 16-bit tasks inside a shared
// virtual machine process.
#include <gtest/gtest.h>

#include "actions/ModuleLookup.h"
#include "tests/unit/CoreFixture.h"

using namespace rw;

namespace {

class ModuleLookupTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        win = fake.AddWindow(Window("", "", 1, 42));
    }
    WinHandle win = 0;
};

TEST_F(ModuleLookupTest, FullPathInThePlatformsCaseOrEmptyForAnUnknownOwner) {
    EXPECT_EQ(GetWindowModule(win), "") << "process cannot be opened";
    EXPECT_EQ(GetWindowModule(0), "");
    EXPECT_EQ(GetWindowModule(0xDEAD), "");
    EXPECT_EQ(fake.moduleLookups, 1) << "no process id: no lookup at all";
    fake.modulePaths[42] = "C:\\Program Files\\Editor\\Edit.exe";
    EXPECT_EQ(GetWindowModule(win), "C:\\Program Files\\Editor\\Edit.exe");
}

TEST_F(ModuleLookupTest, SixteenBitTaskInsteadOfTheMachineProcess) {
    fake.modulePaths[42] = "C:\\WINNT\\system32\\ntvdm.exe";
    fake.vdmTasks[42] = {"C:\\WINNT\\system32\\WOWEXEC.EXE", "C:\\OLD\\CALC16.EXE", "C:\\OLD\\WRITE16.EXE",
                         "c:\\winnt\\system32\\wowexec.exe"};
    // The last task other than the shell task.
    EXPECT_EQ(GetWindowModule(win), "C:\\OLD\\WRITE16.EXE");
}

TEST_F(ModuleLookupTest, MachineWithOnlyTheShellTask) {
    fake.modulePaths[42] = "C:\\WINNT\\SYSTEM32\\NTVDM.EXE";
    fake.vdmTasks[42] = {"C:\\WINNT\\SYSTEM32\\WOWEXEC.EXE"};
    EXPECT_EQ(GetWindowModule(win), "--");
    fake.vdmTasks.erase(42);
    EXPECT_EQ(GetWindowModule(win), "--");
}

TEST_F(ModuleLookupTest, ResolveLeavesOtherPathsAlone) {
    EXPECT_EQ(ResolveVdmModule("C:\\x\\NTVDM.EXE.bak", 42), "C:\\x\\NTVDM.EXE.bak");
    EXPECT_EQ(ResolveVdmModule("/usr/bin/gedit", 42), "/usr/bin/gedit");
    EXPECT_EQ(ResolveVdmModule("NTVDM.EXE", 43), "--");
    EXPECT_EQ(ResolveVdmModule("TVDM.EXE", 43), "TVDM.EXE");
}

TEST_F(ModuleLookupTest, TaskNamesAreCutAtNulAndBoundedBy255) {
    fake.vdmTasks[42] = {std::string("C:\\A.EXE\0garbage", 16)};
    EXPECT_EQ(GetVdmTaskFile(42), "C:\\A.EXE");
    fake.vdmTasks[42] = {std::string(254, 'a')};
    EXPECT_EQ(GetVdmTaskFile(42), std::string(254, 'a'));
    // No terminator within the buffer: the name reads as empty, which is
    // still a task other than the shell task.
    fake.vdmTasks[42] = {std::string(255, 'a')};
    EXPECT_EQ(GetVdmTaskFile(42), "");
}

TEST_F(ModuleLookupTest, EachLookupKeepsItsOwnState) {
    fake.vdmTasks[1] = {"C:\\ONE.EXE"};
    fake.vdmTasks[2] = {"C:\\WOWEXEC.EXE"};
    EXPECT_EQ(GetVdmTaskFile(1), "C:\\ONE.EXE");
    EXPECT_EQ(GetVdmTaskFile(2), "--") << "nothing is left over from the previous lookup";
}

}  // namespace
