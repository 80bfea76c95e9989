#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>

#include "support/scratch.h"
#include "support/window_driver.h"

// What the crash and fault tests share: a started program driven without ever blocking on it, so
// that a hang shows as a timeout and a crash as the process ending; generated save trees; and
// snapshots taken while the program is stopped.

// Posts a click on `button` and returns at once, while the handler runs in the program.
void postClick(const StartedProgram& program, ControlId button);

// Sends a click and waits at most `timeoutMs` for its handler to finish; false when it did not
// (the program hangs or has ended).
bool clickWithin(const StartedProgram& program, ControlId button, DWORD timeoutMs);

// Sets an edit box's text without waiting longer than a few seconds; false when the program did
// not take it.
bool typeWithin(const StartedProgram& program, ControlId edit, const std::wstring& text);

// A control's text (GBK) as the program answers WM_GETTEXT within a few seconds; `answered` turns
// false when it did not answer.
std::string textWithin(const StartedProgram& program, ControlId id, bool& answered);

bool isRunning(const StartedProgram& program);

// Ends the program the way a crash or a power cut would (TerminateProcess), waits until it has
// ended and its handles are gone, and closes ours.
void killProgram(StartedProgram& program);

// Waits until `condition` holds, checking about every millisecond, while the program runs and at
// most `timeoutMs`; true when it held.
bool waitFor(const StartedProgram& program, const std::function<bool()>& condition, DWORD timeoutMs);

// A moment during a click's handler at which the program is killed: a fixed delay after the
// click, or the first moment the disk shows `reached`.
struct KillMoment {
  const char* what;
  DWORD delayMs;                  // waited after the click when there is no condition
  std::function<bool()> reached;  // the disk shows the moment to kill
};

// Posts a click on `button`, kills the program at `moment` and returns the milliseconds from the
// click to the kill. A moment never reached, or a program that ended by itself, is a failure.
double clickAndKill(StartedProgram& program, ControlId button, const KillMoment& moment);

// A save folder of `folderCount` sub-folders with `filesPerFolder` files each (from about 0.5 to
// 8 KB of bytes derived from `seed`), and two files at its top. Names are "区域NN\存档NNN.sav".
void writeSaveTree(const std::wstring& folder, int folderCount, int filesPerFolder, unsigned seed);

// How many entries (files and folders) `folder` holds directly; 0 when it is missing.
int countEntries(const std::wstring& folder);
// The names of the entries `folder` holds directly.
std::set<std::wstring> entryNames(const std::wstring& folder);

// A snapshot of `folder` and whether it exists.
struct MaybeTree {
  bool exists = false;
  TreeSnapshot tree;
};
MaybeTree maybeSnapshot(const std::wstring& folder);

// True when every entry of `part` is in `whole` with the same content, except at most one file
// that holds a beginning of its content: what a copy or a removal that was stopped leaves.
bool isPartOf(const TreeSnapshot& part, const TreeSnapshot& whole);

// Empty when the trees are equal, else the names of a few entries that differ, for a failure
// message that does not print thousands of files.
std::string treeDifference(const TreeSnapshot& actual, const TreeSnapshot& expected);

// `tree` without the entries whose relative path is `name` or lies below it.
TreeSnapshot without(TreeSnapshot tree, const std::wstring& name);

// True under Wine, where a few Windows behaviours cannot be shown (see the tests that ask).
bool runsUnderWine();

// Milliseconds since an arbitrary start, for the timings the tests print.
double nowMs();

// A test with its own copy of the program in the folder "program" beside the folders it works on.
// The program, once started, is ended after the test whatever happened.
class ProgramFault : public ScratchTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the copy with "program" as its current directory and types each text into its box.
  void start(std::initializer_list<std::pair<ControlId, std::wstring>> typed = {});

  std::wstring exe;
  StartedProgram program;
};
