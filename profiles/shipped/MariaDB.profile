# MariaDB (and MySQL): scripts that the mariadb client runs as they are
# (mariadb --default-character-set=utf8mb4 DATABASE < script.sql). Special names need the
# backtick as their brackets (settings keys specObjStringOpen and specObjStringClose), or
# the load needs sql_mode ANSI_QUOTES; see the README. Table names are case-sensitive on
# Linux, so names keep the case the catalog returns.

# General
s_Remarks          = --
s_Execute          = ;
b_ExecuteSameLine  = 1
s_LineBreak        =

# Structure
s_DropTable        = DROP TABLE IF EXISTS
s_CreateTable      = CREATE TABLE
s_Null             = NULL
s_NotNull          = NOT NULL
b_NullBeforeType   = 0
i_TableNameCase    = 2
i_ColumnNameCase   = 2
i_DataTypeCase     = 0

# Data. The client commits every statement on its own (autocommit): the rows go in transactions
# of 100,000 rows, in INSERTs of many rows each under 1 MB (the server's max_allowed_packet is
# 16 MiB by default), with foreign key and unique checks off while they load and the
# session's own settings back afterwards.
s_Delete           = DELETE FROM
s_InsertInto       = INSERT INTO
s_Values           = VALUES
s_NumericEmpty     = NULL
s_NullString       = NULL
s_EmptyString      = ''
s_StringDelimiter  = '
s_Commit           = COMMIT
i_CommitLines      = 100000
b_CommitEachTable  = 1
b_CommitNeedsExecute = 1
s_BeginTransaction = START TRANSACTION;
i_InsertBytes      = 1000000
s_LoadPreamble     = SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS=0, @OLD_UNIQUE_CHECKS=@@UNIQUE_CHECKS, UNIQUE_CHECKS=0;
s_LoadPostamble    = SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS, UNIQUE_CHECKS=@OLD_UNIQUE_CHECKS;

# Indexes. MariaDB drops an index only as DROP INDEX name ON table, and the table name cannot
# follow the index name here; the DROP TABLE of the structure script removes the old
# indexes with their table, so the index drop is written as a remark.
s_DropIndex          = -- DROP INDEX
b_DropIndexTableName = 0
s_CreateUniqueIndex  = CREATE UNIQUE INDEX
s_CreateIndex        = CREATE INDEX
s_OnTable            = ON
i_IndexNameCase      = 2
i_IndexColumnCase    = 2

# Type names. Lengths are written where MariaDB takes them: character and binary types and
# the precision and scale of DECIMAL. Date-times keep their fractions of a second (6 digits).
s_TypeTranslation[CHAR]           = CHAR
s_TypeTranslation[VARCHAR]        = VARCHAR
s_TypeTranslation[LONG VARCHAR]   = LONGTEXT
s_TypeTranslation[WCHAR]          = CHAR
s_TypeTranslation[WVARCHAR]       = VARCHAR
s_TypeTranslation[LONG WVARCHAR]  = LONGTEXT
s_TypeTranslation[DECIMAL]        = DECIMAL
s_TypeTranslation[NUMBER]         = DECIMAL
s_TypeTranslation[SMALLINT]       = SMALLINT
s_TypeTranslation[INTEGER]        = INT
s_TypeTranslation[REAL]           = FLOAT
s_TypeTranslation[FLOAT]          = DOUBLE
s_TypeTranslation[DOUBLE]         = DOUBLE
s_TypeTranslation[TINYINT]        = TINYINT
s_TypeTranslation[BIT]            = BIT
s_TypeTranslation[BIGINT]         = BIGINT
s_TypeTranslation[BINARY]         = BINARY
s_TypeTranslation[VARBINARY]      = VARBINARY
s_TypeTranslation[LONG VARBINARY] = LONGBLOB
s_TypeTranslation[DATE]           = DATE
s_TypeTranslation[TIME]           = TIME(6)
s_TypeTranslation[TIMESTAMP]      = DATETIME(6)
# Types of other engines that no category fits (PostgreSQL's json, uuid, interval, arrays,
# timestamptz ...) arrive as their text.
s_TypeTranslation[UNKNOWN]        = LONGTEXT

i_LengthRule    = 2
OmitLengthTypes = LONG VARCHAR
OmitLengthTypes = LONG WVARCHAR
OmitLengthTypes = SMALLINT
OmitLengthTypes = INTEGER
OmitLengthTypes = REAL
OmitLengthTypes = FLOAT
OmitLengthTypes = DOUBLE
OmitLengthTypes = TINYINT
OmitLengthTypes = BIT
OmitLengthTypes = BIGINT
OmitLengthTypes = LONG VARBINARY
OmitLengthTypes = DATE
OmitLengthTypes = TIME
OmitLengthTypes = TIMESTAMP

# No read functions: the program reads binary values as hexadecimal text from any source,
# which UNHEX() turns back into bytes, so this profile works from every source.
s_ScriptPrefix[BINARY]            = UNHEX(
s_ScriptSuffix[BINARY]            = )
b_FuncOnlyIfValue[BINARY]         = 1
s_ScriptPrefix[VARBINARY]         = UNHEX(
s_ScriptSuffix[VARBINARY]         = )
b_FuncOnlyIfValue[VARBINARY]      = 1
s_ScriptPrefix[LONG VARBINARY]    = UNHEX(
s_ScriptSuffix[LONG VARBINARY]    = )
b_FuncOnlyIfValue[LONG VARBINARY] = 1

# MariaDB reads a backslash in a string as an escape (unless sql_mode has
# NO_BACKSLASH_ESCAPES): double it, and the apostrophe.
Substitution = \ => \\
Substitution = ' => ''
# The mariadb client drops a carriage return that ends a line of its input, even inside a
# string: written as the escape \r, after the backslashes are doubled.
SubstitutionByte = 13 => \r
