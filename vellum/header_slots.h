#pragma once
// The 24 header texts, written into the cells the host chose for them.

#include "report/table.h"
#include "vellum/group_table_header.h"

namespace qx::vellum {

// Writes every shown slot's text, in writing order, into the table; a later slot naming the
// same cell wins. Cells of hidden slots are not touched; nothing is framed.
void fillHeaderSlots(const GroupTableHeader& header, report::Table& table);

}  // namespace qx::vellum
