// The runtime's registry accessor over the in-memory registry.
#include "rtl/Registry.h"

#include <gtest/gtest.h>

#include "rtl/Exceptions.h"
#include "rtl/fake/FakeRegistry.h"

namespace {

class RegistryTest : public testing::Test {
protected:
    void SetUp() override {
        reg.Reset();
        reg.SetString(kHKeyLocalMachine, "Software\\Vendor\\Product", "Dir", "C:\\Games");
        reg.SetString(kHKeyCurrentUser, "Software\\Vendor", "Where", "user");
    }
    void TearDown() override { EXPECT_EQ(reg.OpenKeys(), 0); }

    fake::Registry& reg = fake::Registry::Get();
};

TEST_F(RegistryTest, StartsAtTheCurrentUserWithNoKeyOpen) {
    TRegistry r;
    EXPECT_EQ(r.RootKey(), kHKeyCurrentUser);
    EXPECT_FALSE(r.HasCurrentKey());
    EXPECT_EQ(r.ReadString("Where"), "");  // no open key: nothing is read, not even the root's values
}

TEST_F(RegistryTest, OpensRelativeToTheOpenKeyOrFromTheRoot) {
    TRegistry r;
    r.SetRootKey(kHKeyLocalMachine);
    ASSERT_TRUE(r.OpenKeyReadOnly("software"));  // names compare without regard to case
    ASSERT_TRUE(r.OpenKeyReadOnly("VENDOR\\product"));  // inner backslashes open several levels
    EXPECT_EQ(reg.OpenKeys(), 1);                      // the key before is closed
    EXPECT_EQ(r.ReadString("Dir"), "C:\\Games");

    ASSERT_TRUE(r.OpenKeyReadOnly("\\Software\\Vendor"));  // a leading backslash starts at the root
    EXPECT_EQ(reg.Opens().back(), "Software\\Vendor");
    ASSERT_TRUE(r.OpenKeyReadOnly("Product"));
    EXPECT_EQ(r.ReadString("Dir"), "C:\\Games");
    EXPECT_EQ(reg.OpenKeys(), 1);
}

TEST_F(RegistryTest, AFailedOpenKeepsTheOpenKey) {
    reg.DenyOpen(kHKeyLocalMachine, "Software\\Vendor\\Locked");
    TRegistry r;
    r.SetRootKey(kHKeyLocalMachine);
    ASSERT_TRUE(r.OpenKeyReadOnly("Software\\Vendor"));
    EXPECT_FALSE(r.OpenKeyReadOnly("Missing"));
    EXPECT_FALSE(r.OpenKeyReadOnly("Locked"));
    EXPECT_FALSE(r.OpenKeyReadOnly("Product\\\\"));
    EXPECT_EQ(reg.OpenKeys(), 1);
    ASSERT_TRUE(r.OpenKeyReadOnly("Product"));
    EXPECT_EQ(r.ReadString("Dir"), "C:\\Games");
}

TEST_F(RegistryTest, ChangingTheRootAndDestroyingCloseTheOpenKey) {
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKeyReadOnly("Software"));
        r.SetRootKey(kHKeyLocalMachine);
        EXPECT_FALSE(r.HasCurrentKey());
        EXPECT_EQ(reg.OpenKeys(), 0);
        ASSERT_TRUE(r.OpenKeyReadOnly("Software"));
        EXPECT_EQ(reg.OpenKeys(), 1);
    }
    EXPECT_EQ(reg.OpenKeys(), 0);
}

TEST_F(RegistryTest, ReadStringByValueType) {
    const std::string key = "Software\\Values";
    reg.SetString(kHKeyCurrentUser, key, "Plain", "text");
    reg.SetString(kHKeyCurrentUser, key, "Expand", "%WINDIR%\\x", kRegExpandSz);
    reg.SetValue(kHKeyCurrentUser, key, "NoTerminator", kRegSz, "abc");
    reg.SetValue(kHKeyCurrentUser, key, "Inner", kRegSz, std::string("ab\0cd\0", 6));
    reg.SetValue(kHKeyCurrentUser, key, "Empty", kRegSz, "");
    reg.SetValue(kHKeyCurrentUser, key, "EmptyDword", kRegDword, "");
    reg.SetString(kHKeyCurrentUser, key, "", "default");
    const struct {
        const char* name;
        std::string expected;
    } cases[] = {
        {"Plain", "text"},   {"plain", "text"},      {"Expand", "%WINDIR%\\x"},  // unexpanded
        {"NoTerminator", "abc"}, {"Inner", "ab"},    {"Empty", ""},
        {"EmptyDword", ""},  {"Missing", ""},        {"", "default"},
    };
    TRegistry r;
    ASSERT_TRUE(r.OpenKeyReadOnly(key));
    for (const auto& c : cases) EXPECT_EQ(r.ReadString(c.name), c.expected) << c.name;
}

TEST_F(RegistryTest, ReadStringRaisesForOtherTypesAndFailedFetches) {
    const std::string key = "Software\\Values";
    reg.SetDword(kHKeyCurrentUser, key, "Number", 7);
    reg.SetValue(kHKeyCurrentUser, key, "Bytes", kRegBinary, "\x01\x02");
    reg.SetValue(kHKeyCurrentUser, key, "List", kRegMultiSz, std::string("a\0b\0\0", 5));
    reg.SetString(kHKeyCurrentUser, key, "Broken", "text");
    reg.FailFetch(kHKeyCurrentUser, key, "Broken");
    const struct {
        const char* name;
        std::string message;
    } cases[] = {
        {"Number", ERegistryException::InvalidDataType("Number").Message()},
        {"Bytes", ERegistryException::InvalidDataType("Bytes").Message()},
        {"List", ERegistryException::InvalidDataType("List").Message()},
        {"Broken", ERegistryException::ReadFailed("Broken").Message()},
    };
    TRegistry r;
    ASSERT_TRUE(r.OpenKeyReadOnly(key));
    for (const auto& c : cases) {
        try {
            r.ReadString(c.name);
            ADD_FAILURE() << c.name << " did not raise";
        } catch (const ERegistryException& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    // '%s' のデータ型が不正です
    EXPECT_EQ(cases[0].message,
              "'Number' \x82\xCC\x83\x66\x81\x5B\x83\x5E\x8C\x5E\x82\xAA\x95\x73\x90\xB3\x82\xC5\x82\xB7");
}

}  // namespace
