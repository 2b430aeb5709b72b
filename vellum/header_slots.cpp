#include "vellum/header_slots.h"

#include "automation/sheet_moves.h"

namespace qx::vellum {

void fillHeaderSlots(const GroupTableHeader& header,
                     const automation::AutomationObject& usedRange) {
  for (const HeaderSlot& slot : header.slots) {
    if (slot.shown) automation::writeCell(usedRange, slot.row, slot.column, slot.text);
  }
}

}  // namespace qx::vellum
