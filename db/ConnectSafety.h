#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace mv {

// A text with the value of every password attribute of a connect string in it replaced by
// "***": any key that ends in PWD, PASSWORD or PASSWD, whatever its case, with blanks around
// the "=", braced or not. For titles, traces, messages and the driver manager's errors, which
// may repeat a whole connect string.
std::string MaskPasswords(std::string_view text);

// The connect string the program connects with: what would let a configuration's string run
// code or statements of its own is removed (a SQLite extension to load, MariaDB's statement at
// connect and its multi-statement option), each removal described in notes.
std::string SafeConnectString(const std::string& connectString, std::vector<std::string>& notes);

// Whether path is the database file the connect string names (Database or DBQ), compared as
// the same file on the same device, so also through links: a script written there would
// replace the source.
bool NamesSourceFile(const std::string& connectString, const std::string& path);

// Turns off the SQL function load_extension on every SQLite connection this process opens
// from now on (the SQLite driver turns extension loading on). Safe to call more than once.
void GuardSqliteConnections();

}  // namespace mv
