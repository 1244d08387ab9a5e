#pragma once
/* V-table slots of the two interfaces as the widl-generated C header lays them out
 * (index of the function pointer in the C vtbl structure), for comparison with the
 * offsets that the type library declares. */
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

struct VtableSlot {
  const char* member; /* as the header names it: get_AppObj, putref_AppObj, ... */
  size_t slot;
};

extern const struct VtableSlot velk10_debugger_slots[];
extern const size_t velk10_debugger_slot_count;
extern const size_t velk10_debugger_vtbl_slots; /* size of the whole vtbl structure */
extern const size_t velk10_app_vtbl_slots;

#ifdef __cplusplus
}
#endif
