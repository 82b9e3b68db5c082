// The dialog's controller without a toolkit: a fake View and Prompts record what a front end
// would show, and the Post queues the workers' calls, which the test runs as the UI thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/conversion.h"
#include "dialog/dialog_logic.h"
#include "dialog/dialog_texts.h"
#include "dialog/list_kind.h"

namespace fs = std::filesystem;
using solvane::dialog::ButtonStates;
using solvane::dialog::Controller;
using solvane::dialog::ListKind;
using solvane::dialog::MessageKind;
using solvane::dialog::RunState;
using solvane::dialog::textPath;

namespace {

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> filesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string bigNormalList(int rows) {
  std::string bytes = "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n";
  for (int i = 1; i <= rows; ++i) {
    bytes += std::to_string(i) + ",127." + std::to_string(100000 + i) + ",3" + std::to_string(4 + i % 5) + "." +
             std::to_string(100000 + (std::int64_t{i} * 7919) % 900000) + ",1,60,0,0\n";
  }
  return bytes;
}

struct Shown {
  std::string text, detail;
  MessageKind kind;
  ButtonStates buttons;  // the buttons while the box was up
  RunState state;
};

class FakeView final : public solvane::dialog::View {
 public:
  void updateData() override { ++updates; }
  void setButtons(const ButtonStates& states) override { buttons = states; }
  void tableReloaded(std::shared_ptr<const solvane::TableFindings> findings) override {
    reloads.push_back(findings != nullptr);
  }
  void loadFinished(bool converting) override { loads.push_back(converting); }
  void conversionStarted() override { ++started; }
  void conversionFinished(bool converted) override { finished.push_back(converted); }
  void importStarted() override { ++importsStarted; }
  void importProgress(const std::string& line, int) override { progressLines.push_back(line); }
  void importEnded() override { ++importsEnded; }
  void importFinished(bool imported) override { imports.push_back(imported); }
  [[nodiscard]] bool showsFindings() const override { return findings; }

  bool findings = true;  // whether this view shows the quality findings
  int updates = 0;
  ButtonStates buttons{false, false, true, false, false, false};  // not what any state shows
  std::vector<bool> reloads;                                      // with findings from the worker?
  std::vector<bool> loads;
  int started = 0;
  std::vector<bool> finished;
  int importsStarted = 0, importsEnded = 0;
  std::vector<std::string> progressLines;
  std::vector<bool> imports;
};

class FakePrompts final : public solvane::dialog::Prompts {
 public:
  explicit FakePrompts(FakeView& view) : view_(view) {}
  void message(const std::string& text, const std::string& detail, MessageKind kind) override {
    messages.push_back({text, detail, kind, view_.buttons, controller ? controller->runState() : RunState::kIdle});
  }
  fs::path openSourceFile(const std::string& defaultName, const fs::path& folder) override {
    pickerCalls.emplace_back(defaultName, folder);
    if (answers.empty()) return {};
    fs::path answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::vector<fs::path> openImportFiles(const fs::path&) override { return {}; }
  bool confirm(const std::string& text, const std::string&) override {
    questions.push_back(text);
    return confirmAnswer;
  }
  void about() override { ++aboutShown; }

  const Controller* controller = nullptr;
  std::vector<Shown> messages;
  std::vector<std::pair<std::string, fs::path>> pickerCalls;
  std::deque<fs::path> answers;  // an empty path is Cancel
  std::vector<std::string> questions;
  bool confirmAnswer = true;
  int aboutShown = 0;

 private:
  FakeView& view_;
};

// The UI thread's queue: workers post, the test runs. While held, a worker's post waits
// until the test releases it, so the test can act at a known point of the worker's way.
class PostQueue {
 public:
  solvane::dialog::Post post() {
    return [this](std::function<void()> fn) {
      if (std::this_thread::get_id() != testThread_) {
        std::unique_lock lock(mutex_);
        ++waiting_;
        ready_.notify_all();
        ready_.wait(lock, [&] { return !held_; });
        --waiting_;
      }
      const std::lock_guard lock(mutex_);
      queue_.push_back(std::move(fn));
      ready_.notify_all();
    };
  }
  // Runs posted calls as they come until `done` holds; false when it does not within the time.
  bool runUntil(const std::function<bool()>& done, std::chrono::seconds timeout = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      std::unique_lock lock(mutex_);
      if (!ready_.wait_until(lock, end, [&] { return !queue_.empty(); })) return false;
      std::function<void()> fn = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      fn();
    }
    return true;
  }
  // Waits until at least `count` calls are queued, running none.
  bool waitForQueued(std::size_t count) {
    std::unique_lock lock(mutex_);
    return ready_.wait_for(lock, std::chrono::seconds(60), [&] { return queue_.size() >= count; });
  }
  void hold() {
    const std::lock_guard lock(mutex_);
    held_ = true;
  }
  // Waits until a worker's post waits at the hold.
  bool waitForHeldPost() {
    std::unique_lock lock(mutex_);
    return ready_.wait_for(lock, std::chrono::seconds(60), [&] { return waiting_ > 0; });
  }
  void release() {
    const std::lock_guard lock(mutex_);
    held_ = false;
    ready_.notify_all();
  }
  // Runs everything queued now; the number run.
  std::size_t runAll() {
    std::deque<std::function<void()>> now;
    {
      const std::lock_guard lock(mutex_);
      now.swap(queue_);
    }
    for (auto& fn : now) fn();
    return now.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> queue_;
  const std::thread::id testThread_ = std::this_thread::get_id();
  bool held_ = false;
  int waiting_ = 0;
};

const std::string kNormalList =
    "// fixed cameras\r\n"
    "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n"
    "1,127.10,37.50,1,50,0,0\r\n"
    "2,126.90,35.10,2,60,1,90\r\n";
const std::string kAutodoriaList =
    "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"
    "1,127.03,36.24,3,80,1,167\n"
    "2,127.04,36.18,3,80,1,167\n";

constexpr ButtonStates kIdleButtons{true, true, false, true, true, true};
constexpr ButtonStates kRunButtons{false, true, false, false, false, false};

class DialogLogic : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("solvane_dialog_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    prompts_.controller = &logic_;
    logic_.start();
  }
  void TearDown() override {
    logic_.cancelConversion();
    fs::remove_all(dir_);
  }
  fs::path file(const std::string& name, const std::string& bytes) {
    writeFile(dir_ / name, bytes);
    return dir_ / name;
  }
  // Both lists chosen with Open; the output lands beside the Autodoria list, chosen last.
  void choose(const fs::path& normal, const fs::path& autodoria) {
    prompts_.answers = {normal, autodoria};
    logic_.OnOpenNormal();
    logic_.OnOpenAutodoria();
  }
  bool runFinished() {
    return posts_.runUntil([&] { return !view_.finished.empty() || (!view_.loads.empty() && !view_.loads.back()); });
  }

  fs::path dir_;
  FakeView view_;
  FakePrompts prompts_{view_};
  PostQueue posts_;
  Controller logic_{view_, prompts_, posts_.post()};
};

TEST(DialogButtons, PerState) {
  EXPECT_EQ(solvane::dialog::buttonsFor(RunState::kIdle), kIdleButtons);
  EXPECT_EQ(solvane::dialog::buttonsFor(RunState::kLoading), kRunButtons);
  EXPECT_EQ(solvane::dialog::buttonsFor(RunState::kWriting), kRunButtons);
  EXPECT_EQ(solvane::dialog::buttonsFor(RunState::kImporting),
            (ButtonStates{false, false, false, false, false, false}));
}

// The example lists converted as a user converts them: Open, Open, Conversion. The file is
// the one `solvane convert` writes from the same lists, date and seed, and it lands beside the
// list chosen last, in folders named in any script. On the way the buttons are those of each
// state, and the closing message comes while they are still greyed.
TEST_F(DialogLogic, ConvertsTheExampleListsToTheCommandLinesFile) {
  const fs::path examples = SOLVANE_EXAMPLES;
  // Folder names in two scripts: the paths go through the UTF-8 members and back unchanged.
  const fs::path normal = dir_ / u8"카메라 Ünïcode" / "Solvane.txt";
  const fs::path autodoria = dir_ / u8"autodoria ß" / "Autodoria.txt";
  writeFile(normal, readAll(examples / "Solvane.txt"));
  writeFile(autodoria, readAll(examples / "Autodoria.txt"));
  EXPECT_EQ(view_.buttons, kIdleButtons);
  EXPECT_EQ(logic_.total(), "0");
  EXPECT_EQ(logic_.converted(), "0");
  choose(normal, autodoria);
  EXPECT_EQ(textPath(logic_.normalPath()), normal);
  EXPECT_EQ(logic_.outputFolder(), autodoria.parent_path());
  ASSERT_EQ(prompts_.pickerCalls.size(), 2u);
  EXPECT_EQ(prompts_.pickerCalls[0], (std::pair<std::string, fs::path>{"Solvane.txt", fs::path()}));
  EXPECT_EQ(prompts_.pickerCalls[1], (std::pair<std::string, fs::path>{"Autodoria.txt", normal.parent_path()}));

  const solvane::FileDate date{2016, 3, 2};
  logic_.setRunInputs(date, 99);
  logic_.OnConvert();
  EXPECT_EQ(logic_.runState(), RunState::kLoading);
  EXPECT_EQ(view_.buttons, kRunButtons);
  EXPECT_FALSE(logic_.OnLoad());  // the run owns the table
  logic_.OnConvert();             // a second click does nothing
  ASSERT_TRUE(posts_.runUntil([&] { return !view_.loads.empty(); }));
  EXPECT_EQ(view_.loads, std::vector<bool>{true});
  EXPECT_EQ(view_.reloads, std::vector<bool>{true});  // the findings came from the worker
  EXPECT_EQ(logic_.runState(), RunState::kWriting);
  EXPECT_EQ(view_.buttons, kRunButtons);
  ASSERT_TRUE(posts_.runUntil([&] { return !view_.finished.empty(); }));
  EXPECT_EQ(view_.finished, std::vector<bool>{true});
  EXPECT_EQ(view_.started, 1);
  EXPECT_EQ(view_.buttons, kIdleButtons);
  EXPECT_FALSE(logic_.isConverting());

  solvane::CameraTable table;
  solvane::ConversionRequest request;
  request.sources = {normal, autodoria};
  request.outputDir = dir_ / "reference";
  fs::create_directories(request.outputDir);
  request.date = date;
  request.seed = 99;
  const solvane::ConversionResult reference = solvane::runConversion(request, table);
  ASSERT_EQ(reference.status, solvane::ConversionStatus::kConverted);

  const fs::path written = autodoria.parent_path() / reference.outputPath.filename();
  EXPECT_EQ(reference.outputPath.filename(), "DB_160302.dbh");
  EXPECT_EQ(readAll(written), readAll(reference.outputPath));
  EXPECT_EQ(logic_.total(), std::to_string(reference.rowsLoaded));
  EXPECT_EQ(logic_.converted(), std::to_string(reference.recordsWritten));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text, solvane::conversionEndMessage(logic_.outputFolder() / "DB_160302.dbh"));
  EXPECT_EQ(prompts_.messages[0].detail, "");
  EXPECT_EQ(prompts_.messages[0].kind, MessageKind::kPlain);
  EXPECT_EQ(prompts_.messages[0].buttons, kRunButtons);
  EXPECT_EQ(filesIn(autodoria.parent_path()), (std::vector<std::string>{"Autodoria.txt", "DB_160302.dbh"}));
}

// A list that fails to load stops the run with the loader's message and its detail line;
// nothing is written, and the buttons come back after the message.
TEST_F(DialogLogic, ALoadErrorStopsTheRunAndWritesNothing) {
  struct Case {
    const char* name;
    std::string normal;  // "" with `missing`: no such file
    bool missing;
    std::string autodoria;
    const char* message;
    const char* detailNames;
    const char* total;
  };
  const Case cases[] = {
      {"normal list missing", "", true, kAutodoriaList, "Error[5009]", "Solvane.txt", "0"},
      {"normal header wrong", "IDX,Y,X\n1,37.0,127.0\n", false, kAutodoriaList, "Error : Wrong DB file !!!",
       "Solvane.txt", "0"},
      {"Autodoria header wrong", kNormalList, false, "NO,X,Y\n1,127.0,37.0\n", "Error : Wrong DB file !!!",
       "Autodoria.txt", "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeView view;
    FakePrompts prompts(view);
    PostQueue posts;
    Controller logic(view, prompts, posts.post());
    prompts.controller = &logic;
    logic.start();
    const fs::path folder = dir_ / c.name;
    writeFile(folder / "Solvane.txt", c.normal);
    writeFile(folder / "Autodoria.txt", c.autodoria);
    if (c.missing) fs::remove(folder / "Solvane.txt");
    prompts.answers = {folder / "Solvane.txt", folder / "Autodoria.txt"};
    logic.OnOpenNormal();
    logic.OnOpenAutodoria();
    const std::vector<std::string> before = filesIn(folder);

    logic.OnConvert();
    ASSERT_TRUE(posts.runUntil([&] { return !view.loads.empty(); }));
    EXPECT_EQ(view.loads, std::vector<bool>{false});
    EXPECT_EQ(view.started, 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, c.message);
    EXPECT_NE(prompts.messages[0].detail.find(c.detailNames), std::string::npos) << prompts.messages[0].detail;
    EXPECT_EQ(prompts.messages[0].kind, MessageKind::kPlain);
    EXPECT_EQ(prompts.messages[0].buttons, kRunButtons);
    EXPECT_EQ(logic.total(), c.total);
    EXPECT_EQ(view.buttons, kIdleButtons);
    EXPECT_FALSE(logic.isConverting());
    EXPECT_EQ(filesIn(folder), before);

    // The same lists loaded on the UI thread give the same message.
    EXPECT_FALSE(logic.OnLoad());
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text, c.message);
    EXPECT_EQ(view.reloads, (std::vector<bool>{false, false}));  // nothing sorted, no findings
  }
}

// The output file that cannot be created has a kind of message of its own (a box with OK and
// Cancel on Windows); nothing is written. A view that shows no findings gets none worked out.
TEST_F(DialogLogic, AnOutputThatCannotBeCreatedHasItsOwnKindOfMessage) {
  view_.findings = false;
  const fs::path normal = dir_ / "Solvane.txt";
  writeFile(normal, kNormalList);
  fs::create_directories(dir_ / "DB_160302.dbh");  // a folder in the way
  prompts_.answers = {normal};
  logic_.OnOpenNormal();
  logic_.setRunInputs(solvane::FileDate{2016, 3, 2}, 1);
  logic_.OnConvert();
  ASSERT_TRUE(posts_.runUntil([&] { return !view_.finished.empty(); }));
  EXPECT_EQ(view_.reloads, std::vector<bool>{false});
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text, "File open Error : " + (logic_.outputFolder() / "DB_160302.dbh").string());
  EXPECT_FALSE(prompts_.messages[0].detail.empty());
  EXPECT_EQ(prompts_.messages[0].kind, MessageKind::kOutputOpenFailed);
  EXPECT_EQ(view_.finished, std::vector<bool>{false});
  EXPECT_EQ(view_.buttons, kIdleButtons);
  EXPECT_EQ(filesIn(dir_), (std::vector<std::string>{"DB_160302.dbh", "Solvane.txt"}));
}

// Closing during a run: the worker is cancelled and joined at once; what it posted before is
// ignored; the file is written whole or not at all. Late posts also find nothing once the
// controller itself is gone.
TEST_F(DialogLogic, ClosingDuringARunCancelsAndIgnoresLatePosts) {
  constexpr int kRows = 100000;
  const fs::path normal = file("big/Solvane.txt", bigNormalList(kRows));
  const fs::path folder = normal.parent_path();
  struct Case {
    const char* name;
    bool whileWriting;
  };
  for (const Case c : {Case{"while loading", false}, Case{"while writing", true}}) {
    SCOPED_TRACE(c.name);
    FakeView view;
    FakePrompts prompts(view);
    PostQueue posts;
    Controller logic(view, prompts, posts.post());
    logic.start();
    prompts.answers = {normal};
    logic.OnOpenNormal();
    logic.setRunInputs(solvane::FileDate{2020, 1, 2}, 5);
    logic.OnConvert();
    if (c.whileWriting) {
      ASSERT_TRUE(posts.runUntil([&] { return !view.loads.empty(); }));
      ASSERT_EQ(view.loads, std::vector<bool>{true});
      // The worker has written the file (nothing more is run meanwhile): its closing report
      // is queued or about to be.
      for (int i = 0; i < 6000 && !fs::exists(folder / "DB_200102.dbh"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      ASSERT_TRUE(fs::exists(folder / "DB_200102.dbh"));
    } else {
      ASSERT_TRUE(posts.waitForQueued(1));  // the loaded table, not yet shown
    }
    const std::string converted = logic.converted();
    logic.cancelConversion();
    EXPECT_FALSE(logic.isConverting());
    EXPECT_EQ(view.buttons, kIdleButtons);
    posts.runAll();  // the cancelled run's late reports
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(view.finished.empty());
    EXPECT_EQ(logic.converted(), converted);
    EXPECT_EQ(view.loads.size(), c.whileWriting ? 1u : 0u);
    if (!c.whileWriting) {
      EXPECT_EQ(logic.table().rowCount(), 0u);  // a load cut short is never shown
    }
    for (const std::string& name : filesIn(folder)) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    // Whole: header, random block, one record per row, the fill to 64 bytes.
    if (c.whileWriting) {
      EXPECT_EQ(fs::file_size(folder / "DB_200102.dbh"), (16 + 16 + 24 * (kRows + 1) + 63) / 64 * 64);
    }
    fs::remove(folder / "DB_200102.dbh");
  }

  // The controller destroyed while its worker's report waits in the queue.
  FakeView view;
  FakePrompts prompts(view);
  PostQueue posts;
  auto logic = std::make_unique<Controller>(view, prompts, posts.post());
  prompts.answers = {normal};
  logic->OnOpenNormal();
  logic->OnConvert();
  ASSERT_TRUE(posts.waitForQueued(1));
  logic.reset();
  EXPECT_EQ(posts.runAll(), 1u);
  EXPECT_TRUE(view.reloads.empty());
  EXPECT_TRUE(view.loads.empty());
  EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DialogLogic, AnEmptyTableEndsTheRunQuietly) {
  const fs::path normal = file("Solvane.txt", "// nothing yet\nIDX,X,Y,TYPE,SPD,DTYPE,DIR\n");
  prompts_.answers = {normal};
  logic_.OnOpenNormal();
  logic_.OnConvert();
  ASSERT_TRUE(runFinished());
  EXPECT_EQ(view_.loads, std::vector<bool>{false});
  EXPECT_EQ(view_.reloads.size(), 1u);
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(view_.buttons, kIdleButtons);
  EXPECT_EQ(filesIn(dir_), std::vector<std::string>{"Solvane.txt"});
}

// Which list a dropped file is, by its header (and by its name when the header fits both).
TEST(DialogListKind, ByHeaderThenName) {
  const fs::path dir = fs::temp_directory_path() / "solvane_dialog_list_kind";
  fs::remove_all(dir);
  struct Case {
    const char* name;
    const char* bytes;  // nullptr: no such file
    ListKind kind;
  };
  const Case cases[] = {
      {"fixed.txt", "// comment\r\n\r\nIDX,X,Y,TYPE\r\n1,127,37,1\r\n", ListKind::kNormal},
      {"list.txt", "IDX,X,Y,TYPE\n", ListKind::kNormal},             // fits both: the name decides
      {"My_AutoDoria.TXT", "IDX,X,Y,TYPE\n", ListKind::kAutodoria},  // ... in any case
      {"sections.txt", "IDX,LON,LAT\n", ListKind::kAutodoria},
      {"late.txt", "// comment\nIDX,LON,LAT\n", ListKind::kNone},  // no comments before its header
      {"NO_X.txt", "NO,X,Y\n", ListKind::kNormal},
      {"autodoria.csv", "IDX,X,Y\n", ListKind::kNone},  // not a text file by name
      {"empty.txt", "", ListKind::kNone},
      {"comments.txt", "// only\n// comments\n", ListKind::kNone},
      {"missing.txt", nullptr, ListKind::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.bytes) writeFile(dir / c.name, c.bytes);
    EXPECT_EQ(solvane::dialog::listKind(dir / c.name), c.kind);
    if (c.bytes) {
      EXPECT_EQ(solvane::dialog::listKindOf(c.bytes, dir / c.name), c.kind);
    }
  }
  fs::create_directories(dir / "folder.txt");
  EXPECT_EQ(solvane::dialog::listKind(dir / "folder.txt"), ListKind::kNone);
  fs::remove_all(dir);
}

// A drop: each list into its field as if chosen with Open (the output folder follows the last
// one); the other files go to the import together, which here refuses them.
TEST_F(DialogLogic, DroppedListsFillTheFieldsAndTheRestIsImported) {
  const fs::path normal = file("a/fixed.txt", kNormalList);
  const fs::path autodoria = file("b/my_autodoria.txt", kAutodoriaList);
  const fs::path notes = file("c/notes.txt", "just some notes\n");
  ASSERT_TRUE(logic_.acceptsDrop());
  const std::vector<fs::path> lists{autodoria, normal};
  logic_.takeFiles(lists);
  EXPECT_EQ(textPath(logic_.normalPath()), normal);
  EXPECT_EQ(textPath(logic_.autodoriaPath()), autodoria);
  EXPECT_EQ(logic_.outputFolder(), normal.parent_path());
  EXPECT_TRUE(prompts_.messages.empty());

  const std::vector<fs::path> mixed{notes, autodoria};
  logic_.takeFiles(mixed);
  EXPECT_EQ(logic_.outputFolder(), autodoria.parent_path());
  ASSERT_TRUE(posts_.runUntil([&] { return !prompts_.messages.empty(); }));  // the import may run on a worker
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text, solvane::dialog::kImportFailed);
  EXPECT_EQ(prompts_.messages[0].kind, MessageKind::kError);
  EXPECT_NE(prompts_.messages[0].detail.find("notes.txt"), std::string::npos) << prompts_.messages[0].detail;
  EXPECT_EQ(filesIn(notes.parent_path()), std::vector<std::string>{"notes.txt"});

  logic_.OnConvert();
  EXPECT_FALSE(logic_.acceptsDrop());
  ASSERT_TRUE(runFinished());
  EXPECT_TRUE(logic_.acceptsDrop());
}

#ifdef SOLVANE_WITH_IMPORT
// Lists already in the folder: the import asks first; No writes nothing and changes no field,
// Yes replaces them and sums up what was read.
TEST_F(DialogLogic, ImportAsksBeforeReplacingLists) {
  const fs::path old = file("Solvane.txt", "old\n");
  const fs::path csv = file("cams@70.csv", "126.9,35.1,\"Camera, north @60\"\r\n");
  const std::vector<fs::path> files{csv};
  prompts_.confirmAnswer = false;
  logic_.importFiles(files);
  EXPECT_EQ(prompts_.questions, std::vector<std::string>{solvane::dialog::kReplaceListsQuestion});
  EXPECT_EQ(readAll(old), "old\n");
  EXPECT_TRUE(prompts_.messages.empty());
  EXPECT_EQ(logic_.normalPath(), "");

  prompts_.confirmAnswer = true;
  logic_.importFiles(files);
  EXPECT_EQ(logic_.runState(), RunState::kImporting);
  EXPECT_EQ(view_.buttons, (ButtonStates{false, false, false, false, false, false}));
  EXPECT_FALSE(logic_.acceptsDrop());
  ASSERT_TRUE(posts_.runUntil([&] { return !view_.imports.empty(); }));
  EXPECT_EQ(view_.imports, std::vector<bool>{true});
  EXPECT_EQ(view_.importsStarted, 1);
  EXPECT_EQ(view_.importsEnded, 1);
  EXPECT_FALSE(view_.progressLines.empty());
  EXPECT_EQ(view_.buttons, kIdleButtons);
  EXPECT_EQ(readAll(old), "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n1,126.9,35.1,1,60,0,\r\n");
  EXPECT_EQ(textPath(logic_.normalPath()), old);
  EXPECT_EQ(logic_.autodoriaPath(), "");
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text, solvane::dialog::listsWrittenText(solvane::dialog::pathText(dir_)));
  EXPECT_EQ(prompts_.messages[0].detail, "1 point(s), 0 section(s); 0 item(s) skipped.");
  EXPECT_EQ(prompts_.messages[0].state, RunState::kImporting);  // the buttons come back after it
}

// Cancel while the import reads (held at its first progress report): nothing is written, the
// lists and fields stay as they were, no message; closing during an import cancels it too.
TEST_F(DialogLogic, ACancelledImportLeavesTheListsUntouched) {
  const fs::path normal = file("Solvane.txt", kNormalList);
  const fs::path autodoria = file("Autodoria.txt", kAutodoriaList);
  const fs::path geo = file("cams.geojson", R"({"type": "FeatureCollection", "features": [
{"type": "Feature", "geometry": {"type": "Point", "coordinates": [127.1, 37.5]}, "properties": {"speed": 50}}]})");
  choose(normal, autodoria);
  const std::vector<fs::path> files{geo};
  for (const bool byClosing : {false, true}) {
    SCOPED_TRACE(byClosing ? "closed" : "Cancel");
    view_.imports.clear();
    posts_.hold();
    logic_.importFiles(files);
    ASSERT_TRUE(posts_.waitForHeldPost());
    if (byClosing) {
      // The flag first, as closing sets it, so the released worker cannot finish the import;
      // closing then joins it and drops its late report.
      logic_.cancelImport();
      posts_.release();
      logic_.cancelConversion();
      EXPECT_EQ(logic_.runState(), RunState::kIdle);
      posts_.runAll();
      EXPECT_TRUE(view_.imports.empty());
    } else {
      logic_.cancelImport();
      posts_.release();
      ASSERT_TRUE(posts_.runUntil([&] { return !view_.imports.empty(); }));
      EXPECT_EQ(view_.imports, std::vector<bool>{false});
    }
    EXPECT_EQ(view_.importsEnded, view_.importsStarted);
    EXPECT_EQ(view_.buttons, kIdleButtons);
    EXPECT_EQ(readAll(normal), kNormalList);
    EXPECT_EQ(readAll(autodoria), kAutodoriaList);
    EXPECT_EQ(filesIn(dir_), (std::vector<std::string>{"Autodoria.txt", "Solvane.txt", "cams.geojson"}));
    EXPECT_EQ(textPath(logic_.normalPath()), normal);
    EXPECT_EQ(textPath(logic_.autodoriaPath()), autodoria);
    EXPECT_TRUE(prompts_.messages.empty());
  }
}
#endif

TEST(DialogTexts, ImportProgressLine) {
  struct Case {
    std::uint64_t read, total;
    std::size_t objects;
    const char* line;
    int permille;
  };
  const Case cases[] = {
      {0, 3'000'000, 0, "Importing: 0 % (0.0 of 3.0 MB), 0 camera(s) so far", 0},
      {1'299'999, 3'000'000, 12, "Importing: 43 % (1.2 of 3.0 MB), 12 camera(s) so far", 433},
      {3'000'000, 3'000'000, 7, "Importing: 100 % (3.0 of 3.0 MB), 7 camera(s) so far", 1000},
      {12'345'678'901, 0, 5, "Importing: 12345.6 MB read, 5 camera(s) so far", -1},  // a pipe: no total
  };
  for (const Case& c : cases) {
    EXPECT_EQ(solvane::dialog::importProgressText(c.read, c.total, c.objects), c.line);
    EXPECT_EQ(solvane::dialog::importPermille(c.read, c.total), c.permille) << c.line;
  }
}

}  // namespace
