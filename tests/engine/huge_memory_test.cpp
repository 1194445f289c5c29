// Tests of LargeBuffer: zero-filled blocks, growth that keeps contents, ownership on moves.
#include "engine/os/huge_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace trelvane {
namespace {

constexpr std::size_t mebibyte = std::size_t{1} << 20;

unsigned char* Bytes(const LargeBuffer& buffer)
{
    return static_cast<unsigned char*>(buffer.data());
}

bool AllZero(const unsigned char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

void FillPattern(unsigned char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + 1);
}

bool HasPattern(const unsigned char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] != static_cast<unsigned char>(i * 7 + 1))
            return false;
    }
    return true;
}

TEST(LargeBuffer, AllocatesZeroFilledBlocks)
{
    for (const std::size_t request : {std::size_t{1}, std::size_t{5000}, 2 * mebibyte + 1}) {
        SCOPED_TRACE(request);
        LargeBuffer buffer;
        buffer.Allocate(request);
        ASSERT_NE(buffer.data(), nullptr);
        ASSERT_GE(buffer.size(), request);
        EXPECT_TRUE(AllZero(Bytes(buffer), buffer.size()));
        FillPattern(Bytes(buffer), buffer.size()); // the whole size is writable
    }
}

TEST(LargeBuffer, GrowKeepsContentsAndZeroFillsTheRest)
{
    struct Step
    {
        const char* name;
        std::size_t from;
        std::size_t to;
    };
    const Step steps[] = {
        {"empty to small", 0, 4096},
        {"small to small", 4096, 100000},
        {"small to large", 100000, 3 * mebibyte},
        {"large to larger", 4 * mebibyte, 9 * mebibyte},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        LargeBuffer buffer;
        buffer.Allocate(step.from);
        FillPattern(Bytes(buffer), step.from);
        buffer.Grow(step.to);
        ASSERT_GE(buffer.size(), step.to);
        EXPECT_TRUE(HasPattern(Bytes(buffer), step.from));
        EXPECT_TRUE(AllZero(Bytes(buffer) + step.from, buffer.size() - step.from));
    }
}

TEST(LargeBuffer, GrowToASizeItHasChangesNothing)
{
    LargeBuffer buffer;
    buffer.Allocate(10000);
    void* before = buffer.data();
    const std::size_t size = buffer.size();
    buffer.Grow(size);
    buffer.Grow(1);
    EXPECT_EQ(buffer.data(), before);
    EXPECT_EQ(buffer.size(), size);
}

TEST(LargeBuffer, MovesHandOverTheBlock)
{
    LargeBuffer first;
    first.Allocate(4096);
    FillPattern(Bytes(first), 4096);
    LargeBuffer second(std::move(first));
    EXPECT_EQ(first.data(), nullptr); // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(first.size(), 0u);
    EXPECT_TRUE(HasPattern(Bytes(second), 4096));

    LargeBuffer third;
    third.Allocate(8192);
    third = std::move(second);
    EXPECT_EQ(second.data(), nullptr); // NOLINT(bugprone-use-after-move)
    EXPECT_TRUE(HasPattern(Bytes(third), 4096));
}

TEST(LargeBuffer, ReleaseAndZeroSizeLeaveItEmpty)
{
    LargeBuffer buffer;
    buffer.Allocate(4096);
    buffer.Release();
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.size(), 0u);
    buffer.Allocate(0);
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.size(), 0u);
}

} // namespace
} // namespace trelvane
