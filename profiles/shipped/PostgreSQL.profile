# PostgreSQL: scripts that psql runs as they are (psql -v ON_ERROR_STOP=1 -f script.sql).
# Names keep the case the catalog returns, so quoted special names come back unchanged and
# unquoted ones fold to the lower case PostgreSQL uses anyway.

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

# Data. psql commits every statement on its own: the rows go in PostgreSQL's own COPY format
# (mervale-batch --inserts writes INSERTs instead), in transactions of 100,000 rows.
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
s_BeginTransaction = BEGIN;
b_DataCopy         = 1
s_CopyFrom         = COPY %t ( %c ) FROM stdin;

# Indexes
s_DropIndex          = DROP INDEX IF EXISTS
b_DropIndexTableName = 0
s_CreateUniqueIndex  = CREATE UNIQUE INDEX
s_CreateIndex        = CREATE INDEX
s_OnTable            = ON
i_IndexNameCase      = 2
i_IndexColumnCase    = 2

# Type names. Lengths are written only where PostgreSQL takes them: character types and
# the precision and scale of NUMERIC.
s_TypeTranslation[CHAR]           = CHAR
s_TypeTranslation[VARCHAR]        = VARCHAR
s_TypeTranslation[LONG VARCHAR]   = TEXT
s_TypeTranslation[WCHAR]          = CHAR
s_TypeTranslation[WVARCHAR]       = VARCHAR
s_TypeTranslation[LONG WVARCHAR]  = TEXT
s_TypeTranslation[DECIMAL]        = NUMERIC
s_TypeTranslation[NUMBER]         = NUMERIC
s_TypeTranslation[SMALLINT]       = SMALLINT
s_TypeTranslation[INTEGER]        = INTEGER
s_TypeTranslation[REAL]           = REAL
s_TypeTranslation[FLOAT]          = DOUBLE PRECISION
s_TypeTranslation[DOUBLE]         = DOUBLE PRECISION
s_TypeTranslation[TINYINT]        = SMALLINT
s_TypeTranslation[BIT]            = BOOLEAN
s_TypeTranslation[BIGINT]         = BIGINT
s_TypeTranslation[BINARY]         = BYTEA
s_TypeTranslation[VARBINARY]      = BYTEA
s_TypeTranslation[LONG VARBINARY] = BYTEA
s_TypeTranslation[DATE]           = DATE
s_TypeTranslation[TIME]           = TIME
s_TypeTranslation[TIMESTAMP]      = TIMESTAMP
# UNKNOWN stays empty: such columns keep the source's own type name (uuid, json, ...).

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
OmitLengthTypes = BINARY
OmitLengthTypes = VARBINARY
OmitLengthTypes = LONG VARBINARY
OmitLengthTypes = DATE
OmitLengthTypes = TIME
OmitLengthTypes = TIMESTAMP
# Types outside the standard categories that psqlODBC reports with a size PostgreSQL
# does not accept after the name.
OmitLengthTypes = uuid
OmitLengthTypes = json
OmitLengthTypes = jsonb
OmitLengthTypes = xml
OmitLengthTypes = interval
OmitLengthTypes = inet
OmitLengthTypes = cidr
OmitLengthTypes = macaddr

# Binary values arrive as hexadecimal text; NULL stays NULL.
s_ScriptPrefix[BINARY]            = decode(
s_ScriptSuffix[BINARY]            = , 'hex')
b_FuncOnlyIfValue[BINARY]         = 1
s_ScriptPrefix[VARBINARY]         = decode(
s_ScriptSuffix[VARBINARY]         = , 'hex')
b_FuncOnlyIfValue[VARBINARY]      = 1
s_ScriptPrefix[LONG VARBINARY]    = decode(
s_ScriptSuffix[LONG VARBINARY]    = , 'hex')
b_FuncOnlyIfValue[LONG VARBINARY] = 1
# Bits arrive as 0 and 1, which PostgreSQL does not take for a BOOLEAN without a cast.
s_ScriptPrefix[BIT]               = CAST(
s_ScriptSuffix[BIT]               = " AS BOOLEAN)"
b_FuncOnlyIfValue[BIT]            = 1

# Standard strings: only the apostrophe needs doubling.
Substitution = ' => ''
