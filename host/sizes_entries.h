/* The 38 sizes entries of a block instance, returned to a command-line caller as the SizesVector.
 */
#ifndef KQ_HOST_SIZES_ENTRIES_H
#define KQ_HOST_SIZES_ENTRIES_H

#include <stdint.h>

/* Index of each entry in BlockInstance.sizes. Entries the block does not use are the host's; their
 * names say what this host keeps there, and the block copies them to the SizesVector unread. */
enum SizesIndex {
    kSizesNumContStates = 0,
    kSizesNumDiscStates = 1,
    kSizesNumOutputPorts = 2, /* set by the setNumOutputPorts service */
    kSizesNumInputPorts = 3,  /* set by the setNumInputPorts service */
    kSizesCurrentPort = 4,    /* port of the current port-wise hook call, set by the host */
    kSizesNumDialogParamsExpected = 5, /* set by registerRBlockParams */
    kSizesNumSampleTimes = 6,          /* declared by the block's size hook */
    kSizesNumWorkVectors = 7, /* set by the setNumWorkVectors service; -1 while undecided */
    kSizesNumModes = 8,
    kSizesNumNonsampledZCs = 9,
    kSizesHostReserved10 = 10,
    kSizesHostReserved11 = 11,
    kSizesHostReserved12 = 12,
    kSizesHostReserved13 = 13,
    kSizesHostReserved14 = 14,
    kSizesHostFlags15 = 15, /* host flag words, reported as unsigned */
    kSizesHostFlags16 = 16,
    kSizesHostFlags17 = 17,
    kSizesHostFlags18 = 18,
    kSizesInterfaceStamp = 19, /* kvxLevel2Stamp after every command-line call */
    kSizesHostReserved20 = 20,
    kSizesHostReserved21 = 21,
    kSizesHostReserved22 = 22,
    kSizesBlockOptions = 23, /* option bits declared by the block; reported as unsigned */
    kSizesHostReserved24 = 24,
    kSizesHostReserved25 = 25,
    kSizesHostReserved26 = 26,
    kSizesHostReserved27 = 27,
    kSizesHostReserved28 = 28,
    kSizesHostReserved29 = 29,
    kSizesHostReserved30 = 30,
    kSizesInstanceFlags = 31, /* kInstanceFlag* bits below */
    kSizesHostReserved32 = 32,
    kSizesHostReserved33 = 33,
    kSizesHostReserved34 = 34,
    kSizesHostReserved35 = 35,
    kSizesHostReserved36 = 36,
    kSizesHostReserved37 = 37,
    kNumSizesEntries = 38
};

/* The interface stamp written to entry kSizesInterfaceStamp by every command-line call, and the
 * second element of the load-time marker. */
enum { kvxLevel2Stamp = 5200229 };

/* Bits of the instanceFlags entry. */
enum {
    /* Set: the host sizes ports with dimension-info calls (codes 126, 127); clear: width calls
     * (codes 115, 116). Set by the host. */
    kInstanceFlagDimensionInfoSizing = 1u << 0,
    /* Set by the port-count services once a port count was declared. */
    kInstanceFlagPortCountsSet = 1u << 1,
    /* Set (0x800) and cleared (0x1000) by the block's size hook; their meaning is the host's. */
    kInstanceFlagBit11 = 1u << 11,
    kInstanceFlagBit12 = 1u << 12
};

/* Bit that every command-line call adds to the blockOptions entry. */
enum { kBlockOptionCommandLineCall = 0x2000 };

#endif
