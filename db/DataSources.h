#pragma once
#include <string>
#include <utility>
#include <vector>

namespace mv {

// What the driver manager knows: the data sources (user ones first) and the drivers.
struct DataSourceInfo {
  std::string name, description;
  bool system = false;
};
struct DriverInfo {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
};

// Each call works on its own environment handle, freed on every path; names are read whole.
std::vector<DataSourceInfo> ListDataSources();
std::vector<DriverInfo> ListDrivers();

// The fields a driver usually needs; empty ones are left out of the string.
struct ConnectFields {
  std::string server, port, database, user, password;
};
// A value as a connect string attribute takes it: braced (a "}" doubled) when it holds a
// character that would end or open an attribute, or blanks at its ends.
std::string ConnectValue(const std::string& value);
// "DSN=name;..." for a data source, "DRIVER={name};..." for a driver (dsn empty).
std::string BuildConnectString(const std::string& driver, const std::string& dsn, const ConnectFields& fields);
// The one-click string for a SQLite database file.
std::string SqliteConnectString(const std::string& file);
// The driver manager's own version ("2.3.11"); empty when it does not say.
std::string DriverManagerVersion();
// The string with the SQLite driver's no-create option when it reaches that driver (by DRIVER=
// or a data source of it): a file that does not exist is an error, never a new empty database.
std::string WithoutCreating(const std::string& connectString);
// The SQLite file a string names that does not exist; empty when it exists or the string is
// not the SQLite driver's.
std::string MissingSqliteFile(const std::string& connectString);
// The attributes of a connect string in order, braces undone; keys as written.
std::vector<std::pair<std::string, std::string>> ParseConnectString(const std::string& connectString);
// The string without the attributes named key (compared without regard to case).
std::string RemoveConnectAttribute(const std::string& connectString, const std::string& key);

// The completed connect string a driver hands back repeats the password it was given. What is
// kept (and saved in configurations) drops a password that came from the chooser's password
// field rather than from the connect string the user typed: every PWD or PASSWORD attribute
// whose value is that password.
std::string ConnectStringToKeep(const std::string& completed, const std::string& fieldPassword);

// Connects (no prompt) and disconnects at once. True on success; message receives the
// driver's diagnostics, every record (often none on success).
bool TestConnectString(const std::string& connectString, std::string& message);

}  // namespace mv
