// The solvane command line: exit codes, messages and what lands on disk.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <thread>
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
using solvane::testing::text;
using solvane::testing::u8;
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
  const Outcome r =
      runSolvane(withOut({"convert", "--normal", write("n.txt", kOneCamera), "--date", "2024-11-05", "--seed", "3"}));
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
#elif defined(_WIN32)
  GTEST_SKIP() << "an address-space limit for a child (setrlimit) exists only on POSIX systems";
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

// Standard output carries the bytes as they are: no "\r" added before a "\n" (the Windows C
// runtime's text mode would), so dump to standard output equals dump into a file.
TEST_F(Cli, StandardOutputIsWrittenByteForByte) {
  ASSERT_EQ(
      runSolvane(withOut({"convert", "--normal", write("n.txt", kOneCamera), "--date", "2024-11-05", "--seed", "3"}))
          .exitCode,
      0);
  const std::string db = text(out_ / "DB_241105.dbh");
  for (const char* format : {"csv", "geojson"}) {
    const Outcome toStdout = runSolvane({"dump", db, "--format", format});
    const Outcome toFile = runSolvane({"dump", db, "--format", format, "-o", text(dir_ / "dump.txt")});
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
    EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_EQ(toStdout.out, readAll(dir_ / "dump.txt")) << format;
    EXPECT_EQ(toStdout.out.find("\r\r"), std::string::npos) << format;
  }
  for (const Outcome& r : {runSolvane({"--help"}), runSolvane({"inspect", db}), runSolvane({"convert"})}) {
    EXPECT_EQ((r.out + r.err).find('\r'), std::string::npos) << r.out << r.err;
    EXPECT_FALSE((r.out + r.err).empty());
  }
}

// Folder and file names in other scripts reach every command intact (on Windows the ANSI
// arguments would turn them into question marks) and come back in UTF-8 in the messages.
TEST_F(Cli, NonAsciiNamesWorkInEveryCommand) {
  const fs::path folder = dir_ / u8("\xEC\xB9\xB4\xEB\xA9\x94\xEB\x9D\xBC \xC3\x9Cn\xC3\xAF"
                                    "code");
  fs::create_directories(folder / u8("\xE5\x87\xBA\xE5\x8A\x9B"));
  const fs::path list = folder / u8("Liste \xC3\xA4.txt");
  solvane::testing::writeAll(list, kOneCamera);
  const fs::path outDir = folder / u8("\xE5\x87\xBA\xE5\x8A\x9B");
  const fs::path db = outDir / "DB_241105.dbh";
  Outcome r = runSolvane({"convert", "--normal", text(list), "--autodoria", "", "--output-dir", text(outDir), "--date",
                          "2024-11-05", "--seed", "3"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "DB Conversion end. [" + text(db) + "]\n");
  EXPECT_EQ(readAll(db).size(), 128u);
  r = runSolvane({"inspect", text(db)});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find(text(db)), std::string::npos) << r.out;
  r = runSolvane({"dump", text(db), "-o", text(folder / u8("\xE6\x97\xA5.csv"))});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(readAll(folder / u8("\xE6\x97\xA5.csv")).starts_with("record,offset,"));
  r = runSolvane({"check", "--normal", text(list)});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  // A missing list is named in UTF-8 too.
  r = runSolvane({"convert", "--normal", text(folder / u8("fehlt \xC3\xB6.txt")), "--output-dir", text(outDir)});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("\"" + text(folder / u8("fehlt \xC3\xB6.txt")) + "\""), std::string::npos) << r.err;
}

TEST_F(Cli, HelpExplainsWithAnExample) {
  const Outcome r = runSolvane({"convert", "--help"});
  EXPECT_EQ(r.exitCode, 0);
  for (const char* word :
       {"--normal", "--autodoria", "--output-dir", "--date", "--seed", "Example", "SOURCE_DATE_EPOCH"}) {
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  }
}

// "-" and pipes: convert, check, inspect and dump read them to their end, and the bytes that come
// through one give exactly what the same bytes in a file give.
TEST_F(Cli, StandardInputAndPipesGiveWhatTheSameBytesInAFileGive) {
  const std::string normal = readAll(SOLVANE_EXAMPLES "/Solvane.txt");
  const std::string autodoria = readAll(SOLVANE_EXAMPLES "/Autodoria.txt");
  const std::string normalFile = write("n.txt", normal);
  const std::string autodoriaFile = write("a.txt", autodoria);
  const Args fixed{"--date", "2024-11-05", "--seed", "7"};
  auto convertInto = [&](const std::string& name, Args lists, ChildSetup setup = {}) {
    const fs::path dir = out_ / name;
    fs::create_directories(dir);
    Args args{"convert", "--output-dir", dir.string()};
    args.insert(args.end(), fixed.begin(), fixed.end());
    args.insert(args.end(), lists.begin(), lists.end());
    const Outcome r = runSolvane(args, setup);
    EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
    EXPECT_EQ(r.out, "DB Conversion end. [" + (dir / "DB_241105.dbh").string() + "]\n") << name;
    return readAll(dir / "DB_241105.dbh");
  };
  const std::string fromFiles = convertInto("files", {"--normal", normalFile, "--autodoria", autodoriaFile});
  ASSERT_EQ(fromFiles.size(), 8704u);

  // A list through "-".
  ChildSetup stdinNormal;
  stdinNormal.standardInput = normal;
  EXPECT_EQ(convertInto("stdin", {"--normal", "-", "--autodoria", autodoriaFile}, stdinNormal), fromFiles);
  ChildSetup stdinAutodoria;
  stdinAutodoria.standardInput = autodoria;
  EXPECT_EQ(convertInto("stdin2", {"--normal", normalFile, "--autodoria", "-"}, stdinAutodoria), fromFiles);

#ifndef _WIN32
  // A list through a FIFO that nobody has opened yet: solvane waits for the writer, as cat does
  // (Linux only: Windows has no FIFOs in folders).
  const fs::path fifo = dir_ / "cameras.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] {
    // Opened only once solvane waits on the other end (ENXIO until then), and given up after
    // ten seconds, so a solvane that never opens the FIFO fails the test instead of hanging it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 1000; ++tries) {
      fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (fd < 0) return;
    ::fcntl(fd, F_SETFL, 0);  // blocking writes from here on
    for (std::size_t done = 0; done < normal.size();) {
      const ssize_t n = ::write(fd, normal.data() + done, normal.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(fd);
  });
  EXPECT_EQ(convertInto("fifo", {"--normal", fifo.string(), "--autodoria", autodoriaFile}), fromFiles);
  writer.join();
#endif

  // check reads "-" once and reports as for the file.
  ChildSetup checkStdin;
  checkStdin.standardInput = normal;
  const Outcome checked = runSolvane({"check", "--normal", "-", "--format", "json"}, checkStdin);
  const Outcome checkedFile = runSolvane({"check", "--normal", normalFile, "--format", "json"});
  EXPECT_EQ(checked.exitCode, checkedFile.exitCode);
  EXPECT_NE(checked.out.find("\"rows\": 324"), std::string::npos) << checked.out;
  std::string renamed = checkedFile.out;  // the same findings, the file named (standard input)
  std::string named;                      // the file's name as JSON writes it
  for (const char c : normalFile) named += c == '\\' ? std::string("\\\\") : std::string(1, c);
  for (std::size_t at; (at = renamed.find(named)) != std::string::npos;) {
    renamed.replace(at, named.size(), "(standard input)");
  }
  EXPECT_EQ(checked.out, renamed);

  // A database through "-": dump gives the same bytes, inspect the same verdict.
  const std::string db = (out_ / "files" / "DB_241105.dbh").string();
  ChildSetup dbStdin;
  dbStdin.standardInput = fromFiles;
  const Outcome dumped = runSolvane({"dump", "-"}, dbStdin);
  EXPECT_EQ(dumped.exitCode, 0) << dumped.err;
  EXPECT_EQ(dumped.out, runSolvane({"dump", db}).out);
  const Outcome inspected = runSolvane({"inspect", "-"}, dbStdin);
  EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
  EXPECT_EQ(inspected.out.substr(0, inspected.out.find('\n')), "(standard input): 8704 bytes");
  EXPECT_EQ(inspected.out.substr(inspected.out.find('\n')), runSolvane({"inspect", db}).out.substr(db.size() + 12));

  // An empty pipe is an empty list: the same message and status as an empty file.
  ChildSetup empty;
  empty.standardInput = "";
  const Outcome fromEmptyPipe = runSolvane({"convert", "--normal", "-", "--output-dir", out_.string()}, empty);
  EXPECT_EQ(fromEmptyPipe.exitCode, 1);
  EXPECT_EQ(fromEmptyPipe.err,
            "Error : Wrong DB file !!!\n\"(standard input)\": there is no header line (the file holds no list)\n");
  EXPECT_FALSE(fs::exists(out_ / "DB_241105.dbh"));

  // Both lists cannot come through the one standard input.
  const Outcome both = runSolvane({"convert", "--normal", "-", "--autodoria", "-"}, empty);
  EXPECT_EQ(both.exitCode, 2);
  EXPECT_EQ(both.err, "solvane convert: only one list can come from standard input ('-').\n");
}

TEST_F(Cli, VersionIsTheProjectVersionAndTheLicence) {
  const Outcome r = runSolvane({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "solvane " SOLVANE_PROJECT_VERSION "\nMIT License. Copyright (c) 2026 The DB_Conv_Solvane authors.\n");
  EXPECT_EQ(r.err, "");
}

}  // namespace
