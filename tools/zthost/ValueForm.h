// The one form in which the command-line host prints a value, whether the
// SQL interface or the table object read it:
//   NULL            \N
//   text            UTF-8, with \\ \t \n \r \0 for backslash, tab, line
//                   feed, carriage return and NUL; a result's text in a
//                   character set other than UTF-8 converted from it
//                   (latin1, latin5, latin7, cp850, cp1250, koi8r, ascii),
//                   else, or where a byte has no character there, bytes
//   bytes           \x and their hexadecimal, whole (\x00FF41)
//   date            2024-02-29
//   date-time       2024-02-29 23:59:58[.fraction]
//   time            23:59:58[.fraction]
//   real            the shortest text that reads back as the same number
//                   (1.5e+300, 0.1); a FLOAT's number is the server's text
//                   of it, which keeps 6 significant digits
//   decimal         its digits with the column's scale (12.50)
//   anything else   its text
#pragma once

#include <cstddef>
#include <string>

class CAny;
class INAItemDescription;

// How a column's or an item's values print.
struct STValueForm {
    enum EKind { TEXT, BYTES, DATE, DATETIME, TIME, REAL4, REAL8, DECIMAL, SERVER_DATE };
    EKind eKind = TEXT;
    // Digits after the point: a decimal's scale, a time's fraction.
    int nDigits = 0;
    // A text read as bytes in this character set (iconv's name), printed
    // converted; null when the driver reads it.
    const char* pszCharset = nullptr;
};

// Plain UTF-8 of a wide text (messages, names).
std::string Utf8(const wchar_t* psz, size_t n);
// A text in its printed form.
std::string EscapedText(const std::string& strUtf8);
// A column of a query's result, described by the SQL interface; the
// character set of a text is known only from a module of this build.
STValueForm FormOfColumn(INAItemDescription* piColumn, bool bOwnBuild);
// An item of a table, described for the table object.
STValueForm FormOfItem(INAItemDescription* piItem);
// A value's bytes, as bGetBLOBValue reads them.
std::string ValueBytes(const CAny& v);
// A value read through the SQL interface, in the column's form. Binary
// columns and texts in a character set are read as bytes (bGetBLOBValue),
// the others as text.
std::string ColumnValueText(CAny& v, const STValueForm& stForm);
// A value the table object holds for an item, in the item's form.
std::string ItemValueText(CAny& v, const STValueForm& stForm);
