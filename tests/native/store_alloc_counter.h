// Counts calls of the global operator new while counting is switched on. The replacement lives
// in store_alloc_counter.cpp, the only replacement of operator new in the native test program.
#pragma once

namespace alloc_counter {

void Start();      // resets the count and starts counting
long Stop();       // stops counting and returns the number of operator new calls since Start

}  // namespace alloc_counter
