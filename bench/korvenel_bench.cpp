// Drives korvenel.exe through its window, as a player would, and times its clicks against the least
// the same work costs: the file-system object's CopyFolder called directly, cmd's rd /s /q, and
// (measured by scripts/bench.sh and read from a file) cp -r and rm -rf on the host.
//
// korvenel_bench DRIVE RUNS SHAPE...   e.g. korvenel_bench S: 5 typical large many-small
//
// DRIVE is the bench drive: a scratch folder mapped as a drive letter, holding the marker file
// "korvenel-bench-drive", the program in \app, the bare window program in \bin, each shape's save
// folder in \shapes\SHAPE\save and the host's figures in \native-samples.csv. Everything the
// bench writes or deletes lies on that drive. It writes every sample to \samples.csv and the
// table of medians to \results.csv, and prints the table.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "services/encoding.h"
#include "services/folder_copy.h"
#include "services/folder_removal.h"
#include "services/scoped_win.h"
#include "support/window_driver.h"
#include "ui/layout.h"

namespace {

constexpr char kBackedUpCaption[] = "\xD2\xD1\xB1\xB8\xB7\xDD";      // 已备份
constexpr char kBackupFailedCaption[] = "\xB1\xB8\xB7\xDD\xCA\xA7\xB0\xDC";  // 备份失败
constexpr char kRestoredCaption[] = "\xD2\xD1\xB8\xFC\xD0\xC2";      // 已更新
constexpr char kSavedCaption[] = "\xD2\xD1\xB1\xA3\xB4\xE6";         // 已保存
constexpr wchar_t kCounterFileName[] = L"\\\u8BA1\u6570\u5668.ini";   // \计数器.ini
// \相关文件夹位置.ini
constexpr wchar_t kSettingsFileName[] = L"\\\u76F8\u5173\u6587\u4EF6\u5939\u4F4D\u7F6E.ini";
constexpr wchar_t kProgramWindowClass[] = L"KorvenelMainWindow";
constexpr wchar_t kBareWindowClass[] = L"KorvenelBenchBareWindow";
constexpr DWORD kWindowTimeoutMs = 30000;

// A time in seconds, or for the sizes a number of megabytes, files or folders.
struct Sample {
  std::string shape;
  std::string measure;
  double value;
};
using Samples = std::vector<Sample>;

double secondsNow() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / frequency;
}

template <typename Work>
double timed(Work work) {
  const double start = secondsNow();
  work();
  return secondsNow() - start;
}

void require(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error(what);
}

std::string narrow(const std::wstring& text) { return wideToUtf8(text); }
Text gbkPath(const std::wstring& path) { return wideToGbk(path); }

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void makeFolder(const std::wstring& path) {
  require(CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS,
          "cannot create " + narrow(path));
}

void removeTree(const std::wstring& path) {
  if (exists(path)) removeFolderTree(gbkPath(path));
  require(!exists(path), "cannot remove " + narrow(path));
}

// The names in a folder, "." and ".." left out.
std::vector<std::wstring> folderEntries(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  const ScopedFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!search.valid()) return names;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search.get(), &entry));
  return names;
}

struct TreeSize {
  long long files = 0;
  long long folders = 0;
  long long bytes = 0;
};

void addTreeSize(const std::wstring& folder, TreeSize& size) {
  WIN32_FIND_DATAW entry;
  const ScopedFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!search.valid()) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ++size.folders;
      addTreeSize(folder + L"\\" + name, size);
    } else {
      ++size.files;
      size.bytes += (static_cast<long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    }
  } while (FindNextFileW(search.get(), &entry));
}

// The least a removal does: every file deleted and every folder removed, nothing checked. Only for
// the bench's own copies on the bench drive.
void removePlainly(const std::wstring& folder) {
  {
    WIN32_FIND_DATAW entry;
    const ScopedFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (search.valid()) {
      do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = folder + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          removePlainly(child);
        } else {
          DeleteFileW(child.c_str());
        }
      } while (FindNextFileW(search.get(), &entry));
    }
  }
  RemoveDirectoryW(folder.c_str());
}

// The handles of a started process, closed when the owner goes.
struct ProcessHandles {
  PROCESS_INFORMATION info{};

  ProcessHandles() = default;
  ~ProcessHandles() {
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
  }
  ProcessHandles(const ProcessHandles&) = delete;
  ProcessHandles& operator=(const ProcessHandles&) = delete;
};

// Runs a command line to its end; gives its exit code.
DWORD runCommand(const std::wstring& commandLine, const std::wstring& folder) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ProcessHandles process;
  std::wstring line = commandLine;
  require(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder.c_str(),
                         &startup, &process.info),
          "cannot run " + narrow(commandLine));
  WaitForSingleObject(process.info.hProcess, INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.info.hProcess, &exitCode);
  return exitCode;
}

// A started program with its main window; ended when the owner goes.
class RunningProgram {
 public:
  // Starts `exe` with `folder` as its current directory and waits until its window of
  // `windowClass` is visible; the time from the start to that moment is kept.
  RunningProgram(const std::wstring& exe, const std::wstring& folder, const wchar_t* windowClass,
                 const std::wstring& arguments = {}) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    const double start = secondsNow();
    require(CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                           &startup, &process_.info),
            "cannot start " + narrow(exe));
    for (;;) {
      window_ = visibleWindowOf(process_.info.dwProcessId, windowClass);
      if (window_) break;
      require(WaitForSingleObject(process_.info.hProcess, 0) == WAIT_TIMEOUT,
              narrow(exe) + " ended before its window showed");
      require(secondsNow() - start < kWindowTimeoutMs / 1000.0, "the window of " + narrow(exe) + " did not appear");
      Sleep(1);
    }
    secondsToWindow_ = secondsNow() - start;
    WaitForInputIdle(process_.info.hProcess, kWindowTimeoutMs);
  }
  ~RunningProgram() {
    if (WaitForSingleObject(process_.info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.info.hProcess, 1);
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  HWND window() const { return window_; }
  double secondsToWindow() const { return secondsToWindow_; }

  double peakWorkingSetMegabytes() const {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    require(GetProcessMemoryInfo(process_.info.hProcess, &counters, sizeof counters), "GetProcessMemoryInfo failed");
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
  }

  // Closes the window as its close button does and gives the exit code.
  DWORD close() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
    WaitForSingleObject(process_.info.hProcess, kWindowTimeoutMs);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process_.info.hProcess, &exitCode);
    return exitCode;
  }

 private:
  ProcessHandles process_;
  HWND window_ = nullptr;
  double secondsToWindow_ = 0.0;
};

struct BenchDrive {
  std::wstring root;  // "S:"

  std::wstring path(const std::wstring& relative) const { return root + L"\\" + relative; }
  std::wstring program() const { return path(L"app\\korvenel.exe"); }
  std::wstring programFolder() const { return path(L"app"); }
};

BenchDrive openBenchDrive(const std::wstring& root) {
  require(root.size() == 2 && root[1] == L':', "the drive must be given as a letter and a colon, e.g. S:");
  BenchDrive drive{root};
  require(exists(drive.path(L"korvenel-bench-drive")), "the drive has no marker file korvenel-bench-drive");
  return drive;
}

// The program's settings, stored through its three 保存 buttons, so that every later start loads them.
void storeSettings(const BenchDrive& drive, const std::wstring& shape) {
  DeleteFileW((drive.programFolder() + kSettingsFileName).c_str());
  RunningProgram program(drive.program(), drive.programFolder(), kProgramWindowClass);
  const std::wstring work = drive.path(L"work\\" + shape);
  setControlText(program.window(), ControlId::Edit1, gbkPath(drive.path(L"shapes\\" + shape + L"\\save")));
  setControlText(program.window(), ControlId::Edit2, gbkPath(work + L"\\backups"));
  setControlText(program.window(), ControlId::Edit3, gbkPath(work + L"\\temp"));
  for (ControlId button : {ControlId::Button4, ControlId::Button5, ControlId::Button6}) {
    clickButton(program.window(), button);
    require(controlText(program.window(), button) == kSavedCaption, "a save button did not store its folder");
  }
  require(program.close() == 0, "the program did not end with exit code 0");
}

void benchStartup(const BenchDrive& drive, int runs, Samples& samples) {
  for (int run = 0; run < runs; ++run) {
    RunningProgram program(drive.program(), drive.programFolder(), kProgramWindowClass);
    samples.push_back({"start-up", "startup_korvenel", program.secondsToWindow()});
    samples.push_back({"start-up", "peak_working_set_mb", program.peakWorkingSetMegabytes()});
    require(program.close() == 0, "the program did not end with exit code 0");
  }
  for (const wchar_t* arguments : {L"", L"ole"}) {
    const std::string variant = *arguments ? "_ole" : "";
    for (int run = 0; run < runs; ++run) {
      RunningProgram bare(drive.path(L"bin\\bare_window.exe"), drive.programFolder(), kBareWindowClass, arguments);
      samples.push_back({"start-up", "startup_bare_window" + variant, bare.secondsToWindow()});
      samples.push_back({"start-up", "peak_working_set_bare" + variant + "_mb", bare.peakWorkingSetMegabytes()});
      require(bare.close() == 0, "the bare window program did not end with exit code 0");
    }
  }
  for (int run = 0; run < runs; ++run) {
    samples.push_back({"start-up", "cmd_start", timed([&] { runCommand(L"cmd.exe /c exit", drive.programFolder()); })});
  }
}

void benchShape(const BenchDrive& drive, const std::wstring& shape, int runs, Samples& samples) {
  const std::string name = narrow(shape);
  const std::wstring shapeFolder = drive.path(L"shapes\\" + shape);
  const std::wstring save = shapeFolder + L"\\save";
  const std::wstring work = drive.path(L"work\\" + shape);
  const std::wstring backups = work + L"\\backups";
  const std::wstring temp = work + L"\\temp";
  const std::wstring copy1 = work + L"\\copy1";
  const std::wstring copy2 = work + L"\\copy2";
  const std::wstring copy3 = work + L"\\copy3";
  require(exists(save), "no save folder for shape " + name);
  require(!exists(save + kCounterFileName), "the save folder of " + name + " already holds a counter file");
  TreeSize size;
  addTreeSize(save, size);
  std::fprintf(stderr, "%s: %lld files in %lld folders, %.1f MB\n", name.c_str(), size.files, size.folders,
               static_cast<double>(size.bytes) / (1024.0 * 1024.0));
  samples.push_back({name, "files", static_cast<double>(size.files)});
  samples.push_back({name, "folders", static_cast<double>(size.folders)});
  samples.push_back({name, "megabytes", static_cast<double>(size.bytes) / (1024.0 * 1024.0)});

  removeTree(work);
  makeFolder(work);
  RunningProgram program(drive.program(), drive.programFolder(), kProgramWindowClass);
  const HWND window = program.window();
  setControlText(window, ControlId::Edit1, gbkPath(save));
  setControlText(window, ControlId::Edit2, gbkPath(backups));
  setControlText(window, ControlId::Edit3, gbkPath(temp));

  const Text saveText = gbkPath(save);
  const Text tempText = gbkPath(temp);
  const std::wstring rd = L"cmd.exe /c rd /s /q ";
  for (int run = 1; run <= runs; ++run) {
    makeFolder(backups);

    // The floor of a backup: the same two copies, from a program that does nothing else.
    bool copied = false;
    const double copyPair =
        timed([&] { copied = copyFolder(saveText, gbkPath(copy1)) && copyFolder(saveText, gbkPath(copy2)); });
    require(copied && exists(copy1) && exists(copy2), "CopyFolder failed for " + name);

    const double removal = timed([&] { removeFolderTree(gbkPath(copy1)); });
    require(!exists(copy1), "removeFolderTree left " + narrow(copy1));
    const double rdRemoval = timed([&] { runCommand(rd + L"\"" + copy2 + L"\"", work); });
    require(!exists(copy2), "rd /s /q left " + narrow(copy2));
    require(copyFolder(saveText, gbkPath(copy3)), "CopyFolder failed for " + name);
    const double plainRemoval = timed([&] { removePlainly(copy3); });
    require(!exists(copy3), "the plain removal left " + narrow(copy3));

    const double backup = timed([&] { clickButton(window, ControlId::Button3); });
    require(controlText(window, ControlId::Label5) == kBackedUpCaption &&
                controlText(window, ControlId::Button3) != kBackupFailedCaption,
            "the backup of " + name + " failed");
    require(folderEntries(backups).size() == 1 && exists(temp), "the backup did not write both copies");

    const double restore = timed([&] { clickButton(window, ControlId::Button1); });
    require(controlText(window, ControlId::Label4) == kRestoredCaption &&
                controlText(window, ControlId::Label1) == std::to_string(run),
            "the restore of " + name + " failed: " + narrow(controlTextWide(window, ControlId::Label4)) + " " +
                narrow(controlTextWide(window, ControlId::Label1)));
    require(exists(save + kCounterFileName), "the restored save folder has no counter file");
    require(folderEntries(shapeFolder).size() == 1, "the restore left something beside the save folder");

    // The floor of a restore: removal by cmd, then one copy.
    const double rdAndCopy = timed([&] {
      runCommand(rd + L"\"" + save + L"\"", work);
      copied = copyFolder(tempText, saveText);
    });
    require(copied && exists(save + kCounterFileName), "rd and CopyFolder did not restore " + name);

    removeTree(backups);
    removeTree(temp);
    samples.push_back({name, "backup_click", backup});
    samples.push_back({name, "backup_copyfolder", copyPair});
    samples.push_back({name, "restore_click", restore});
    samples.push_back({name, "restore_rd_copyfolder", rdAndCopy});
    samples.push_back({name, "removal_korvenel", removal});
    samples.push_back({name, "removal_rd", rdRemoval});
    samples.push_back({name, "removal_plain", plainRemoval});
    std::fprintf(stderr, "%s run %d/%d: backup %.3f s, CopyFolder x2 %.3f s, restore %.3f s, rd+CopyFolder %.3f s, "
                 "removal %.3f s, rd %.3f s, plain removal %.3f s\n",
                 name.c_str(), run, runs, backup, copyPair, restore, rdAndCopy, removal, rdRemoval, plainRemoval);
  }
  samples.push_back({name, "peak_working_set_mb", program.peakWorkingSetMegabytes()});
  require(program.close() == 0, "the program did not end with exit code 0");
  removeTree(work);
}

// The host's figures, written by scripts/bench.sh: "shape,measure,seconds" per line.
void readNativeSamples(const BenchDrive& drive, Samples& samples) {
  std::ifstream file(drive.path(L"native-samples.csv").c_str());
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    Sample sample;
    std::string seconds;
    if (std::getline(fields, sample.shape, ',') && std::getline(fields, sample.measure, ',') &&
        std::getline(fields, seconds)) {
      sample.value = std::stod(seconds);
      samples.push_back(sample);
    }
  }
}

struct Median {
  double value = 0.0;
  int count = 0;
};

std::map<std::pair<std::string, std::string>, Median> mediansOf(const Samples& samples) {
  std::map<std::pair<std::string, std::string>, std::vector<double>> values;
  for (const Sample& sample : samples) values[{sample.shape, sample.measure}].push_back(sample.value);
  std::map<std::pair<std::string, std::string>, Median> medians;
  for (auto& [key, list] : values) {
    std::sort(list.begin(), list.end());
    const size_t middle = list.size() / 2;
    const double value = list.size() % 2 ? list[middle] : (list[middle - 1] + list[middle]) / 2.0;
    medians[key] = {value, static_cast<int>(list.size())};
  }
  return medians;
}

struct Row {
  std::string shape;
  std::string operation;
  const char* ours;
  const char* floor;
  const char* floorName;
  const char* native;
  const char* unit;  // "ms" for times (the samples are seconds), "MB" for sizes
};

std::string cell(double value) {
  char text[32];
  std::snprintf(text, sizeof text, value >= 100 ? "%.0f" : value >= 10 ? "%.1f" : "%.2f", value);
  return text;
}

void writeTable(const BenchDrive& drive, const Samples& samples, const std::vector<std::string>& shapes) {
  const auto medians = mediansOf(samples);
  auto find = [&](const std::string& shape, const char* measure) -> const Median* {
    if (!measure) return nullptr;
    const auto found = medians.find({shape, measure});
    return found == medians.end() ? nullptr : &found->second;
  };

  std::vector<Row> rows;
  for (const std::string& shape : shapes) {
    rows.push_back({shape, "backup", "backup_click", "backup_copyfolder", "2x CopyFolder", "backup_native", "ms"});
    rows.push_back({shape, "restore", "restore_click", "restore_rd_copyfolder", "rd /s /q + CopyFolder",
                    "restore_native", "ms"});
    rows.push_back({shape, "removal", "removal_korvenel", "removal_rd", "rd /s /q", "removal_native", "ms"});
    rows.push_back({shape, "removal", "removal_korvenel", "removal_plain", "plain delete walk", "removal_native",
                    "ms"});
    rows.push_back({shape, "peak working set", "peak_working_set_mb", nullptr, "", nullptr, "MB"});
  }
  rows.push_back({"start-up", "window shown", "startup_korvenel", "startup_bare_window", "bare window", nullptr, "ms"});
  rows.push_back({"start-up", "window shown", "startup_korvenel", "startup_bare_window_ole", "bare window + OLE",
                  nullptr, "ms"});
  rows.push_back({"start-up", "peak working set", "peak_working_set_mb", "peak_working_set_bare_mb", "bare window",
                  nullptr, "MB"});
  rows.push_back({"start-up", "peak working set", "peak_working_set_mb", "peak_working_set_bare_ole_mb",
                  "bare window + OLE", nullptr, "MB"});
  rows.push_back({"start-up", "cmd.exe start", "cmd_start", nullptr, "", nullptr, "ms"});

  std::ofstream csv(drive.path(L"results.csv").c_str(), std::ios::binary);
  csv << "shape,operation,unit,korvenel,wine_floor,wine_floor_is,native,korvenel_per_floor,korvenel_per_native,runs\n";
  std::printf("%-11s %-17s %5s %10s %10s  %-22s %9s %7s %8s\n", "shape", "operation", "unit", "korvenel", "Wine floor",
              "(floor is)", "native", "/floor", "/native");
  for (const Row& row : rows) {
    const Median* ours = find(row.shape, row.ours);
    if (!ours) continue;
    const Median* floor = find(row.shape, row.floor);
    const Median* native = find(row.shape, row.native);
    const double scale = std::string(row.unit) == "ms" ? 1000.0 : 1.0;
    auto text = [&](const Median* median) { return median ? cell(median->value * scale) : std::string("-"); };
    auto ratio = [&](const Median* other) {
      return other && other->value > 0 ? cell(ours->value / other->value) : std::string("-");
    };
    std::printf("%-11s %-17s %5s %10s %10s  %-22s %9s %7s %8s\n", row.shape.c_str(), row.operation.c_str(), row.unit,
                text(ours).c_str(), text(floor).c_str(), floor ? row.floorName : "", text(native).c_str(),
                ratio(floor).c_str(), ratio(native).c_str());
    csv << row.shape << ',' << row.operation << ',' << row.unit << ',' << text(ours) << ',' << text(floor) << ','
        << (floor ? row.floorName : "") << ',' << text(native) << ',' << ratio(floor) << ',' << ratio(native) << ','
        << ours->count << '\n';
  }
  for (const std::string& shape : shapes) {
    const Median* files = find(shape, "files");
    const Median* folders = find(shape, "folders");
    const Median* megabytes = find(shape, "megabytes");
    if (files && folders && megabytes) {
      std::printf("%s: %.0f files in %.0f folders, %.1f MB\n", shape.c_str(), files->value, folders->value,
                  megabytes->value);
    }
  }
}

void writeSamples(const BenchDrive& drive, const Samples& samples) {
  std::ofstream csv(drive.path(L"samples.csv").c_str(), std::ios::binary);
  csv << "shape,measure,value\n";
  for (const Sample& sample : samples) csv << sample.shape << ',' << sample.measure << ',' << sample.value << '\n';
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: korvenel_bench DRIVE RUNS SHAPE...\n");
    return 2;
  }
  try {
    const BenchDrive drive = openBenchDrive(argv[1]);
    const int runs = std::stoi(argv[2]);
    require(runs > 0, "RUNS must be positive");
    // Relative paths and removals are guarded against the current directory: keep it on the drive.
    SetCurrentDirectoryW((drive.root + L"\\").c_str());
    // OLE for this thread, as korvenel.exe has it, so that the copies below start alike.
    const ScopedOleInit ole;
    std::vector<std::wstring> shapes(argv + 3, argv + argc);

    Samples samples;
    storeSettings(drive, shapes.front());
    benchStartup(drive, runs, samples);
    for (const std::wstring& shape : shapes) benchShape(drive, shape, runs, samples);
    readNativeSamples(drive, samples);
    writeSamples(drive, samples);
    std::vector<std::string> shapeNames;
    for (const std::wstring& shape : shapes) shapeNames.push_back(narrow(shape));
    writeTable(drive, samples, shapeNames);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench: %s\n", error.what());
    return 1;
  }
}
