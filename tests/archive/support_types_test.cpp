// The support types' growth rules, ownership and raises.
#include "archive/support_buffer.h"
#include "archive/support_string.h"
#include "archive/support_vector.h"

#include <gtest/gtest.h>

#include <vector>

TEST(SupportString, GrowsByTheRuleAsCharactersAreAppended)
{
    // Capacity after each of 40 appended characters, from an empty string.
    UString text;
    std::vector<int> capacities{text.Capacity()};
    for (int i = 0; i < 40; ++i) {
        text += L'x';
        if (text.Capacity() != capacities.back())
            capacities.push_back(text.Capacity());
    }
    // 4 (free 3), 4+4+1, 9+16+1, 26+16+1, 43+16+1
    EXPECT_EQ(capacities, (std::vector<int>{4, 9, 26, 43}));
    EXPECT_EQ(text.Length(), 40);

    // Above 64 units half the capacity is added; a long append gets what it needs.
    AString big;
    for (int i = 0; i < 70; ++i)
        big += 'y';
    EXPECT_EQ(big.Capacity(), 60 + 16 + 1);
    big += AString(std::string(200, 'z').c_str());
    EXPECT_EQ(big.Capacity(), 77 + (200 - 6) + 1);
    EXPECT_EQ(big.Length(), 270);
    EXPECT_EQ(big[269], 'z');
    EXPECT_EQ(big[270], '\0');
}

TEST(SupportString, AssignmentFitsTheCapacityToTheSource)
{
    AString text("a long piece of text");
    EXPECT_EQ(text.Capacity(), 21);
    text = "short";
    EXPECT_EQ(text.Capacity(), 6);
    EXPECT_TRUE(text == "short");
    AString copy(text);
    copy += " and more";
    EXPECT_TRUE(text == "short");
    EXPECT_TRUE(copy == "short and more");
}

TEST(SupportString, ComparesUnitsAsUnsignedValues)
{
    EXPECT_LT(AString("a").Compare("\xC3\xA9"), 0);  // 0x61 before 0xC3
    EXPECT_GT(AString("ab").Compare("a"), 0);
    EXPECT_EQ(UString(L"x").Compare(L"x"), 0);
}

TEST(SupportVector, GrowsOneByOneThenByEightThenByAQuarter)
{
    CRecordVector<int> numbers;
    std::vector<int> capacities{numbers.Capacity()};
    for (int i = 0; i < 100; ++i) {
        numbers.Add(i);
        if (numbers.Capacity() != capacities.back())
            capacities.push_back(numbers.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 16, 24, 32, 40, 48, 56, 64, 80, 100}));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(numbers[i], i);
}

TEST(SupportVector, DeleteClampsAndKeepsTheOrder)
{
    CRecordVector<int> numbers;
    for (int i = 0; i < 6; ++i)
        numbers.Add(i);
    numbers.Delete(1, 2);
    numbers.Delete(3, 10);
    ASSERT_EQ(numbers.Size(), 3);
    EXPECT_EQ(numbers[0], 0);
    EXPECT_EQ(numbers[1], 3);
    EXPECT_EQ(numbers[2], 4);
}

TEST(SupportVector, ImpossibleCapacitiesRaiseIntegers)
{
    CRecordVector<int> numbers;
    EXPECT_THROW(
        {
            try {
                numbers.Reserve(std::uint64_t{1} << 31);
            } catch (int code) {
                EXPECT_EQ(code, 1052353);
                throw;
            }
        },
        int);
    CRecordVector<std::uint64_t> wide;
    EXPECT_THROW(
        {
            try {
                wide.Reserve(std::uint64_t{1} << 30);  // 8 GiB of records
            } catch (int code) {
                EXPECT_EQ(code, 1052354);
                throw;
            }
        },
        int);
}

namespace {

// Counts its live instances, to show who destroys the objects of a vector.
struct counted {
    static int live;
    int value;
    explicit counted(int v = 0) : value(v) { ++live; }
    counted(const counted& other) : value(other.value) { ++live; }
    ~counted() { --live; }
};
int counted::live = 0;

}  // namespace

TEST(SupportVector, ObjectVectorOwnsItsObjects)
{
    {
        CObjectVector<counted> objects;
        const counted original(7);
        for (int i = 0; i < 5; ++i)
            objects.Add(original);
        objects.AddNew().value = 9;
        EXPECT_EQ(counted::live, 7);
        objects.Delete(0, 2);
        EXPECT_EQ(counted::live, 5);
        CObjectVector<counted> copy(objects);
        EXPECT_EQ(counted::live, 9);
        EXPECT_EQ(copy[3].value, 9);
        objects.Clear();
        EXPECT_EQ(counted::live, 5);
    }
    EXPECT_EQ(counted::live, 0);
}

TEST(SupportBuffer, KeepsWhatFitsWhenTheCapacityChanges)
{
    CByteBuffer buffer;
    buffer.SetCapacity(4);
    std::memcpy(buffer.Items(), "abcd", 4);
    buffer.SetCapacity(2);
    CByteBuffer copy(buffer);
    copy.SetCapacity(3);
    EXPECT_EQ(copy.GetCapacity(), 3u);
    EXPECT_EQ(std::memcmp(copy.Items(), "ab", 2), 0);
    buffer.SetCapacity(0);
    EXPECT_EQ(buffer.Items(), nullptr);
}
