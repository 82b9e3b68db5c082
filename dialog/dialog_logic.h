// The main dialog's logic without a toolkit: its state (the members the description of the
// dialog names), its commands and its conversion run. A front end (Qt, Win32) owns the widgets
// and implements three small interfaces; the controller reaches it only through them:
//
//   View     shows the members (updateData), the buttons' enabled states and the table;
//   Prompts  everything modal: message boxes, the pickers, the Yes/No question, the About box;
//   Post     runs a function later on the UI thread. The workers reach the UI only through it.
//
// Every function of the controller runs on the UI thread. A conversion loads and sorts into a
// table of its own on a worker, hands that table to the UI thread (a move), then encodes and
// writes on a second worker that only reads the camera table. Closing during a run cancels it
// and joins the worker; a cancelled run's late posts are ignored.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "check/table_findings.h"
#include "convert/conversion.h"
#include "convert/database_file.h"
#include "table/camera_table.h"

namespace solvane::dialog {

// What a message box says about itself; each front end maps it to its toolkit's buttons and icon.
enum class MessageKind {
  kPlain,             // an OK button, no icon: a run's end, a list that does not load, a summary
  kOutputOpenFailed,  // the output file cannot be created: OK and Cancel, no icon (either ends the run)
  kError,             // any other failure of a run (the file's write, an import): OK and the error icon
};

// Which of the dialog's buttons can be pressed.
struct ButtonStates {
  bool openNormal = true;
  bool openAutodoria = true;
  bool load = false;  // greyed in the template and never enabled: a load runs inside Conversion
  bool conversion = true;
  bool ok = true;
  bool import = true;  // Import... and drops (a front end without them ignores it)
  friend bool operator==(const ButtonStates&, const ButtonStates&) = default;
};

// kLoading: the load worker runs (or its result is being shown); kWriting: the encode/write
// worker runs (or its closing message is up). A run lasts from the Conversion click until its
// closing message has been dismissed. kImporting: an import runs on a worker (or its summary
// is up).
enum class RunState { kIdle, kLoading, kWriting, kImporting };

// During a conversion Open (normal), Conversion, OK and Import are greyed; Open (Autodoria)
// stays, since the run took the paths it needs when it started. An import is about to replace
// both paths: everything is greyed but its own Cancel.
[[nodiscard]] constexpr ButtonStates buttonsFor(RunState state) noexcept {
  const bool idle = state == RunState::kIdle;
  return {idle, state != RunState::kImporting, false, idle, idle, idle};
}

class View {
 public:
  virtual ~View() = default;
  // Members to fields: the two counts and the two paths (UpdateData(FALSE)).
  virtual void updateData() = 0;
  virtual void setButtons(const ButtonStates& states) = 0;
  // The camera table was reloaded (and, for a conversion, sorted): show table() again.
  // `findings` are the quality findings of that table when a worker worked them out; null
  // after a load on the UI thread (a front end that shows them works them out itself).
  virtual void tableReloaded(std::shared_ptr<const TableFindings> findings) = 0;
  // Whether this front end shows the quality findings at all. When not, a Conversion does not
  // work them out: for a million rows they cost more time and memory than the load itself.
  [[nodiscard]] virtual bool showsFindings() const { return true; }

  // Notices for front ends and tests that follow a run; they change nothing.
  // A Conversion's lists were loaded and shown; `converting`: the encode/write worker started
  // (false after a load error, its message dismissed, or an empty table).
  virtual void loadFinished(bool /*converting*/) {}
  virtual void conversionStarted() {}
  // The run ended and its message was dismissed; the buttons are enabled again.
  virtual void conversionFinished(bool /*converted*/) {}

  // An import runs on a worker: show a progress line with a Cancel that calls
  // Controller::cancelImport, until importEnded (which comes before any message of its end).
  virtual void importStarted() {}
  // `line`: importProgressText; `permille`: how far, 0 to 1000, or -1 when the size is unknown.
  virtual void importProgress(const std::string& /*line*/, int /*permille*/) {}
  virtual void importEnded() {}
  // Notice: the import ended (`imported`: the lists were written) and its message was
  // dismissed; the buttons are enabled again.
  virtual void importFinished(bool /*imported*/) {}
};

class Prompts {
 public:
  virtual ~Prompts() = default;
  // A modal box captioned kAppName; `detail`, when not empty, under the text.
  virtual void message(const std::string& text, const std::string& detail, MessageKind kind) = 0;
  // The open-file picker (kSourceFilter), in `folder` (empty: the platform's choice) with
  // `defaultName` filled in. The chosen file's path; empty for every outcome but a choice.
  virtual std::filesystem::path openSourceFile(const std::string& defaultName, const std::filesystem::path& folder) = 0;
  // The Import... picker, several files at once; empty for every outcome but a choice.
  virtual std::vector<std::filesystem::path> openImportFiles(const std::filesystem::path& folder) = 0;
  // A Yes/No question captioned kAppName; true for Yes.
  virtual bool confirm(const std::string& text, const std::string& detail) = 0;
  virtual void about() = 0;
};

// Runs the function later on the UI thread; callable from any thread. A front end that can no
// longer deliver (its window is gone) may drop the function.
using Post = std::function<void(std::function<void()>)>;

// UTF-8 text of a path and back (paths on Linux are bytes and pass unchanged).
[[nodiscard]] std::string pathText(const std::filesystem::path& path);
[[nodiscard]] std::filesystem::path textPath(std::string_view utf8);

class Controller {
 public:
  Controller(View& view, Prompts& prompts, Post post);
  // Cancels a run and joins its worker.
  ~Controller();
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // The start state, shown: both counts "0", both paths empty, the buttons of kIdle.
  void start();

  // Command handlers.
  void OnOpenNormal();
  // Allowed during a run: the worker took everything it needs when it started.
  void OnOpenAutodoria();
  // Empties the camera table and loads both lists on the UI thread; false (after the message)
  // on a failure, and false without doing anything during a run. Conversion loads on a worker.
  bool OnLoad();
  void OnConvert();
  void OnAbout();
  // Import...: the picker, then importFiles.
  void OnImport();
  // What a drop does with files: each list (a ".txt" file with a list header, listKind) goes
  // into its field as if chosen with Open; all other files are imported together.
  void takeFiles(std::span<const std::filesystem::path> paths);
  // The files become the two lists, written beside the first file (after a Yes when lists are
  // there already), and fill the two path fields; a summary or the error in a message box.
  // The reading runs on a worker with progress (View::importProgress) and can be cancelled,
  // which leaves the lists and the fields as they were. Nothing during another run.
  // Without the import layer in the build: a message that this build has no import.
  void importFiles(std::span<const std::filesystem::path> paths);
  // The Cancel of the import's progress line: the import stops soon and writes nothing.
  void cancelImport();
  // Whether the dialog takes dropped files now: not during a run or an import.
  [[nodiscard]] bool acceptsDrop() const noexcept { return !isBusy(); }
  // Closing: a run or an import is cancelled and its worker joined (a write under way
  // finishes: the file appears whole or not at all); afterwards the dialog may go. The buttons
  // are enabled again.
  void cancelConversion();

  // For tests and front ends that must reproduce a file: the date and the random seed of the
  // next runs (unset: today in UTC and a fresh seed).
  void setRunInputs(std::optional<FileDate> date, std::optional<std::uint64_t> seed);

  // State.
  [[nodiscard]] const CameraTable& table() const noexcept { return m_List; }
  [[nodiscard]] const std::string& total() const noexcept { return m_strTotal; }
  [[nodiscard]] const std::string& converted() const noexcept { return m_strConverted; }
  [[nodiscard]] const std::string& normalPath() const noexcept { return m_strNormalPath; }
  [[nodiscard]] const std::string& autodoriaPath() const noexcept { return m_strAutodoriaPath; }
  [[nodiscard]] const Header& header() const noexcept { return m_Header; }
  [[nodiscard]] const RandomBlock& randomBlock() const noexcept { return m_RandomBlock; }
  // Where the next file is written: the folder of the source file chosen last, or the current
  // directory before any choice.
  [[nodiscard]] std::filesystem::path outputFolder() const;
  // The folder of the source file chosen last; empty before any choice (the pickers' start).
  [[nodiscard]] const std::filesystem::path& chosenFolder() const noexcept { return m_outputFolder; }
  [[nodiscard]] RunState runState() const noexcept { return m_state; }
  [[nodiscard]] bool isConverting() const noexcept {
    return m_state == RunState::kLoading || m_state == RunState::kWriting;
  }
  // A conversion or an import runs.
  [[nodiscard]] bool isBusy() const noexcept { return m_state != RunState::kIdle; }
  [[nodiscard]] ButtonStates buttons() const noexcept { return buttonsFor(m_state); }

 private:
  struct LoadedTable;
  // Ends the life of posted functions with the controller: each checks it before it runs.
  struct Alive {};

  void setState(RunState state);
  // The picker for one list: the chosen file's full path into `member`, or the empty text for
  // every outcome but a choice; then shown.
  void chooseSource(std::string& member, const char* defaultName);
  void setSource(std::string& member, const std::filesystem::path& path);
  void showLoad(const LoadResult& result, std::shared_ptr<const TableFindings> findings);
  void finishLoad(std::uint64_t run, LoadedTable& loaded);
  void startEncoding(const std::filesystem::path& folder);
  void showProgress(std::uint64_t run, std::size_t records);
  void finishConversion(std::uint64_t run, const ConversionResult& result);
  void endRun();
#ifdef SOLVANE_WITH_IMPORT
  struct ImportDone;
  void finishImport(std::uint64_t run, const ImportDone& done);
#endif
  // Posts `fn` to the UI thread, to run only while this controller lives and `run` is current.
  void postForRun(std::uint64_t run, std::function<void()> fn);
  void startWorker(std::function<void()> work);
  void joinWorker();

  View& m_view;
  Prompts& m_prompts;
  Post m_post;

  CameraTable m_List;
  std::string m_strTotal;
  Header m_Header{};
  RandomBlock m_RandomBlock{};
  std::string m_strConverted;
  std::string m_strNormalPath;
  std::string m_strAutodoriaPath;

  std::filesystem::path m_outputFolder;  // empty until a source file is chosen
  std::optional<FileDate> m_fixedDate;
  std::optional<std::uint64_t> m_fixedSeed;
  RunState m_state = RunState::kIdle;
  std::uint64_t m_run = 0;  // tells a cancelled run's late posts from the current run's
  std::atomic<bool> m_cancel{false};
  std::thread m_worker;
  std::shared_ptr<Alive> m_alive = std::make_shared<Alive>();
};

}  // namespace solvane::dialog
