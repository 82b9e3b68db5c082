#include "dialog/dialog_logic.h"

#include <exception>
#include <new>
#include <system_error>
#include <utility>

#include "convert/random_bytes.h"
#include "dialog/dialog_texts.h"
#include "dialog/list_kind.h"
#include "dialog/progress_throttle.h"
#include "load/load_command.h"

#ifdef SOLVANE_WITH_IMPORT
#include "import/import_run.h"
#endif

namespace solvane::dialog {

std::string pathText(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
#else
  return path.native();
#endif
}

std::filesystem::path textPath(std::string_view utf8) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return std::filesystem::path(std::string(utf8));
#endif
}

namespace {

// The full path of a chosen or dropped file, in the platform's own separators.
std::filesystem::path fullPath(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(path, error);
  if (error) full = path;
  return full.lexically_normal().make_preferred();
}

// The reason of an exception that ended a worker's step (most likely the memory ran out).
std::string reasonOf(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error)) return "not enough memory";
  return error.what();
}

}  // namespace

// What a Conversion's load worker hands to the UI thread.
struct Controller::LoadedTable {
  CameraTable table;
  LoadResult result;
  std::filesystem::path folder;                   // the output folder at the click
  std::shared_ptr<const TableFindings> findings;  // of the sorted table
};

Controller::Controller(View& view, Prompts& prompts, Post post)
    : m_view(view), m_prompts(prompts), m_post(std::move(post)) {}

Controller::~Controller() {
  m_cancel.store(true);
  joinWorker();
}

void Controller::start() {
  m_strTotal = "0";
  m_strConverted = "0";
  m_view.updateData();
  m_view.setButtons(buttons());
}

void Controller::setState(RunState state) {
  m_state = state;
  m_view.setButtons(buttons());
}

std::filesystem::path Controller::outputFolder() const {
  if (!m_outputFolder.empty()) return m_outputFolder;
  std::error_code error;
  std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::filesystem::path(".") : current.make_preferred();
}

void Controller::setRunInputs(std::optional<FileDate> date, std::optional<std::uint64_t> seed) {
  m_fixedDate = date;
  m_fixedSeed = seed;
}

void Controller::chooseSource(std::string& member, const char* defaultName) {
  const std::filesystem::path chosen = m_prompts.openSourceFile(defaultName, m_outputFolder);
  if (chosen.empty()) {
    member.clear();
  } else {
    setSource(member, chosen);
  }
  m_view.updateData();
}

// The list's full path; the next output goes beside the file chosen last, whichever list it is.
void Controller::setSource(std::string& member, const std::filesystem::path& path) {
  const std::filesystem::path full = fullPath(path);
  m_outputFolder = full.parent_path();
  member = pathText(full);
}

void Controller::OnOpenNormal() { chooseSource(m_strNormalPath, kDefaultNormalName); }

void Controller::OnOpenAutodoria() { chooseSource(m_strAutodoriaPath, kDefaultAutodoriaName); }

void Controller::OnAbout() { m_prompts.about(); }

void Controller::OnImport() {
  if (isBusy()) return;
  const std::vector<std::filesystem::path> files = m_prompts.openImportFiles(m_outputFolder);
  if (!files.empty()) importFiles(files);
}

void Controller::takeFiles(std::span<const std::filesystem::path> paths) {
  if (isBusy()) return;
  std::vector<std::filesystem::path> others;
  for (const std::filesystem::path& path : paths) {
    switch (listKind(path)) {
      case ListKind::kNormal: setSource(m_strNormalPath, path); break;
      case ListKind::kAutodoria: setSource(m_strAutodoriaPath, path); break;
      case ListKind::kNone: others.push_back(path); break;
    }
  }
  m_view.updateData();
  if (!others.empty()) importFiles(others);
}

#ifdef SOLVANE_WITH_IMPORT
// What the import worker hands to the UI thread.
struct Controller::ImportDone {
  importer::ImportResult result;
  std::filesystem::path folder;  // where the lists were to be written
};

void Controller::importFiles(std::span<const std::filesystem::path> paths) {
  if (paths.empty() || isBusy()) return;
  importer::ImportRequest request;
  request.files.assign(paths.begin(), paths.end());
  const std::filesystem::path folder = fullPath(paths.front()).parent_path();
  request.outputDir = folder;
  std::error_code error;
  if (std::filesystem::exists(folder / kDefaultNormalName, error) ||
      std::filesystem::exists(folder / kDefaultAutodoriaName, error)) {
    if (!m_prompts.confirm(kReplaceListsQuestion, replaceListsDetail(pathText(folder)))) return;
  }
  const std::uint64_t run = ++m_run;
  m_cancel.store(false);
  setState(RunState::kImporting);
  m_view.importStarted();
  // A large extract takes seconds to read: on a worker, so the window answers and Cancel works.
  startWorker([this, run, folder, request = std::move(request)]() mutable {
    ProgressThrottle throttle;
    request.progress = [this, run, &throttle](const importer::ImportProgress& p) {
      if (!throttle.due(ProgressThrottle::Clock::now())) return;
      postForRun(run,
                 [this, line = importProgressText(p.bytesRead, p.bytesTotal, p.objects),
                  permille = importPermille(p.bytesRead, p.bytesTotal)] { m_view.importProgress(line, permille); });
    };
    request.cancel = &m_cancel;
    auto done = std::make_shared<ImportDone>(ImportDone{{}, folder});
    // An exception must not end the program from a worker: it becomes the import's failure.
    try {
      done->result = importer::runImport(request);
    } catch (const std::exception& error) {
      done->result = importer::ImportResult{};
      done->result.error = pathText(request.files.front()) + ": " + reasonOf(error);
    }
    postForRun(run, [this, run, done] { finishImport(run, *done); });
  });
}

void Controller::finishImport(std::uint64_t run, const ImportDone& done) {
  joinWorker();
  m_view.importEnded();
  const importer::ImportResult& result = done.result;
  // Cancelled: nothing was written and nothing changes; the user asked for it, no message.
  if (result.cancelled) {
    endRun();
    m_view.importFinished(false);
    return;
  }
  if (!result.ok) {
    m_prompts.message(kImportFailed, result.error, MessageKind::kError);
    if (run != m_run) return;  // closed while the message was up
    endRun();
    m_view.importFinished(false);
    return;
  }
  setSource(m_strNormalPath, done.folder / kDefaultNormalName);
  // Without sections this import has no Autodoria list: an older one in the folder is not it.
  if (result.autodoriaList) {
    setSource(m_strAutodoriaPath, done.folder / kDefaultAutodoriaName);
  } else {
    m_strAutodoriaPath.clear();
  }
  m_view.updateData();
  const auto& skipped = result.cameras.skipped();
  std::string detail = std::to_string(result.cameras.points()) + " point(s), " +
                       std::to_string(result.cameras.sections()) + " section(s); " + std::to_string(skipped.size()) +
                       " item(s) skipped";
  if (result.cameras.outside()) detail += ", " + std::to_string(result.cameras.outside()) + " outside the region";
  detail += ".";
  for (std::size_t i = 0; i < skipped.size() && i < 5; ++i) detail += "\n" + skipped[i];
  m_prompts.message(listsWrittenText(pathText(done.folder)), detail, MessageKind::kPlain);
  if (run != m_run) return;
  endRun();
  m_view.importFinished(true);
}

void Controller::cancelImport() {
  if (m_state == RunState::kImporting) m_cancel.store(true);
}
#else
void Controller::importFiles(std::span<const std::filesystem::path> paths) {
  if (paths.empty() || isBusy()) return;
  m_prompts.message(kImportFailed, "This build reads only the two lists: " + pathText(paths.front()),
                    MessageKind::kError);
}

void Controller::cancelImport() {}
#endif

void Controller::showLoad(const LoadResult& result, std::shared_ptr<const TableFindings> findings) {
  if (result.total) {
    m_strTotal = std::to_string(*result.total);
    m_strConverted = "0";
  }
  m_view.tableReloaded(std::move(findings));
  m_view.updateData();
}

bool Controller::OnLoad() {
  // A run owns the table from its click to its end.
  if (isBusy()) return false;
  const LoadResult result = loadSources(m_List, SourcePaths{textPath(m_strNormalPath), textPath(m_strAutodoriaPath)});
  showLoad(result, nullptr);
  if (result.error) {
    m_prompts.message(result.error->message, result.error->detail, MessageKind::kPlain);
    return false;
  }
  return true;
}

void Controller::postForRun(std::uint64_t run, std::function<void()> fn) {
  m_post([alive = std::weak_ptr<Alive>(m_alive), this, run, fn = std::move(fn)] {
    // The controller may be gone (the front end delivered late) or the run cancelled.
    if (!alive.lock() || run != m_run || !isBusy()) return;
    fn();
  });
}

void Controller::startWorker(std::function<void()> work) {
  joinWorker();
  try {
    m_worker = std::thread(work);
  } catch (const std::system_error&) {
    // No thread to be had: the work runs here, slower, and reports through the same posts.
    work();
  }
}

void Controller::joinWorker() {
  if (m_worker.joinable()) m_worker.join();
}

void Controller::OnConvert() {
  if (isBusy()) return;
  const std::uint64_t run = ++m_run;
  m_cancel.store(false);
  setState(RunState::kLoading);
  // Loading and sorting a million rows takes longer than a UI pause may, so both run on a
  // worker into a table of their own; the paths and the output folder are taken now, so the
  // Autodoria Open button may stay enabled.
  startWorker([this, run, paths = SourcePaths{textPath(m_strNormalPath), textPath(m_strAutodoriaPath)},
               folder = outputFolder(), findings = m_view.showsFindings()] {
    auto loaded = std::make_shared<LoadedTable>();
    loaded->folder = folder;
    // An exception must not end the program from a worker: it fails the load, which then
    // writes nothing, with the lists and the reason on the message's second line.
    try {
      loaded->result = loadSources(loaded->table, paths);
      // A failed load is shown as it stands, unsorted; a cancelled one is not shown at all.
      if (loaded->result.ok() && !m_cancel.load()) loaded->table.sortByLatitude();
      // The quality findings of the sorted table, here rather than on the UI thread, where a
      // million rows would hold the dialog still for a second.
      if (findings && loaded->result.ok() && !m_cancel.load()) {
        loaded->findings = std::make_shared<const TableFindings>(TableFindings::build(loaded->table));
      }
    } catch (const std::exception& error) {
      loaded->table.deleteAllRows();
      loaded->findings.reset();
      std::string lists = pathText(paths.normal);
      if (!paths.autodoria.empty()) lists += (lists.empty() ? "" : ", ") + pathText(paths.autodoria);
      loaded->result = LoadResult{LoadError{kErrorRead, lists + ": " + reasonOf(error)}, std::nullopt};
    }
    postForRun(run, [this, run, loaded] { finishLoad(run, *loaded); });
  });
}

void Controller::finishLoad(std::uint64_t run, LoadedTable& loaded) {
  joinWorker();
  m_List = std::move(loaded.table);
  showLoad(loaded.result, std::move(loaded.findings));
  // A list that failed to load is not converted: half a list would make a database that
  // silently lacks cameras.
  if (const auto& error = loaded.result.error) {
    m_prompts.message(error->message, error->detail, MessageKind::kPlain);
    if (run != m_run) return;  // closed while the message was up
    endRun();
    m_view.loadFinished(false);
    return;
  }
  if (m_List.rowCount() == 0) {
    endRun();
    m_view.loadFinished(false);
    return;
  }
  startEncoding(loaded.folder);
  m_view.loadFinished(true);
}

void Controller::startEncoding(const std::filesystem::path& folder) {
  m_Header = makeHeader(m_fixedDate ? *m_fixedDate : utcToday());
  const RandomBytes random(m_fixedSeed ? *m_fixedSeed : freshSeed());
  m_RandomBlock = random.block();
  setState(RunState::kWriting);

  const std::uint64_t run = m_run;
  // The worker gets copies of everything but the table, which nothing changes during a run;
  // the paths it never sees.
  startWorker([this, run, folder, header = m_Header, block = m_RandomBlock, random] {
    ProgressThrottle throttle;
    const ProgressFn progress = [this, run, &throttle](std::size_t records) {
      if (!throttle.due(ProgressThrottle::Clock::now())) return;
      postForRun(run, [this, run, records] { showProgress(run, records); });
    };
    ConversionResult result;
    // The file's write failing by an exception (the memory ran out) is a write failure: the
    // message with the error icon, and the earlier file left as it was.
    try {
      result = convertTable(m_List, folder, header, block, random, progress, &m_cancel);
    } catch (const std::exception& error) {
      result = ConversionResult{};
      result.status = ConversionStatus::kWriteFailed;
      result.outputPath = outputPathFor(folder, header);
      result.message = "File write Error : " + pathText(result.outputPath);
      result.detail = reasonOf(error);
    }
    postForRun(run, [this, run, result = std::move(result)] { finishConversion(run, result); });
  });
  m_view.conversionStarted();
}

void Controller::showProgress(std::uint64_t, std::size_t records) {
  m_strConverted = std::to_string(records);
  m_view.updateData();
}

void Controller::finishConversion(std::uint64_t run, const ConversionResult& result) {
  joinWorker();
  const bool converted = result.status == ConversionStatus::kConverted;
  if (converted || result.status == ConversionStatus::kWriteFailed) {
    m_strConverted = std::to_string(result.recordsWritten);
    m_view.updateData();
  }
  switch (result.status) {
    case ConversionStatus::kConverted: m_prompts.message(result.message, {}, MessageKind::kPlain); break;
    case ConversionStatus::kOpenFailed:
      m_prompts.message(result.message, result.detail, MessageKind::kOutputOpenFailed);
      break;
    case ConversionStatus::kWriteFailed:
    case ConversionStatus::kLoadFailed:
    case ConversionStatus::kNothingToConvert:
      m_prompts.message(result.message, result.detail, MessageKind::kError);
      break;
    case ConversionStatus::kCancelled: break;
  }
  if (run != m_run) return;  // closed while the message was up
  endRun();
  m_view.conversionFinished(converted);
}

void Controller::endRun() { setState(RunState::kIdle); }

void Controller::cancelConversion() {
  if (!isBusy()) return;
  // The worker stops at its next check and writes nothing; a write already under way
  // finishes, and the file appears whole or not at all.
  m_cancel.store(true);
  joinWorker();
  ++m_run;  // the run's posts still on their way are ignored
  if (m_state == RunState::kImporting) m_view.importEnded();
  endRun();
}

}  // namespace solvane::dialog
