#include "tests/document/DocumentFixture.h"

namespace kestrun::test {
namespace {
using LoadTest = DocumentFixture;
TEST_F(LoadTest, Smoke)
{
    Load(DocumentXml(ProgramXml("A", {{"Wait", "5"}})));
    EXPECT_EQ(document->ProgramNames(), std::vector<std::string>{"A"});
    EXPECT_EQ(Rows("A"), std::vector<std::string>{"Wait|5 seconds|True"});
}
}  // namespace
}  // namespace kestrun::test
