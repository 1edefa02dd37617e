#pragma once

// How many processors this process may run on (its affinity mask, as `taskset` or a container
// sets it). A helper thread only pays where there is a second one: on a single processor it
// takes turns with the thread it was meant to relieve and adds the cost of handing work over.
int tk_usable_cpus() noexcept;
