/* The calling forms of a block's hooks. Every hook returns nothing the host reads; a hook that
 * fails stores a message with setErrorStatus and returns. */
#ifndef KQ_HOST_HOOK_FORMS_H
#define KQ_HOST_HOOK_FORMS_H

#include <stdint.h>

#include "host/port_records.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct BlockInstance BlockInstance;

/* Form A: hook(instance). */
typedef void (*HookFormA)(BlockInstance* instance);
/* Form P: hook(instance, port, value); the value is a width, typeId, complexity or frameMode. */
typedef void (*HookFormP)(BlockInstance* instance, int32_t port, int32_t value);
/* Form D: hook(instance, port, dimension record). */
typedef void (*HookFormD)(BlockInstance* instance, int32_t port, const PortDimsRecord* dims);
/* Form T: hook(instance, port, sample period, sample offset). */
typedef void (*HookFormT)(BlockInstance* instance, int32_t port, double period, double offset);
/* Form I: hook(instance, port). */
typedef void (*HookFormI)(BlockInstance* instance, int32_t port);

/* A slot whose form depends on how the host drives it; it holds one of the forms above, converted
 * to this type, and is converted back to that same form before it is called. */
typedef void (*HookEntry)(void);

#ifdef __cplusplus
}
#endif

#endif
