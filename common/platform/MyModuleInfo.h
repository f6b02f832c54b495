// The module's error identity: its error-definition table, number, file
// name, version and resource lookup, with named numbers for the messages
// and user errors that the code raises. The message texts and their
// argument kinds are in Messages.tsv; a site must pass exactly the
// arguments its message's kinds list.
#pragma once

#include <cstdint>
#include <cwchar>

struct STRessourceModule;

// One error definition.
struct _stErrorDef {
    uint32_t dwUserError;    // user error code
    uint32_t dwRessource;    // message resource number
    uint32_t dwDetail;       // detail number
    uint32_t dwLevel;        // error level
};

struct _stMyModuleInfo {
    const _stErrorDef* pstErrorDef;
    uint32_t dwNbErrorDef;
    uint32_t dwModule;                  // stored in every error of the module
    const wchar_t* pszModuleName;
    const wchar_t* pszModuleVersion;
    int (*pfnGetRessource)(STRessourceModule&);   // true when the id exists
};

enum : uint32_t { NB_ERRORDEF32 = 84 };

extern const _stErrorDef gstErrorDef32[NB_ERRORDEF32];

extern "C" __attribute__((visibility("default"))) const _stMyModuleInfo gstMyModuleInfo32;

// Message numbers (argument kinds in brackets: s wide text, d int,
// u unsigned).
enum : unsigned {
    ZTMSG_NO_MEMORY = 25193,

    // Error report captions.
    ZTMSG_REPORT_MODULE = 28842,              // (s name, s version)
    ZTMSG_REPORT_NO_MODULE = 28843,
    ZTMSG_REPORT_CONTEXT = 28844,
    ZTMSG_REPORT_PROCESSING = 28845,          // (s caption, s object part, u line, u thread)
    ZTMSG_REPORT_PROCESSING_NO_LINE = 25770,  // (s caption, s object part, u thread)
    ZTMSG_REPORT_FUNCTION = 28846,            // (s name, u syntax)
    ZTMSG_REPORT_LEVEL_NONE = 28847,
    ZTMSG_REPORT_LEVEL_WARNING = 28848,
    ZTMSG_REPORT_LEVEL_ERROR = 28849,
    ZTMSG_REPORT_LEVEL_INTERNAL = 25311,
    ZTMSG_REPORT_LEVEL = 28850,               // (d level)
    ZTMSG_REPORT_USER_CODE = 28851,           // (u code)
    ZTMSG_REPORT_USER_CODE2 = 28852,          // (u code)
    ZTMSG_REPORT_SYSTEM_CODE = 28853,         // (u code)
    ZTMSG_REPORT_NO_SYSTEM_CODE = 28854,
    ZTMSG_REPORT_SYSTEM_MESSAGE = 28855,
    ZTMSG_REPORT_NO_SYSTEM_MESSAGE = 28856,
    ZTMSG_REPORT_USER_MESSAGE = 28857,
    ZTMSG_REPORT_NO_USER_MESSAGE = 28858,
    ZTMSG_REPORT_DEBUG = 28859,
    ZTMSG_REPORT_NO_DEBUG = 28860,
    ZTMSG_REPORT_INFOS = 28861,
    ZTMSG_REPORT_NO_INFOS = 28862,
    ZTMSG_REPORT_DETAIL = 28863,              // (u detail)
    ZTMSG_REPORT_NO_DETAIL = 28864,
    ZTMSG_REPORT_SUB_ERROR = 28865,           // (d number)

    // Value dump captions.
    ZTMSG_DUMP_TIME = 25669,
    ZTMSG_DUMP_VALUE = 25670,
    ZTMSG_DUMP_DATE = 25671,
    ZTMSG_DUMP_CONV_FAILED_DATE = 25672,
    ZTMSG_DUMP_CONV_FAILED_TIME = 25673,
    ZTMSG_DUMP_CONV_FAILED_TEXT = 25674,
    ZTMSG_DUMP_TQ_TYPE = 25675,
    ZTMSG_DUMP_ADO_TYPE = 25680,

    // Messages added to errors outside their user error.
    ZTMSG_DESCRIPTION_UNREADABLE = 28541,     // (s logical name, s text)
    ZTMSG_CACHE_INCOMPLETE = 25667,
    ZTMSG_AUTO_VALUE_FAILED = 28576,          // (s logical name, s item)
    ZTMSG_QUERY_CONNECTION = 28588,           // (s database, s default database, s user)
    ZTMSG_CLIENT_VERSION = 3355,              // (s expected, s loaded)
    ZTMSG_QUERY_TOO_LONG = 3221,              // (s database, u server error, d max, d length, s query start)
    ZTMSG_VALUE_NOT_HELD = 28597,             // (s item, s table, s SQL type, s value)
    ZTMSG_ROW_NOT_TOLD = 28598,               // (s item, s table, s SQL type)
    ZTMSG_ROW_TOO_LONG = 28599,               // (s item, s table, u length, u session's bound)
    ZTMSG_WRITE_TABLE_UNKNOWN = 28612,        // (s table)
    ZTMSG_WRITE_COLUMN_TWICE = 28613,         // (s item, s item, s column, s table)

    // Files.
    ZTMSG_FILE_FLUSH = 28001,                 // (s name)
    ZTMSG_FILE_OPEN_OR_CREATE = 28002,        // (s name)
    ZTMSG_FILE_READ = 28003,                  // (s name)
    ZTMSG_FILE_SET_SIZE = 28004,              // (s name)
    ZTMSG_FILE_SEEK = 28005,                  // (s name)
    ZTMSG_FILE_WRITE = 28008,                 // (s name)
    ZTMSG_FILE_HEADER_WRITE = 28009,          // (s name)
    ZTMSG_FILE_HEADER_SIZE = 28011,           // (s name)
    ZTMSG_FILE_DELETE = 28123,                // (s path)
    ZTMSG_FILE_RENAME = 28124,                // (s destination, s source)
    ZTMSG_FILE_COPY = 28125,                  // (s destination, s source)
    ZTMSG_DIR_CREATE = 28126,                 // (s path)
    ZTMSG_DIR_DELETE = 28127,                 // (s path)
    ZTMSG_FILE_STATUS = 28128,                // (s path)
    ZTMSG_FILE_TIME = 28129,                  // (s path)
    ZTMSG_FILE_ATTRIBUTES = 28130,            // (u attributes or mode, s path)
    ZTMSG_FILE_OWNER = 25852,                 // (u uid, u gid, s path)
    ZTMSG_FULL_PATH = 28131,                  // (s path)
    ZTMSG_TEMP_DIRECTORY = 28133,
    ZTMSG_TEMP_NAME = 28134,                  // (s directory, s prefix)
    ZTMSG_FIND_OPEN = 28135,
    ZTMSG_FIND_NEXT = 28136,
    ZTMSG_FIND_CLOSE = 28137,
    ZTMSG_DISK_SPACE = 28138,                 // (s path)
    ZTMSG_FILE_OPEN = 28139,                  // (s name)
    ZTMSG_FILE_CREATE = 28140,                // (s name)
    ZTMSG_FILE_LOCK = 28145,                  // (s name, u offset, u length)
    ZTMSG_FILE_UNLOCK = 28146,                // (s name, u offset, u length)
    ZTMSG_FILE_TYPE = 28259,                  // (s name)
    ZTMSG_CURRENT_DIRECTORY = 28307,
    ZTMSG_FILE_SIGNATURE = 28555,             // (s version, s name)
};

// User error codes with raising sites (message arguments in brackets).
enum : uint32_t {
    ZTERR_EMPTY_DESCRIPTION = 1,       // (s logical name)
    ZTERR_NO_QUERY_TYPE = 2,
    ZTERR_ITEM_NOT_BROWSED = 5,        // (s item)
    ZTERR_ORDER_ITEM_MISSING = 6,      // (s item)
    ZTERR_NO_CURRENT_RECORD = 7,
    ZTERR_NOT_OFFERED = 8,
    ZTERR_NO_TRANSACTION = 9,          // (s name)
    ZTERR_NESTED_TRANSACTION = 10,     // (s name, s nested name)
    ZTERR_POSITION_LOST = 11,          // (s logical name)
    ZTERR_NO_MEMORY = 12,
    ZTERR_RECORD_NOT_FOUND = 13,       // (s logical name)
    ZTERR_NO_CONNECTION = 14,          // (s connection name)
    ZTERR_DESCRIPTION_UNREADABLE = 15, // (s name or path, s text)
    ZTERR_VERSION_MISMATCH = 16,       // (s module, s module)
    ZTERR_NO_BROWSE_ITEM = 17,
    ZTERR_RECORD_NUMBER = 18,
    ZTERR_NO_DATA_ACCESS = 19,         // (s logical name)
    ZTERR_INCOMPATIBLE = 20,           // (s logical name, s item)
    ZTERR_SERVER = 22,                 // (s database, u server error)
    ZTERR_CLIENT_CRASH = 23,           // (s library kind)
    ZTERR_NO_SUCH_ITEM = 26,           // (s table, s item)
    ZTERR_CLIENT_LOAD = 27,            // (s library kind, s name, u module)
    ZTERR_LOCK_NO_TRANSACTION = 29,
    ZTERR_NO_COLUMN = 30,              // (s logical name)
    ZTERR_CANCELLED = 34,
    ZTERR_SELF_REFERENCE = 32,         // (s item)
    ZTERR_WITHOUT_CORRECTION = 35,
    ZTERR_CLIENT_FUNCTION = 37,        // (s function)
    ZTERR_NO_SUB_QUERY = 41,           // (s logical name)
    ZTERR_VALUE_TOO_LONG = 42,
    ZTERR_BAD_DATE_TIME = 43,
    ZTERR_UNICODE_REFUSED = 46,        // (s default database, s data source)
    ZTERR_EXPRESSION_REFUSED = 48,     // (s server kind)
    ZTERR_COLUMN_INDEX = 50,           // (d index, d count)
    ZTERR_COLUMN_NEGATIVE = 51,        // (d index)
    ZTERR_CONVERSION = 53,             // (d source type, d item type, s value)
    ZTERR_CACHE_INCOMPLETE = 55,
    ZTERR_NO_ROW = 59,                 // (s logical name, s item)
    ZTERR_ANY_NOT_HANDLED = 60,
    ZTERR_ANY_101 = 61,
    ZTERR_ANY_107 = 63,
    ZTERR_ANY_106 = 64,                // (d type, d type)
    ZTERR_ANY_RANGE = 65,              // (d type, d type)
    ZTERR_ANY_BINARY = 66,             // (d type, d type)
    ZTERR_CLIENT_LIBRARY = 74,         // (s library kind, s loaded, s wanted)
    ZTERR_NO_SSL = 75,                 // (s client version)
    ZTERR_NO_OPTIONS = 76,             // (s client version)
    ZTERR_CODE_PAGE = 77,              // (s query, d code page, s connection, s default database, s database)
    ZTERR_INIT_HANDLE = 78,
    ZTERR_CONNECT = 79,
    ZTERR_BACKWARDS = 82,
    ZTERR_NO_REFRESH = 83,
    ZTERR_QUERY_TOO_LONG = 320101,     // (s database, u server error, d max, d length, s query start)
    ZTERR_CLIENT_VERSION = 320102,     // (s expected, s loaded)
};
