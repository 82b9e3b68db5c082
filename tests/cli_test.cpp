// The solvane command line: exit codes, messages and what lands on disk.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("solvane_cli_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return dir_ / name;
  }

  // Runs solvane with `args` (already shell-quoted) and an optional environment prefix.
  Outcome run(const std::string& args, const std::string& env = "env -u SOURCE_DATE_EPOCH") {
    const std::string cmd = env + " '" SOLVANE_EXE "' " + args + " >'" + (dir_ / "stdout").string() +
                            "' 2>'" + (dir_ / "stderr").string() + "' </dev/null";
    const int status = std::system(cmd.c_str());
    Outcome r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(dir_ / "stdout");
    r.err = slurp(dir_ / "stderr");
    return r;
  }
  std::string quoted(const fs::path& p) const { return "'" + p.string() + "'"; }

  fs::path dir_;
};

TEST_F(Cli, ConvertsAndPrintsTheFullPath) {
  const auto normal = write("n.txt", "IDX,X,Y\n1,127,37,1,60,0,0\n");
  const Outcome r = run("convert --normal " + quoted(normal) + " --output-dir " + quoted(dir_ / "out") +
                    " --date 2024-11-05 --seed 3");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "DB Conversion end. [" + (dir_ / "out" / "DB_241105.dbh").string() + "]\n");
  EXPECT_EQ(fs::file_size(dir_ / "out" / "DB_241105.dbh"), 128u);
}

TEST_F(Cli, DateComesFromSourceDateEpochWhenNotGiven) {
  const auto normal = write("n.txt", "IDX,X,Y\n1,127,37,1,60,0,0\n");
  const Outcome r = run("convert --normal " + quoted(normal) + " --output-dir " + quoted(dir_ / "out"),
                    "env SOURCE_DATE_EPOCH=4102444800");  // 2100-01-01
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "out" / "DB_1000101.dbh"));
}

TEST_F(Cli, OutputGoesToTheCurrentFolderByDefault) {
  const auto normal = write("n.txt", "IDX,X,Y\n1,127,37,1,60,0,0\n");
  const Outcome r = run("convert --normal " + quoted(normal) + " --date 2024-11-05",
                    "cd " + quoted(dir_ / "out") + " && env -u SOURCE_DATE_EPOCH");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir_ / "out" / "DB_241105.dbh"));
}

TEST_F(Cli, FailuresExitOneWithTheMessageAndWriteNothing) {
  const auto good = write("good.txt", "IDX,X,Y\n1,127,37,1,60,0,0\n");
  const struct {
    std::string args;
    std::string firstLine;
  } cases[] = {
      {"--normal " + quoted(dir_ / "missing.txt"), "Error[5009]"},
      {"--normal " + quoted(write("bad.txt", "IDX,Y\n")), "Error : Wrong DB file !!!"},
      {"--normal " + quoted(good) + " --autodoria " + quoted(write("a.txt", "IDX,X\n1,2\nx\n")),
       "Error : Wrong DB file !!!"},
      {"--normal " + quoted(write("empty.txt", "IDX,X\n")), "Nothing to convert: the lists hold no camera rows."},
  };
  for (const auto& c : cases) {
    const Outcome r = run("convert " + c.args + " --output-dir " + quoted(dir_ / "out") + " --date 2024-11-05");
    EXPECT_EQ(r.exitCode, 1) << c.args;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.firstLine) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(fs::is_empty(dir_ / "out")) << c.args;
  }
}

TEST_F(Cli, UsageErrorsExitTwo) {
  const auto good = write("good.txt", "IDX,X,Y\n1,127,37,1,60,0,0\n");
  for (const std::string& args : {std::string("convert"), std::string(""), std::string("frobnicate"),
                                 "convert --normal " + quoted(good) + " --date 2024-02-30",
                                 "convert --normal " + quoted(good) + " --seed many"}) {
    const Outcome r = run(args + " --output-dir " + quoted(dir_ / "out"));
    EXPECT_EQ(r.exitCode, 2) << args << "\n" << r.err;
    EXPECT_FALSE(r.err.empty()) << args;
  }
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

TEST_F(Cli, RunningOutOfMemoryIsAFailureNotACrash) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer needs more address space than the limit this test sets";
#else
  // About 20 MB of list under a 60 MB address-space limit: the read fits, the table does not.
  std::string list = "IDX,X,Y\n";
  for (int i = 0; i < 550000; ++i) list += std::to_string(i) + ",127.123456,37.123456,1,60,0,90\n";
  const auto normal = write("big.txt", list);
  const Outcome r = run("convert --normal " + quoted(normal) + " --output-dir " + quoted(dir_ / "out"),
                        "ulimit -v 60000 && env -u SOURCE_DATE_EPOCH");
  EXPECT_EQ(r.exitCode, 1) << r.err;
  // Which allocation fails first (rows, a worker thread) may vary; the outcome may not.
  EXPECT_TRUE(r.err.starts_with("solvane: ")) << r.err;
  EXPECT_NE(r.err.find("nothing was written."), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
#endif
}

TEST_F(Cli, HelpExplainsWithAnExample) {
  const Outcome r = run("convert --help");
  EXPECT_EQ(r.exitCode, 0);
  for (const char* word : {"--normal", "--autodoria", "--output-dir", "--date", "--seed", "Example",
                           "SOURCE_DATE_EPOCH"}) {
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  }
}

}  // namespace
