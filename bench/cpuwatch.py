#!/usr/bin/env python3
"""Runs a command (the load generator) against a server process, then waits
until the server's CPU time stands still, so that work the server put off
(a view drawing later, a log written later) is counted.

  cpuwatch.py PID -- command...

Passes the command's output through, then prints
  server_cpu_s   CPU seconds (user + system, all threads) PID used from the
                 command's start until it was idle again
  server_busy_s  seconds from the command's start to the end of the last
                 poll interval the server worked more than a quarter of
and exits with the command's status."""
import subprocess
import sys
import time

POLL_S = 0.02
QUIET_S = 0.3      # idle: no rise for this long
LIMIT_S = 120      # whatever happens, the wait ends
NOISE_S = 0.015    # CPU time that counts as idle within QUIET_S (5%)
BUSY_SHARE = 0.25  # a poll interval the server worked more of is busy


def cpu_s(pid):
    # The process's CPU clock (all its threads, nanoseconds), as
    # clock_getcpuclockid() makes its id.
    try:
        return time.clock_gettime(((~pid) << 3) | 2)
    except OSError:
        return None


def runnable(pid):
    # A server waiting for a core is not idle, though its CPU time stands
    # still while it waits (a loaded machine).
    try:
        with open(f'/proc/{pid}/stat') as f:
            return f.read().rpartition(')')[2].split()[0] == 'R'
    except (OSError, IndexError):
        return False


def main():
    pid = int(sys.argv[1])
    command = sys.argv[sys.argv.index('--') + 1:]
    start_cpu = cpu_s(pid)
    t0 = time.monotonic()
    rc = subprocess.call(command)
    sys.stdout.flush()
    # Idle: no more than NOISE_S of CPU time in QUIET_S.
    tick = NOISE_S
    samples = [(time.monotonic(), cpu_s(pid))]
    while samples[-1][1] is not None and samples[-1][0] - t0 < LIMIT_S:
        time.sleep(POLL_S)
        samples.append((time.monotonic(), cpu_s(pid)))
        if samples[-1][1] is None:
            samples.pop()
            break
        now, cpu = samples[-1]
        older = [c for t, c in samples if now - t >= QUIET_S]
        if older and cpu - older[-1] <= tick and not runnable(pid):
            break
    final = samples[-1][1]
    if start_cpu is not None and final is not None:
        busy_end = samples[0][0]
        for (t1, c1), (t2, c2) in zip(samples, samples[1:]):
            if c2 - c1 > BUSY_SHARE * (t2 - t1):
                busy_end = t2
        print(f'server_cpu_s={final - start_cpu:.3f}')
        print(f'server_busy_s={busy_end - t0:.3f}')
    sys.stdout.flush()
    return rc


if __name__ == '__main__':
    sys.exit(main())
