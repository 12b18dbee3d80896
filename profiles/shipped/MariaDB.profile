# MariaDB (and MySQL): scripts that the mariadb client runs as they are
# (mariadb --default-character-set=utf8mb4 DATABASE < script.sql). Special names go between
# backticks (s_QuoteOpen, below). Table names are case-sensitive on Linux, so names keep the
# case the catalog returns.

# General
s_Remarks          = --
s_Execute          = ;
b_ExecuteSameLine  = 1
s_LineBreak        =
# How a loader of one script per table runs each file.
s_IncludeScript    = source %s

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

# Keys, constraints, defaults and identities (off when s_PrimaryKey is empty). Objects of the
# same engine are written as the source declares them; from another engine they are
# translated where the meaning is the same, else named in a remark.
s_TargetEngine     = MariaDB
s_PrimaryKey       = PRIMARY KEY
s_Unique           = UNIQUE
s_Check            = CHECK
s_Default          = DEFAULT
s_Constraint       = CONSTRAINT
s_ForeignKey       = FOREIGN KEY
s_References       = REFERENCES
s_Deferrable       =
s_AddForeignKey    = ALTER TABLE %t ADD
s_AutoNumber       = AUTO_INCREMENT
s_RowidKey         =
s_SetNextValue     = ALTER TABLE %t AUTO_INCREMENT = %n
s_CurrentTimestamp = CURRENT_TIMESTAMP
s_OnUpdate         = ON UPDATE

# Names: the backtick, MariaDB's own identifier quote, whatever the settings' special-name
# brackets say, and MariaDB's reserved words (those it refuses as bare table, column or index
# names) quoted wherever they are names.
s_QuoteOpen        = `
s_QuoteClose       = `
s_ReservedWords    = ACCESSIBLE ADD ALL ALTER ANALYZE AND AS ASC ASENSITIVE BEFORE BETWEEN BIGINT BINARY BLOB BOTH BY CALL CASCADE CASE CHANGE CHAR CHARACTER CHECK COLLATE COLUMN CONDITION CONSTRAINT CONTINUE CONVERT CREATE CROSS CURRENT_DATE CURRENT_ROLE CURRENT_TIME CURRENT_TIMESTAMP CURRENT_USER CURSOR DATABASES DAY_HOUR DAY_MICROSECOND DAY_MINUTE DAY_SECOND DEC DECIMAL DECLARE DEFAULT DELAYED DELETE DELETE_DOMAIN_ID DESC DESCRIBE DETERMINISTIC DISTINCT DISTINCTROW DIV DOUBLE DO_DOMAIN_IDS DROP DUAL EACH ELSE ELSEIF ENCLOSED ESCAPED EXCEPT EXISTS EXIT EXPLAIN FALSE FETCH FLOAT FLOAT4 FLOAT8 FOR FORCE FOREIGN FROM FULLTEXT GRANT GROUP HAVING HIGH_PRIORITY HOUR_MICROSECOND HOUR_MINUTE HOUR_SECOND IF IGNORE IGNORE_DOMAIN_IDS IN INDEX INFILE INNER INOUT INSENSITIVE INSERT INT INT1 INT2 INT3 INT4 INT8 INTEGER INTERSECT INTERVAL INTO IS ITERATE JOIN KEY KEYS KILL LEADING LEAVE LEFT LIKE LIMIT LINEAR LINES LOAD LOCALTIME LOCALTIMESTAMP LOCK LONG LONGBLOB LONGTEXT LOOP LOW_PRIORITY MASTER_DEMOTE_TO_REPLICA MASTER_DEMOTE_TO_SLAVE MASTER_SSL_VERIFY_SERVER_CERT MATCH MAXVALUE MEDIUMBLOB MEDIUMINT MEDIUMTEXT MIDDLEINT MINUTE_MICROSECOND MINUTE_SECOND MOD MODIFIES NATURAL NOT NO_WRITE_TO_BINLOG NULL NUMERIC OFFSET ON OPTIMIZE OPTIONALLY OR ORDER OUT OUTER OUTFILE OVER PAGE_CHECKSUM PARSE_VCOL_EXPR PARTITION PORTION PRECISION PRIMARY PROCEDURE PURGE RANGE READ READS READ_WRITE REAL RECURSIVE REFERENCES REF_SYSTEM_ID REGEXP RELEASE RENAME REPEAT REPLACE REQUIRE RESIGNAL RESTRICT RETURN RETURNING REVOKE RIGHT RLIKE ROWS ROW_NUMBER SCHEMAS SECOND_MICROSECOND SELECT SENSITIVE SEPARATOR SET SHOW SIGNAL SMALLINT SPATIAL SPECIFIC SQL SQLEXCEPTION SQLSTATE SQLWARNING SQL_BIG_RESULT SQL_BUFFER_RESULT SQL_CACHE SQL_CALC_FOUND_ROWS SQL_NO_CACHE SQL_SMALL_RESULT SSL STARTING STATS_AUTO_RECALC STATS_PERSISTENT STATS_SAMPLE_PAGES STRAIGHT_JOIN TABLE TERMINATED THEN TINYBLOB TINYINT TINYTEXT TO TRAILING TRIGGER TRUE UNDO UNION UNIQUE UNLOCK UNSIGNED UPDATE USAGE USE USING UTC_DATE UTC_TIME UTC_TIMESTAMP VALUES VARBINARY VARCHAR VARCHARACTER VARYING WHEN WHERE WHILE WINDOW WITH WRITE XOR YEAR_MONTH ZEROFILL

# Views, routines, triggers and ENUM and SET columns of a MariaDB source are copied as the
# source declares them (bodies between DELIMITER ;; lines, as the mariadb client reads them);
# comments on tables and columns from any source.
s_CreateView       = CREATE VIEW
s_DropView         = DROP VIEW IF EXISTS
s_DelimiterCommand = DELIMITER
s_BodyDelimiter    = ;;
s_TableComment     = ALTER TABLE %t COMMENT = %s
s_ColumnComment    = ALTER TABLE %t MODIFY %c %d COMMENT %s

# Index details: column order, FULLTEXT and SPATIAL indexes of a MariaDB source and prefix
# lengths; MariaDB takes no expression or partial indexes, and names indexes per table.
s_IndexDescending  = DESC
s_IndexMethods     = FULLTEXT SPATIAL
s_CreateMethodIndex = CREATE %m INDEX
s_IndexPrefix      = %c(%n)

# Generated columns computed by the target (their values are not copied); MariaDB takes no NULL or NOT NULL after one.
s_GeneratedStored  = GENERATED ALWAYS AS (%s) STORED
s_GeneratedVirtual = GENERATED ALWAYS AS (%s) VIRTUAL
