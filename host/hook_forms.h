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

/* hook(instance). */
typedef void (*InstanceHook)(BlockInstance* instance);
/* hook(instance, port, value); the value is a width, typeId, complexity or frameMode. */
typedef void (*PortValueHook)(BlockInstance* instance, int32_t port, int32_t value);
/* hook(instance, port, dimension record). */
typedef void (*PortDimsHook)(BlockInstance* instance, int32_t port, const PortDimsRecord* dims);
/* hook(instance, port, sample period, sample offset). */
typedef void (*PortSampleTimeHook)(BlockInstance* instance, int32_t port, double period,
                                   double offset);
/* hook(instance, port). */
typedef void (*PortHook)(BlockInstance* instance, int32_t port);

/* A slot whose form depends on how the host drives it; it holds one of the forms above, converted
 * to this type, and is converted back to that same form before it is called. */
typedef void (*HookEntry)(void);

#ifdef __cplusplus
}
#endif

#endif
