#pragma once
#include <string>
#include <vector>

namespace mv {

class DbConnection;

// A table the snapshot does not hold: its engine keeps no versions of its rows.
struct TableOutsideSnapshot {
  std::string name;
  std::string engine;
};

// The one moment of the database a scripting run reads: a read-only transaction begun before
// the first catalog read and ended (rolled back: it wrote nothing) after the last row, so the
// script is one state of the database however busy it is. SQLite holds one read transaction,
// PostgreSQL a repeatable-read read-only one, MariaDB a consistent snapshot; any other source
// the strongest isolation its driver offers. Ends when destroyed, also on the stop unwind.
class ReadSnapshot {
 public:
  explicit ReadSnapshot(DbConnection& connection) : connection_(connection) {}
  ~ReadSnapshot() { End(); }
  ReadSnapshot(const ReadSnapshot&) = delete;
  ReadSnapshot& operator=(const ReadSnapshot&) = delete;

  // Begins the transaction; the driver's error text when it could not, empty when it took (or
  // when the source has no transactions at all: Isolation() is empty then).
  std::string Begin();
  void End();
  bool Active() const { return active_; }
  // For a source none of the known engines: the isolation level taken ("SERIALIZABLE", ...);
  // empty for the known engines and when the driver offers none.
  const std::string& Isolation() const { return isolation_; }
  // Of the tables named, those whose engine keeps no snapshot (MariaDB's MyISAM, Aria, MEMORY, ...).
  std::vector<TableOutsideSnapshot> TablesOutside(const std::vector<std::string>& tables);

 private:
  DbConnection& connection_;
  bool active_ = false;
  bool odbcTransaction_ = false;  // begun by turning autocommit off rather than in the engine's words
  std::string isolation_;
};

}  // namespace mv
