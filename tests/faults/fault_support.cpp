#include "faults/fault_support.h"

#include <random>

#include "services/scoped_win.h"

namespace {

constexpr DWORD kAnswerTimeoutMs = 10000;

// The bytes of a snapshot entry and its attribute note, told apart.
std::string bytesOf(const std::string& entry) { return entry.substr(0, entry.rfind(" attr=")); }

}  // namespace

void postClick(const StartedProgram& program, ControlId button) {
  PostMessageW(program.window, WM_COMMAND, MAKEWPARAM(static_cast<int>(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(controlOf(program.window, button)));
}

bool clickWithin(const StartedProgram& program, ControlId button, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(program.window, WM_COMMAND, MAKEWPARAM(static_cast<int>(button), BN_CLICKED),
                             reinterpret_cast<LPARAM>(controlOf(program.window, button)), SMTO_NORMAL, timeoutMs,
                             &result) != 0;
}

bool typeWithin(const StartedProgram& program, ControlId edit, const std::wstring& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(controlOf(program.window, edit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, kAnswerTimeoutMs, &result) != 0;
}

std::string textWithin(const StartedProgram& program, ControlId id, bool& answered) {
  HWND control = controlOf(program.window, id);
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kAnswerTimeoutMs, &length)) {
    answered = false;
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL,
                           kAnswerTimeoutMs, &copied)) {
    answered = false;
    return {};
  }
  text.resize(copied);
  return gbkFromWide(text);
}

bool isRunning(const StartedProgram& program) {
  return program.process.hProcess && WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT;
}

void killProgram(StartedProgram& program) {
  if (!program.process.hProcess) return;
  TerminateProcess(program.process.hProcess, 9);
  EXPECT_EQ(WaitForSingleObject(program.process.hProcess, 20000), WAIT_OBJECT_0) << "the killed program did not end";
  endProgram(program);
}

bool waitFor(const StartedProgram& program, const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < end) {
    if (condition()) return true;
    if (!isRunning(program)) return condition();
    Sleep(1);
  }
  return false;
}

double clickAndKill(StartedProgram& program, ControlId button, const KillMoment& moment) {
  const double start = nowMs();
  postClick(program, button);
  if (moment.reached) {
    if (!waitFor(program, moment.reached, 30000)) {
      bool answered = true;
      ADD_FAILURE() << "the click never reached this moment; 标签4: " << textWithin(program, ControlId::Label4, answered)
                    << ", 标签5: " << textWithin(program, ControlId::Label5, answered);
    }
  } else if (moment.delayMs) {
    Sleep(moment.delayMs);
  }
  EXPECT_TRUE(isRunning(program)) << "the program ended by itself";
  killProgram(program);
  return nowMs() - start;
}

void writeSaveTree(const std::wstring& folder, int folderCount, int filesPerFolder, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> size(512, 8192);
  std::uniform_int_distribution<int> byte(0, 255);
  auto contents = [&] {
    std::string bytes(static_cast<size_t>(size(random)), '\0');
    for (char& b : bytes) b = static_cast<char>(byte(random));
    return bytes;
  };
  makeFolder(folder);
  writeFileBytes(folder + wide("\\设置.cfg"), contents());
  writeFileBytes(folder + L"\\slot0.sav", contents());
  for (int f = 0; f < folderCount; ++f) {
    wchar_t name[32];
    swprintf(name, 32, L"\\%ls%02d", wide("区域").c_str(), f);
    const std::wstring sub = folder + name;
    makeFolder(sub);
    for (int i = 0; i < filesPerFolder; ++i) {
      swprintf(name, 32, L"\\%ls%03d.sav", wide("存档").c_str(), i);
      writeFileBytes(sub + name, contents());
    }
  }
}

std::set<std::wstring> entryNames(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW entry;
  const ScopedFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!search.valid()) return names;
  do {
    if (lstrcmpW(entry.cFileName, L".") != 0 && lstrcmpW(entry.cFileName, L"..") != 0) names.insert(entry.cFileName);
  } while (FindNextFileW(search.get(), &entry));
  return names;
}

int countEntries(const std::wstring& folder) { return static_cast<int>(entryNames(folder).size()); }

MaybeTree maybeSnapshot(const std::wstring& folder) {
  if (!isFolder(folder)) return {};
  return {true, snapshotTree(folder)};
}

bool isPartOf(const TreeSnapshot& part, const TreeSnapshot& whole) {
  int cutFiles = 0;
  for (const auto& [name, entry] : part) {
    const auto found = whole.find(name);
    if (found == whole.end()) return false;
    if (found->second == entry) continue;
    const std::string bytes = bytesOf(entry);
    if (bytesOf(found->second).compare(0, bytes.size(), bytes) != 0 || ++cutFiles > 1) return false;
  }
  return true;
}

std::string treeDifference(const TreeSnapshot& actual, const TreeSnapshot& expected) {
  std::string difference;
  int shown = 0;
  auto note = [&](const std::wstring& name, const char* how) {
    if (++shown <= 8) difference += "  " + gbkFromWide(name) + ": " + how + "\n";
  };
  for (const auto& [name, entry] : actual) {
    const auto found = expected.find(name);
    if (found == expected.end()) {
      note(name, "unexpected");
    } else if (found->second != entry) {
      note(name, "different content");
    }
  }
  for (const auto& [name, entry] : expected) {
    if (!actual.contains(name)) note(name, "missing");
  }
  if (shown > 8) difference += "  and " + std::to_string(shown - 8) + " more\n";
  return difference;
}

TreeSnapshot without(TreeSnapshot tree, const std::wstring& name) {
  std::erase_if(tree, [&](const auto& entry) {
    const std::wstring& key = entry.first;
    return key == name || (key.size() > name.size() && key.compare(0, name.size(), name) == 0 && key[name.size()] == L'\\');
  });
  return tree;
}

double nowMs() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

bool runsUnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

void ProgramFault::SetUp() {
  ScratchTest::SetUp();
  exe = installProgramCopy(path(L"program"));
}

void ProgramFault::TearDown() {
  endProgram(program);
  ScratchTest::TearDown();
}

void ProgramFault::start(std::initializer_list<std::pair<ControlId, std::wstring>> typed) {
  program = startProgram(exe, path(L"program"));
  ASSERT_NE(program.window, nullptr);
  for (const auto& [edit, text] : typed) ASSERT_TRUE(typeWithin(program, edit, text));
}
