#include "io/Paths.h"

#include "TestSupport.h"

namespace sv::test {

namespace {

TEST(SafeName, KeepsOrdinaryNamesAndReplacesWhatCouldLeaveTheFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"TAVERN.HMI", "TAVERN.HMI"},   {"...x", "...x"}, {"../x", ".._x"}, {"a\\b:c/d", "a_b_c_d"},
        {"a\x01\x1f\x7f", "a___"},      {"", "_"},        {".", "_"},       {"..", "_"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
    };
    for (const auto& [name, safe] : cases) {
        EXPECT_EQ(sv::SafeName(name), safe) << name;
    }
}

} // namespace

} // namespace sv::test
