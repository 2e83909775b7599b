// The processor cores this process may run on.
#pragma once

// The cores the process is allowed to use (its affinity where the system has one, so a batch
// scheduler's share or a `taskset` is respected); at least 1.
int available_cores();
