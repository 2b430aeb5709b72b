#pragma once
// Structured references inside formula texts: Table1[Amount], Table1[[#This Row],[Amount]],
// Table1[[Amount]:[Cost]]. A table column's name appears in every formula that refers to it
// this way, so renaming the column means rewriting them, as the application does.

#include <string>
#include <string_view>

namespace qx::engine {

// The name folded for comparisons that ignore case, as table and column names are compared:
// ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and full-width Latin letters.
std::string foldedName(std::string_view utf8);

// Whether the formula refers to column `column` of table `table` (names compared ignoring
// case). Texts in quotes are no references.
bool refersToColumn(std::string_view formula, std::string_view table, std::string_view column);

// Rewrites every reference to column `from` of table `table` to name column `to` instead,
// escaped and bracketed as a reference to that name needs; returns whether anything changed.
bool renameColumnReferences(std::string& formula, std::string_view table, std::string_view from,
                            std::string_view to);

}  // namespace qx::engine
