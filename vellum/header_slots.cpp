#include "vellum/header_slots.h"

namespace qx::vellum {

void fillHeaderSlots(const GroupTableHeader& header, report::Table& table) {
  for (const HeaderSlot& slot : header.slots) {
    if (slot.shown) table.write(slot.row, slot.column, slot.text);
  }
}

}  // namespace qx::vellum
