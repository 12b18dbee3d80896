#pragma once
#include <string>

namespace mv {

class RunController;
class SqlLibrary;

// The library commands. OpenLibraryEntry loads the file numbered command as the free-form
// statement and, with Auto Run on and a usable connection, runs it. Returns 1 when the
// statement was loaded, 0 when nothing happened or the file could not be opened.
int OpenLibraryEntry(RunController& run, const SqlLibrary& library, int command);
// Runs text as a free-form statement after the questions a new run asks. Returns whether a
// run was started.
bool RunLibraryStatement(RunController& run, const std::string& text);

}  // namespace mv
