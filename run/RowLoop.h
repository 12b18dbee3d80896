#pragma once
#include <string>
#include <vector>

#include "db/OdbcHandles.h"
#include "run/RowWriter.h"

namespace mv {

class RowReader;
struct RunContext;

// What the remarks around a result's rows say of them.
struct RowRemarks {
  std::string errorName;    // the name the run's error list records
  std::string what;         // how the fetch-error remark names the rows
  std::string skipped;      // the remark of a skip, after the marker
  std::string noRows;       // the remark when there are none, after the marker
  std::string noRowsName;   // written after it as a name, when not empty
  std::string valueFailed;  // the remark after a row with a value that could not be read; empty: none
};

// The rows of one result as the row loop reads them: a table of the data phase, or the
// free-form statement. Read is called once a row.
class RowSource {
 public:
  virtual ~RowSource() = default;
  // The next row into row, its values formatted and joined by the writer's separator; false
  // at the end of the rows or on a failed fetch.
  virtual bool Read(std::string& row) = 0;
  // What the rows go into; asked once the first row is read (a statement's names come with it).
  virtual RowTarget Target() = 0;
  // A fetch failed: what the source does beyond the remark the loop writes.
  virtual void FetchFailed() {}
  // Remarks about the row just read, written before it.
  std::vector<std::string>& Notes() { return notes_; }

 protected:
  std::vector<std::string> notes_;
};

// Reads every row of stmt from source into writer: the stop and skip checks before each row,
// the notes before a row, the remarks when a fetch or a value fails and when there are no rows.
void WriteRows(RunContext& ctx, Statement& stmt, RowReader& reader, RowSource& source, const RowRemarks& remarks,
               RowWriter& writer);

// After the last row: a remark when the rows ended on a fetch error rather than their end.
void ReportFetchError(RunContext& ctx, RowReader& reader, Statement& stmt, const std::string& what);

}  // namespace mv
