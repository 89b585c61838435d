// Millisecond clock, precise sleep and mutexes of the platform layer.
#pragma once

// Monotonic milliseconds as (seconds, microseconds); microseconds is a multiple of 1000.
bool vark_time(long *seconds, long *microseconds);

// Returns when at least the given time has passed; the last millisecond is spun with yields.
void vark_sleep(long seconds, long microseconds);

// Milliseconds vark_sleep hands to the operating system before it spins:
// one less than the whole milliseconds asked for, when there are at least two.
long vark_sleep_first_ms(long seconds, long microseconds);

struct VarkMutex;
VarkMutex *vark_mutex_create();
bool vark_mutex_lock(VarkMutex *mutex);
void vark_mutex_unlock(VarkMutex *mutex);
void vark_mutex_destroy(VarkMutex *mutex);
