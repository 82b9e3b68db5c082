// The solvane command line: exit codes, messages and what lands on disk.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/solvane_process.h"

namespace {

namespace fs = std::filesystem;
using solvane::testing::ChildSetup;
using solvane::testing::Outcome;
using solvane::testing::readAll;
using solvane::testing::runSolvane;
using Args = std::vector<std::string>;

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = solvane::testing::freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(out_ = dir_ / "out");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& text) {
    solvane::testing::writeAll(dir_ / name, text);
    return (dir_ / name).string();
  }
  Args withOut(Args args) const {
    args.insert(args.end(), {"--output-dir", out_.string()});
    return args;
  }

  fs::path dir_;
  fs::path out_;
};

const std::string kOneCamera = "IDX,X,Y\n1,127,37,1,60,0,0\n";

TEST_F(Cli, ConvertsAndPrintsTheFullPath) {
  const Outcome r = runSolvane(withOut({"convert", "--normal", write("n.txt", kOneCamera), "--date",
                                        "2024-11-05", "--seed", "3"}));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "DB Conversion end. [" + (out_ / "DB_241105.dbh").string() + "]\n");
  EXPECT_EQ(fs::file_size(out_ / "DB_241105.dbh"), 128u);
}

TEST_F(Cli, DateComesFromSourceDateEpochWhenNotGiven) {
  ChildSetup setup;
  setup.extraEnv = {"SOURCE_DATE_EPOCH=4102444800"};  // 2100-01-01
  const Outcome r = runSolvane(withOut({"convert", "--normal", write("n.txt", kOneCamera)}), setup);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(out_ / "DB_1000101.dbh"));
}

TEST_F(Cli, OutputGoesToTheCurrentFolderByDefault) {
  ChildSetup setup;
  setup.workingDirectory = out_;
  const Outcome r = runSolvane({"convert", "--normal", write("n.txt", kOneCamera), "--date", "2024-11-05"}, setup);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(out_ / "DB_241105.dbh"));
}

TEST_F(Cli, FailuresExitOneWithTheMessageAndWriteNothing) {
  const std::string good = write("good.txt", kOneCamera);
  const struct {
    Args args;
    std::string firstLine;
  } cases[] = {
      {{"--normal", (dir_ / "missing.txt").string()}, "Error[5009]"},
      {{"--normal", write("bad.txt", "IDX,Y\n")}, "Error : Wrong DB file !!!"},
      {{"--normal", good, "--autodoria", write("a.txt", "IDX,X\n1,2\nx\n")}, "Error : Wrong DB file !!!"},
      {{"--normal", write("empty.txt", "IDX,X\n")}, "Nothing to convert: the lists hold no camera rows."},
  };
  for (const auto& c : cases) {
    Args args{"convert", "--date", "2024-11-05"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome r = runSolvane(withOut(args));
    EXPECT_EQ(r.exitCode, 1) << c.firstLine;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.firstLine) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fs::is_empty(out_)) << c.firstLine;
  }
}

TEST_F(Cli, UsageErrorsExitTwo) {
  const std::string good = write("good.txt", kOneCamera);
  const Args cases[] = {
      {"convert"},
      {},
      {"frobnicate"},
      {"convert", "--normal", good, "--date", "2024-02-30"},
      {"convert", "--normal", good, "--seed", "many"},
  };
  for (const Args& args : cases) {
    const Outcome r = runSolvane(withOut(args));
    EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "(none)" : args.back()) << "\n" << r.err;
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(Cli, RunningOutOfMemoryIsAFailureNotACrash) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer needs more address space than the limit this test sets";
#else
  // About 20 MB of list under a 60 MB address-space limit: the read fits, the table does not.
  std::string list = "IDX,X,Y\n";
  for (int i = 0; i < 550000; ++i) list += std::to_string(i) + ",127.123456,37.123456,1,60,0,90\n";
  ChildSetup setup;
  setup.addressSpaceLimit = 60u << 20;
  const Outcome r = runSolvane(withOut({"convert", "--normal", write("big.txt", list)}), setup);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  // Which allocation fails first (rows, a worker thread) may vary; the outcome may not.
  EXPECT_TRUE(r.err.starts_with("solvane: ")) << r.err;
  EXPECT_NE(r.err.find("nothing was written."), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_empty(out_));
#endif
}

TEST_F(Cli, HelpExplainsWithAnExample) {
  const Outcome r = runSolvane({"convert", "--help"});
  EXPECT_EQ(r.exitCode, 0);
  for (const char* word : {"--normal", "--autodoria", "--output-dir", "--date", "--seed", "Example",
                           "SOURCE_DATE_EPOCH"}) {
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  }
}

TEST_F(Cli, VersionIsTheProjectVersion) {
  const Outcome r = runSolvane({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "solvane " SOLVANE_PROJECT_VERSION "\n");
  EXPECT_EQ(r.err, "");
}

}  // namespace
