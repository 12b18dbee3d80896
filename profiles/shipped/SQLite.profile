# SQLite: scripts that the sqlite3 tool runs as they are (sqlite3 -bail new.db < script.sql).
# Names keep the case the catalog returns.

# General
s_Remarks          = --
s_Execute          = ;
b_ExecuteSameLine  = 1
s_LineBreak        =
# How a loader of one script per table runs each file.
s_IncludeScript    = .read %s

# Structure
s_DropTable        = DROP TABLE IF EXISTS
s_CreateTable      = CREATE TABLE
s_Null             = NULL
s_NotNull          = NOT NULL
b_NullBeforeType   = 0
i_TableNameCase    = 2
i_ColumnNameCase   = 2
i_DataTypeCase     = 2

# Data. The sqlite3 tool commits every statement on its own: the rows go in transactions of
# 100,000 rows, in INSERTs of many rows each under 1 MB, with foreign keys off while they load
# (as the tool's own .dump does), so a table's rows load in any order.
s_Delete           = DELETE FROM
s_InsertInto       = INSERT INTO
s_Values           = VALUES
s_NumericEmpty     = NULL
# SQLite has no infinity literal, but reads a number past the largest double as one.
s_Infinity         = 9e999
# The sqlite3 tool drops a carriage return before a line feed inside a string.
s_HexText          = CAST(X'%s' AS TEXT)
s_NullString       = NULL
s_EmptyString      = ''
s_StringDelimiter  = '
s_Commit           = COMMIT
i_CommitLines      = 100000
b_CommitEachTable  = 1
b_CommitNeedsExecute = 1
s_BeginTransaction = BEGIN;
i_InsertBytes      = 1000000
s_LoadPreamble     = PRAGMA foreign_keys=OFF;
s_LoadPostamble    = PRAGMA foreign_keys=ON;

# Indexes
s_DropIndex          = DROP INDEX IF EXISTS
b_DropIndexTableName = 0
s_CreateUniqueIndex  = CREATE UNIQUE INDEX
s_CreateIndex        = CREATE INDEX
s_OnTable            = ON
i_IndexNameCase      = 2
i_IndexColumnCase    = 2

# Type names: none are translated. SQLite takes any type name and derives the column's
# behaviour (its affinity) from it, so the source's own names are the safest: from the SQLite
# driver they are the declared types, lengths included (VARCHAR(30), DECIMAL(12,2)). Run with
# the database's own data types (b_DataType 0). No length is added after them.
i_LengthRule    = 2
OmitLengthTypes = CHAR
OmitLengthTypes = VARCHAR
OmitLengthTypes = LONG VARCHAR
OmitLengthTypes = WCHAR
OmitLengthTypes = WVARCHAR
OmitLengthTypes = LONG WVARCHAR
OmitLengthTypes = DECIMAL
OmitLengthTypes = NUMBER
OmitLengthTypes = SMALLINT
OmitLengthTypes = INTEGER
OmitLengthTypes = REAL
OmitLengthTypes = FLOAT
OmitLengthTypes = DOUBLE
OmitLengthTypes = TINYINT
OmitLengthTypes = BIT
OmitLengthTypes = BIGINT
OmitLengthTypes = BINARY
OmitLengthTypes = VARBINARY
OmitLengthTypes = LONG VARBINARY
OmitLengthTypes = DATE
OmitLengthTypes = TIME
OmitLengthTypes = TIMESTAMP

# No read functions: the program reads every value by its type from any source (binary
# values as hexadecimal text, doubles with every digit), so this profile works from every
# source. A zero-length BLOB is written as an empty text.

# Binary values as BLOB literals X'..'; NULL stays NULL.
s_ScriptPrefix[BINARY]            = X
b_FuncOnlyIfValue[BINARY]         = 1
s_ScriptPrefix[VARBINARY]         = X
b_FuncOnlyIfValue[VARBINARY]      = 1
s_ScriptPrefix[LONG VARBINARY]    = X
b_FuncOnlyIfValue[LONG VARBINARY] = 1
# Whether a value is NULL is looked up with the type of the column the SELECT returns, and
# hex() returns text: the flag is set for the text types too (they have no wrappers).
b_FuncOnlyIfValue[CHAR]           = 1
b_FuncOnlyIfValue[VARCHAR]        = 1
b_FuncOnlyIfValue[LONG VARCHAR]   = 1
b_FuncOnlyIfValue[WCHAR]          = 1
b_FuncOnlyIfValue[WVARCHAR]       = 1
b_FuncOnlyIfValue[LONG WVARCHAR]  = 1
b_FuncOnlyIfValue[UNKNOWN]        = 1

# Standard strings: only the apostrophe needs doubling. (The sqlite3 tool drops a carriage
# return that ends a line of its input, even inside a string, and SQLite strings have no
# escapes; char(13) joined to the string around it would overflow SQLite's expression depth
# for a long text of CR LF lines, so a CR before a LF does not survive that tool.)
Substitution = ' => ''

# Keys, constraints, defaults and identities (off when s_PrimaryKey is empty). Objects of the
# same engine are written as the source declares them; from another engine they are
# translated where the meaning is the same, else named in a remark.
s_TargetEngine     = SQLite
s_PrimaryKey       = PRIMARY KEY
s_Unique           = UNIQUE
s_Check            = CHECK
s_Default          = DEFAULT
s_Constraint       = CONSTRAINT
s_ForeignKey       = FOREIGN KEY
s_References       = REFERENCES
s_Deferrable       = DEFERRABLE
s_AddForeignKey    =
s_AutoNumber       = AUTOINCREMENT
s_RowidKey         = INTEGER PRIMARY KEY
s_SetNextValue     = DELETE FROM sqlite_sequence WHERE name = %T%;INSERT INTO sqlite_sequence (name, seq) VALUES (%T, %m)
s_CurrentTimestamp = CURRENT_TIMESTAMP
s_OnUpdate         =

# Names: the double quote is SQLite's own identifier quote, and these words (the ones the
# sqlite3 tool refuses as bare table, column or index names) are quoted wherever they are names.
s_QuoteOpen        = "
s_QuoteClose       = "
s_ReservedWords    = ADD ALL ALTER AND AS BETWEEN CASE CAST CHECK COLLATE COMMIT CONSTRAINT CREATE CROSS CURRENT_DATE CURRENT_TIME CURRENT_TIMESTAMP DEFAULT DEFERRABLE DELETE DISTINCT DROP ELSE ESCAPE EXCEPT EXISTS FOREIGN FROM FULL GROUP HAVING IF IN INDEX INNER INSERT INTERSECT INTO IS ISNULL JOIN LEFT LIMIT NATURAL NOT NOTHING NOTNULL NULL ON OR ORDER OUTER PRIMARY RAISE REFERENCES RETURNING RIGHT SELECT SET TABLE THEN TO TRANSACTION UNION UNIQUE UPDATE USING VALUES WHEN WHERE AUTOINCREMENT INDEXED

# Views and triggers of a SQLite source are copied as SQLite stores them.
s_CreateView       = CREATE VIEW
s_DropView         = DROP VIEW IF EXISTS

# Index details: column order, expressions and partial indexes; SQLite has no index methods, and
# its index names are the schema's (one met again in another table is renamed).
s_IndexDescending  = DESC
s_IndexExpression  = (%s)
s_IndexWhere       = WHERE
b_IndexNamesPerSchema = 1

# Generated columns computed by the target (their values are not copied).
s_GeneratedStored  = GENERATED ALWAYS AS (%s) STORED
s_GeneratedVirtual = GENERATED ALWAYS AS (%s) VIRTUAL
b_GeneratedNull    = 1
