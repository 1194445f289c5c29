// Tests of the output file: whatever the sizes of the writes, the file holds exactly the bytes
// written, in order, once it is closed, whether the system writes it around its cache or not.
#include "engine/os/file.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace trelvane {
namespace {

TEST(OutputFileTest, HoldsEveryByteWrittenWhateverTheSizes)
{
    test::TempDir dir;
    std::mt19937 random(11);
    // Around a block of 4 KiB and a staging of 4 MiB, and many small writes.
    const std::size_t mebibyte = std::size_t{1} << 20;
    for (const std::size_t total :
         {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{4096}, std::size_t{4097},
          4 * mebibyte - 1, 4 * mebibyte, 4 * mebibyte + 1, 9 * mebibyte + 4099}) {
        SCOPED_TRACE(total);
        std::string bytes(total, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        os::OutputFile file;
        ASSERT_TRUE(file.CreateBeside(dir.Wide("out.txt")));
        for (std::size_t at = 0; at < total;) {
            const std::size_t size = std::min<std::size_t>(total - at, random() % 300000 + 1);
            ASSERT_TRUE(file.Write(bytes.data() + at, size));
            at += size;
        }
        ASSERT_TRUE(file.Close());
        ASSERT_EQ(os::ReplaceFile(file.Path(), dir.Wide("out.txt")), 0);
        EXPECT_TRUE(test::ReadBytes(dir.Path() / "out.txt") == bytes);
    }
}

} // namespace
} // namespace trelvane
