// The registry path reader over the in-memory registry: the walk, its outcomes and what it
// leaves behind.
#include "lib/Tqmregistry.h"

#include <gtest/gtest.h>

#include <optional>

#include "TestSupport.h"
#include "rtl/Exceptions.h"
#include "rtl/fake/FakeRegistry.h"

namespace {

const std::string kBefore = "before";
// ソフト: a key name whose first trail byte is 0x5C.
const std::string kSoft = "\x83\x5C\x83\x74\x83\x67";

class ReadRegistryStringTest : public testing::Test {
protected:
    void SetUp() override {
        reg.Reset();
        reg.SetString(kHKeyLocalMachine, "Software\\Vendor\\Product", "InstallDir", "C:\\Games\\Product");
        reg.SetString(kHKeyLocalMachine, "Software\\Vendor\\Product", "Expand", "%ProgramFiles%\\P", kRegExpandSz);
        reg.SetValue(kHKeyLocalMachine, "Software\\Vendor\\Product", "Empty", kRegSz, "");
        reg.SetString(kHKeyCurrentUser, "", "AtRoot", "root value");
        reg.SetString(kHKeyCurrentUser, "Software", "a\\b", "quoted");
        reg.SetString(kHKeyCurrentUser, "Software\\" + kSoft, "Name", "so");
        reg.SetString(kHKeyUsers, "HKEY_USERS", "HKEY_USERS", "inner root names");
        reg.SetString(kHKeyCurrentUser, "Software\\Vendor", "Number", "1");  // a string, not the DWORD below
        reg.SetDword(kHKeyCurrentUser, "Software\\Vendor\\Product", "Number", 42);
        reg.SetString(kHKeyCurrentUser, "Software\\Vendor\\Product", "Broken", "x");
        reg.FailFetch(kHKeyCurrentUser, "Software\\Vendor\\Product", "Broken");
        reg.DenyOpen(kHKeyCurrentUser, "Software\\Locked");
        reg.SetString(kHKeyCurrentUser, "Software\\Locked", "Name", "hidden");
    }
    void TearDown() override { EXPECT_EQ(reg.OpenKeys(), 0); }

    fake::Registry& reg = fake::Registry::Get();
};

struct PathCase {
    std::string path;
    bool result;
    std::optional<std::string> value;  // nullopt: the caller's text is untouched
};

TEST_F(ReadRegistryStringTest, OutcomesTable) {
    const PathCase cases[] = {
        {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product\\InstallDir", true, "C:\\Games\\Product"},
        {"hkey_local_machine\\Software\\Vendor\\Product\\InstallDir", true, "C:\\Games\\Product"},
        {"HKEY_LOCAL_MACHINE\\software\\VENDOR\\product\\installdir", true, "C:\\Games\\Product"},
        {"\\HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product\\InstallDir", true, "C:\\Games\\Product"},
        {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product\\InstallDir\\", true, "C:\\Games\\Product"},
        {"HKEY_LOCAL_MACHINE\\\\Software\\Vendor\\\\\\Product\\InstallDir", true, "C:\\Games\\Product"},
        {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product\\Expand", true, "%ProgramFiles%\\P"},  // unexpanded
        {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product\\Empty", true, ""},
        {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product\\Missing", true, ""},
        {"HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product", true, ""},  // "Product" is read as a value name
        {"HKEY_LOCAL_MACHINE\\Software\\Nobody\\Product\\InstallDir", false, std::nullopt},
        {"HKEY_CURRENT_USER\\Software\\Locked\\Name", false, std::nullopt},  // denied like missing
        {"HKEY_PERFORMANCE_DATA\\Any\\Name", false, std::nullopt},
        {"HKLM\\Software\\Name", false, std::nullopt},
        {" HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product\\InstallDir", false, std::nullopt},  // no trimming
        {"HKEY_LOCAL_MACHINESoftwareVendor", false, std::nullopt},
        {"Software\\Vendor\\Product\\InstallDir", false, std::nullopt},
        {"HKEY_USERS", true, std::nullopt},
        {"hkey_users\\", true, std::nullopt},
        {"", true, std::nullopt},
        {"\\\\\\", true, std::nullopt},
        {"HKEY_CURRENT_USER\\AtRoot", true, ""},  // no key is open, so nothing is read
        {"HKEY_CURRENT_USER\\Software\\\"a\\b\"", true, "quoted"},
        {"HKEY_CURRENT_USER\\\"Software\\Vendor\"\\Number", true, "1"},  // one quoted part opens two levels
        {"HKEY_CURRENT_USER\\Software\\" + kSoft + "\\Name", true, "so"},
        {"HKEY_USERS\\HKEY_USERS\\HKEY_USERS", true, "inner root names"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string value = kBefore;
        EXPECT_EQ(ReadRegistryString(c.path, value), c.result);
        EXPECT_EQ(value, c.value.value_or(kBefore));
        EXPECT_EQ(reg.OpenKeys(), 0);
    }
}

TEST_F(ReadRegistryStringTest, OpensOneComponentAtATimeBelowTheOneBefore) {
    std::string value;
    ASSERT_TRUE(ReadRegistryString("HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product\\InstallDir", value));
    EXPECT_EQ(reg.Opens(), (std::vector<std::string>{"Software", "Vendor", "Product"}));
}

TEST_F(ReadRegistryStringTest, StopsAtTheFirstKeyThatWillNotOpen) {
    std::string value = kBefore;
    EXPECT_FALSE(ReadRegistryString("HKEY_LOCAL_MACHINE\\Software\\Nobody\\Vendor\\Product\\InstallDir", value));
    EXPECT_EQ(reg.Opens(), (std::vector<std::string>{"Software", "Nobody"}));
}

TEST_F(ReadRegistryStringTest, WithoutLeadBytesTheTrailByteSplitsTheKeyName) {
    ScopedLeadBytes none(NoLeadBytes());
    std::string value = kBefore;
    EXPECT_FALSE(ReadRegistryString("HKEY_CURRENT_USER\\Software\\" + kSoft + "\\Name", value));
    EXPECT_EQ(value, kBefore);
    EXPECT_EQ(reg.Opens(), (std::vector<std::string>{"Software", "\x83"}));
}

TEST_F(ReadRegistryStringTest, ReadErrorsPassWithValueUntouchedAndNoKeyOpen) {
    const struct {
        const char* path;
        std::string message;
    } cases[] = {
        {"HKEY_CURRENT_USER\\Software\\Vendor\\Product\\Number",
         ERegistryException::InvalidDataType("Number").Message()},
        {"HKEY_CURRENT_USER\\Software\\Vendor\\Product\\Broken",
         ERegistryException::ReadFailed("Broken").Message()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string value = kBefore;
        try {
            ReadRegistryString(c.path, value);
            ADD_FAILURE() << "no error";
        } catch (const ERegistryException& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(value, kBefore);
        EXPECT_EQ(reg.OpenKeys(), 0);
    }
}

TEST_F(ReadRegistryStringTest, LeavesThePathUnchanged) {
    const std::string path = "HKEY_CURRENT_USER\\Software\\\"a\\b\"";
    std::string copy = path, value;
    ReadRegistryString(copy, value);
    EXPECT_EQ(copy, path);
}

}  // namespace
