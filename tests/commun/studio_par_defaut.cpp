// The addresses under test derive from the default studio address: the variable that would move
// it is removed before any test reads it.
#include <gtest/gtest.h>

#include <cstdlib>

namespace {
class StudioParDefaut : public ::testing::Environment {
public:
    void SetUp() override { unsetenv("OVREL_STUDIO_URL"); }
};
[[maybe_unused]] ::testing::Environment* const environnement =
    ::testing::AddGlobalTestEnvironment(new StudioParDefaut);
}  // namespace
