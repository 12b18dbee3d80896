#pragma once
#include <cstddef>
#include <string>

#include "base/Host.h"

namespace mv {

struct RunContext;
struct RunTable;

// The table at hand in a phase, with its names.
struct PhaseTable {
  size_t index;
  RunTable& table;
  std::string name;     // as remarks name it: the profile's table-name case applied
  std::string written;  // as statements name it: bracketed when special
};

// One phase of a scripting run that goes through the run's tables (structure, data, indexes;
// keys or views after the data would be more). The loop over the tables, with its progress and
// names, is RunTablePhase's; a phase says what it writes for a table.
class TablePhase {
 public:
  virtual ~TablePhase() = default;
  // The state title while the phase runs, and the bar it steps for every table.
  virtual const char* Title() const = 0;
  virtual Host::Bar Bar() const = 0;
  // Whether a stop or pause is looked for before each table (else only inside one).
  virtual bool CheckEachTable() const { return false; }
  // Before the first table (and the phase's title) and after the last.
  virtual void Begin() {}
  virtual void End() {}
  // One table; false ends the phase (a catalog that fails fails for every later table).
  virtual bool Table(PhaseTable& t) = 0;
};

// Runs the phase over the run's tables.
void RunTablePhase(RunContext& ctx, TablePhase& phase);
// The same for a phase made from the context.
template <class Phase>
void RunTablePhase(RunContext& ctx) {
  Phase phase(ctx);
  RunTablePhase(ctx, phase);
}

}  // namespace mv
