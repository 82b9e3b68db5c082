// The file helpers under the output file: exclusive creation and replacing a file that another
// process holds open for a moment (Windows refuses that while the file is open).
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "base/c_file.h"
#include "tests/solvane_process.h"

namespace solvane::testing {
namespace {

class CFile : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(CFile, CreateNewFileNeverOpensAnExistingFile) {
  const fs::path path = dir_ / u8("neu \xC3\xBC.tmp");
  std::error_code error;
  {
    FilePtr file = createNewFile(path, error);
    ASSERT_TRUE(file) << error.message();
    ASSERT_EQ(std::fwrite("abc", 1, 3, file.get()), 3u);
    ASSERT_EQ(std::fseek(file.get(), 0, SEEK_SET), 0);
    char back[4] = {};
    ASSERT_EQ(std::fread(back, 1, 3, file.get()), 3u);  // open for reading too
    EXPECT_STREQ(back, "abc");
  }
  FilePtr again = createNewFile(path, error);
  EXPECT_FALSE(again);
  EXPECT_EQ(error, std::errc::file_exists) << error.message();
  EXPECT_EQ(readAll(path), "abc");  // not truncated
  fs::create_directory(dir_ / "folder");
  EXPECT_FALSE(createNewFile(dir_ / "folder", error));
  EXPECT_FALSE(createNewFile(dir_ / "missing" / "x.tmp", error));
  EXPECT_NE(error, std::errc::file_exists);
  EXPECT_FALSE(reasonText(error).empty());
}

#ifdef _WIN32
// Opens a file the way a virus scanner or a reader does: sharing reading and writing, not
// deletion, so the file cannot be replaced while it is open.
HANDLE holdOpen(const fs::path& path) {
  return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

TEST_F(CFile, ReplaceFileWaitsForABriefHolderAndThenFailsAsBefore) {
  const fs::path target = dir_ / "DB_241105.dbh";
  writeAll(target, "earlier");
  writeAll(dir_ / "new1", "first");
  EXPECT_FALSE(replaceFile(dir_ / "new1", target));
  EXPECT_EQ(readAll(target), "first");
  EXPECT_FALSE(fs::exists(dir_ / "new1"));
#ifdef _WIN32
  // Held for half a second: the move waits and then succeeds.
  writeAll(dir_ / "new2", "second");
  HANDLE held = holdOpen(target);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread release([held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::CloseHandle(held);
  });
  const std::error_code waited = replaceFile(dir_ / "new2", target);
  release.join();
  EXPECT_FALSE(waited) << reasonText(waited);
  EXPECT_EQ(readAll(target), "second");

  // Held for longer than the move waits: the system's error, both files as they were.
  writeAll(dir_ / "new3", "third");
  held = holdOpen(target);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const auto start = std::chrono::steady_clock::now();
  const std::error_code failed = replaceFile(dir_ / "new3", target);
  const auto waitedFor = std::chrono::steady_clock::now() - start;
  ::CloseHandle(held);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed.category(), std::system_category());
  EXPECT_TRUE(failed.value() == ERROR_ACCESS_DENIED || failed.value() == ERROR_SHARING_VIOLATION) << failed.value();
  EXPECT_EQ(reasonText(failed), systemReason(static_cast<unsigned long>(failed.value())));
  EXPECT_GE(waitedFor, std::chrono::seconds(1));
  EXPECT_LT(waitedFor, std::chrono::seconds(5));
  EXPECT_EQ(readAll(target), "second");
  EXPECT_EQ(readAll(dir_ / "new3"), "third");
#else
  // Linux replaces a file that is open; the reader keeps the bytes it opened.
  writeAll(dir_ / "new2", "second");
  std::ifstream reader(target, std::ios::binary);
  EXPECT_FALSE(replaceFile(dir_ / "new2", target));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "first");
  EXPECT_EQ(readAll(target), "second");
#endif
}

}  // namespace
}  // namespace solvane::testing
