#pragma once
#include <string>
#include <vector>

namespace mv {

class DbConnection;

// The columns of a table's primary key in key order (SQLPrimaryKeys, with the owner filter
// retried once without it); empty when the table has none or the driver cannot say.
std::vector<std::string> PrimaryKeyColumns(DbConnection& connection, const std::string& table);

}  // namespace mv
