/* Compiled as C: the header's vtbl structures exist only in its C view. */
#include "velk10.h"
#include "vtable_slots.h"

#define SLOT(member) { #member, offsetof(_clsVELKDebuggerAVtbl, member) / sizeof(void*) }

const struct VtableSlot velk10_debugger_slots[] = {
    SLOT(get_AppObj),
    SLOT(putref_AppObj),
    SLOT(CreateDebugInfoWindow),
    SLOT(DestroyDebugInfoWindow),
    SLOT(AddDebugMessage),
    SLOT(AddClearMessages),
    SLOT(ShowDebuggerOptions),
    SLOT(ShowDebuggerWindow),
};
const size_t velk10_debugger_slot_count = sizeof velk10_debugger_slots / sizeof velk10_debugger_slots[0];
const size_t velk10_debugger_vtbl_slots = sizeof(_clsVELKDebuggerAVtbl) / sizeof(void*);
const size_t velk10_app_vtbl_slots = sizeof(_clsVELK10AVtbl) / sizeof(void*);
