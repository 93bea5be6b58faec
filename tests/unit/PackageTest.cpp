// Access to the patch package's resources.
#include "package/PatchPackage.h"

#include <gtest/gtest.h>

#include "rtl/Exceptions.h"
#include "rtl/fake/FakeResources.h"

namespace {

TEST(Package, OpensResourcesByNameAndType) {
    auto& res = fake::Resources::Get();
    res.Clear();
    res.Set("RESOURCE_SCRIPT", "TEXT", "script");
    res.Set("RESOURCE_FILE10", "BIN", std::string("\0payload", 8));
    auto script = OpenScript();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(script->Memory()), script->Size()), "script");
    EXPECT_EQ(script->Position(), 0u);
    auto payload = OpenPayload(10);
    EXPECT_EQ(payload->Size(), 8u);
    EXPECT_EQ(PayloadResourceName(0), "RESOURCE_FILE0");
}

TEST(Package, AMissingResourceNamesItself) {
    auto& res = fake::Resources::Get();
    res.Clear();
    res.Set("RESOURCE_BACKGROUND", "TEXT", "wrong type");
    try {
        OpenBackground();
        FAIL();
    } catch (const EResNotFound& e) {
        // "RESOURCE_BACKGROUND リソースが見つかりません"
        EXPECT_EQ(e.Message(), "RESOURCE_BACKGROUND \x83\x8A\x83\x5C\x81\x5B\x83\x58\x82\xAA\x8C\xA9\x82\xC2"
                               "\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1");
        EXPECT_EQ(ErrorDisplayText(e.Message()), e.Message() + ".");
    }
    EXPECT_EQ(ErrorDisplayText("ends."), "ends.");
    EXPECT_EQ(ErrorDisplayText("ends!"), "ends!");
    EXPECT_EQ(ErrorDisplayText("x"), "x.");
    EXPECT_EQ(ErrorDisplayText(""), "");
}

}  // namespace
