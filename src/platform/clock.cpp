// Millisecond clock, precise sleep and mutexes of the platform layer.
#include "platform/clock.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>

#include "platform/log.h"

// Monotonic milliseconds, counted from an arbitrary start (the system's boot).
static long long clock_ms()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

bool vark_time(long *seconds, long *microseconds)
{
    long long ms = clock_ms();
    *seconds = (long)(ms / 1000);
    *microseconds = (long)(ms % 1000 * 1000);
    return true;
}

long vark_sleep_first_ms(long seconds, long microseconds)
{
    long long ms = (long long)seconds * 1000 + microseconds / 1000;
    if (ms <= 0)
        return 0;
    return (long)(ms >= 2 ? ms - 1 : ms);
}

static void sleep_ms(long ms)
{
    timespec left = {ms / 1000, ms % 1000 * 1000000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void vark_sleep(long seconds, long microseconds)
{
    long start_s = 0, start_us = 0;
    vark_time(&start_s, &start_us);
    sleep_ms(vark_sleep_first_ms(seconds, microseconds));

    // The operating system's sleep may end early or late by a tick; the
    // rest is spun on the millisecond clock.
    long long deadline_s = (long long)start_s + seconds;
    long long deadline_us = (long long)start_us + microseconds;
    deadline_s += deadline_us / 1000000;
    deadline_us %= 1000000;
    for (;;) {
        long now_s = 0, now_us = 0;
        vark_time(&now_s, &now_us);
        if (now_s > deadline_s || (now_s == deadline_s && now_us >= deadline_us))
            return;
        sched_yield();
    }
}

struct VarkMutex {
    pthread_mutex_t mutex;
};

VarkMutex *vark_mutex_create()
{
    VarkMutex *mutex = (VarkMutex *)malloc(sizeof(VarkMutex));
    if (!mutex) {
        vark_error("Out of memory for a mutex");
        return nullptr;
    }
    if (pthread_mutex_init(&mutex->mutex, nullptr) != 0) {
        free(mutex);
        vark_error("Can't create a mutex");
        return nullptr;
    }
    return mutex;
}

bool vark_mutex_lock(VarkMutex *mutex)
{
    return mutex && pthread_mutex_lock(&mutex->mutex) == 0;
}

void vark_mutex_unlock(VarkMutex *mutex)
{
    if (mutex)
        pthread_mutex_unlock(&mutex->mutex);
}

void vark_mutex_destroy(VarkMutex *mutex)
{
    if (!mutex)
        return;
    pthread_mutex_destroy(&mutex->mutex);
    free(mutex);
}
