#pragma once
#include <sql.h>

#include <string>

namespace mv {

// Every diagnostic record of a handle, whole, one per line ("" when there is none). sqlState
// receives the first record's SQLSTATE when given.
std::string DiagnosticText(SQLSMALLINT handleType, SQLHANDLE handle, std::string* sqlState = nullptr);

// Whether a SQLSTATE says the connection itself is gone (class 08, and the communication-link
// failures some drivers report under other classes): nothing more can be read from it.
bool IsConnectionLost(const std::string& sqlState);

}  // namespace mv
