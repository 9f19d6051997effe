// The item cache's bound and the order in which it lets items go.
#include "browse/item_cache.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<const std::string> bytes(std::size_t size, char fill = 'x')
{
    return std::make_shared<const std::string>(size, fill);
}

}  // namespace

TEST(ItemCache, KeepsWithinItsBudgetAndLetsTheLeastRecentlyUsedGoFirst)
{
    browse::item_cache cache(100);
    cache.insert(1, bytes(40, 'a'));
    cache.insert(2, bytes(40, 'b'));
    EXPECT_EQ(cache.used(), 80u);
    ASSERT_NE(cache.find(1), nullptr);  // 1 is now the most recently used
    cache.insert(3, bytes(40, 'c'));    // 2 goes
    EXPECT_EQ(cache.find(2), nullptr);
    EXPECT_EQ(*cache.find(1), std::string(40, 'a'));
    EXPECT_EQ(*cache.find(3), std::string(40, 'c'));
    EXPECT_EQ(cache.used(), 80u);

    cache.insert(4, bytes(100, 'd'));  // exactly the budget: everything else goes
    EXPECT_EQ(cache.find(1), nullptr);
    EXPECT_EQ(cache.find(3), nullptr);
    EXPECT_EQ(cache.used(), 100u);

    cache.insert(5, bytes(101));  // larger than the budget: not kept, nothing lost
    EXPECT_EQ(cache.find(5), nullptr);
    EXPECT_NE(cache.find(4), nullptr);

    cache.insert(4, bytes(10, 'e'));  // again: replaced, counted once
    EXPECT_EQ(*cache.find(4), std::string(10, 'e'));
    EXPECT_EQ(cache.used(), 10u);

    browse::item_cache off(0);
    off.insert(1, bytes(0));
    off.insert(2, bytes(1));
    EXPECT_EQ(off.find(2), nullptr);
    EXPECT_EQ(off.used(), 0u);
}

// An item decoded with a password that a request brought is found only with
// that password; one kept for everyone is found with any.
TEST(ItemCache, AnItemDecodedWithARequestsPasswordIsFoundWithItOnly)
{
    browse::item_cache cache(100);
    cache.insert(1, bytes(10, 'p'), std::string("right"));
    cache.insert(2, bytes(10, 'o'));
    const struct {
        std::uint32_t index;
        std::optional<std::string> password;
        bool found;
    } table[] = {
        {1, std::nullopt, false}, {1, std::string(""), false}, {1, std::string("wrong"), false},
        {1, std::string("right"), true}, {1, std::string("right "), false},
        {2, std::nullopt, true}, {2, std::string("any"), true},
    };
    for (const auto& row : table)
        EXPECT_EQ(cache.find(row.index, row.password) != nullptr, row.found)
            << row.index << " " << row.password.value_or("(none)");
}
