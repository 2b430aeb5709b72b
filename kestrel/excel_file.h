#pragma once
// The export the host calls: one report per call.

#include "report/export.h"

extern "C" {

// Fills and saves the template named by the header record (`header`, 1036 bytes, not null)
// with one table row per record of the row list starting at `firstRow` (5464-byte records, or
// null for a table without rows). Returns nothing; every failure is shown to the user.
QX_EXPORT void excel_file(const void* header, const void* firstRow);
}
