#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "jsonText.h"

namespace {

TEST(jsonQuote, escapesOnlyWhatJsonRequiresAndRoundTrips)
{
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"", "\"\""},
        {"plain text 123", "\"plain text 123\""},
        {"a\"b", "\"a\\\"b\""},
        {"c:\\dir", "\"c:\\\\dir\""},
        {"line\nnext\ttab", "\"line\\nnext\\ttab\""},
        {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
        {"caf\xc3\xa9 /", "\"caf\xc3\xa9 /\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vant::jsonQuote(c.in), c.out);
        EXPECT_EQ(nlohmann::json::parse(c.out).get<std::string>(), c.in);
    }
}

} // namespace
