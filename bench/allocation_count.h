// Counts the program's heap allocations, for benchmarks that must allocate nothing.
#ifndef PELORIN_ALLOCATION_COUNT_H
#define PELORIN_ALLOCATION_COUNT_H

// Allocations through operator new since the program started.
long AllocationCount();

#endif
