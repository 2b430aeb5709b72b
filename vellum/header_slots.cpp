#include "vellum/header_slots.h"

#include "report/sheet_writing.h"

namespace qx::vellum {

void fillHeaderSlots(const GroupTableHeader& header,
                     const automation::AutomationObject& usedRange) {
  for (const HeaderSlot& slot : header.slots) {
    if (slot.shown) report::writeCell(usedRange, slot.row, slot.column, slot.text);
  }
}

}  // namespace qx::vellum
