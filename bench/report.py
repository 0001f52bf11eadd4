#!/usr/bin/env python3
"""Prints the table of one bench run: wirelab's figures, the baselines' figures
from the same run, their ratios, and the target each ratio is held to."""
import os
import sys

out = sys.argv[1]


def load(name):
    values = {}
    try:
        with open(os.path.join(out, name)) as f:
            for line in f:
                k, sep, v = line.strip().partition('=')
                if sep:
                    values[k] = v
    except OSError:
        pass
    return values


def num(name, key):
    try:
        return float(load(name)[key])
    except (KeyError, ValueError):
        return None


def fmt(v, digits=0):
    if v is None:
        return 'n/a'
    if digits == 0:
        return f'{v:,.0f}'
    return f'{v:,.{digits}f}'


def ratio(a, b):
    if a is None or b is None or b == 0:
        return None
    return a / b


rows = []


def row(scenario, figure, w, e=None, n=None, target='', ok=None, digits=0):
    rows.append([scenario, figure, fmt(w, digits), fmt(e, digits) if e is not None else '',
                 fmt(ratio(w, e), 2) if e is not None else '', fmt(n, digits) if n is not None else '',
                 fmt(ratio(w, n), 2) if n is not None else '', target,
                 '' if ok is None else ('yes' if ok else 'NO')])


def at_least(v, limit):
    return v is not None and v >= limit


def at_most(v, limit):
    return v is not None and v <= limit


# 1. TCP ping-pong
for mode, label, need in (('split', 'split cores', 0.8), ('one', 'one core', 0.5)):
    w, e, n = (num(f'pp-{s}-{mode}', 'rt_per_s') for s in ('wirelab', 'epoll', 'node'))
    row(f'1. TCP echo, {label}', 'round trips/s', w, e, n, f'>= {need} x epoll', at_least(ratio(w, e), need))
    for p in ('p50', 'p99'):
        row(f'1. TCP echo, {label}', f'{p} latency (us)', *(num(f'pp-{s}-{mode}', f'{p}_us') for s in ('wirelab', 'epoll', 'node')), digits=0)

# 1. (headless) The program run headless, every line logged to a file.
w, e, n = (num(f'pp-{s}-split', 'rt_per_s') for s in ('headless', 'epoll', 'node'))
row('1. TCP echo, split cores, headless', 'round trips/s', w, e, n, '>= 0.9 x epoll, >= 1.0 x node',
    at_least(ratio(w, e), 0.9) and at_least(ratio(w, n), 1.0))
row('1. TCP echo, split cores, headless', 'p99 latency (us)',
    *(num(f'pp-{s}-split', 'p99_us') for s in ('headless', 'epoll', 'node')), digits=0)


# Server CPU per round trip: moves less with the machine's load than the
# wall figures. The last row runs the headless echo with a json2str written
# out by hand instead of JSON.stringify (bench/projects/handjson.js).
def cpu_per_rt(name):
    c, k = num(name, 'server_cpu_s'), num(name, 'round_trips')
    return None if c is None or not k else c / k * 1e6


base = [cpu_per_rt(f'pp-{s}-split') for s in ('epoll', 'node')]
for name, label in (('pp-wirelab-split', 'split cores'), ('pp-headless-split', 'split cores, headless')):
    row(f'1. TCP echo, {label}', 'server CPU per round trip (us)', cpu_per_rt(name), *base, digits=1)
hand = '1. TCP echo, split cores, headless, json2str by hand'
row(hand, 'round trips/s', num('pp-headless-hand', 'rt_per_s'), num('pp-epoll-split', 'rt_per_s'),
    num('pp-node-split', 'rt_per_s'))
row(hand, 'server CPU per round trip (us)', cpu_per_rt('pp-headless-hand'), *base, digits=1)

# 2. UDP receive
lost = lambda name, got: None if got is None or num(name, 'datagrams_sent') is None else num(name, 'datagrams_sent') - got
sent = num('udp-wirelab', 'datagrams_sent')
w = num('udp-wirelab', 'script_reads')
e = num('udp-epoll', 'server_datagrams_received')
n = num('udp-node', 'server_datagrams_received')
row('2. UDP receive', 'datagrams handled', w, e, n, '>= epoll, none lost',
    w is not None and e is not None and w >= e and lost('udp-wirelab', w) == 0)
rows.append(['2. UDP receive', 'datagrams lost', fmt(lost('udp-wirelab', w)), fmt(lost('udp-epoll', e)), '',
             fmt(lost('udp-node', n)), '', '', ''])
row('2. UDP receive', 'handled/s', num('udp-wirelab', 'handled_per_s'))
hl = num('udp-headless', 'datagrams_logged')
row('2. UDP receive, headless', 'datagrams handled (logged)', hl, e, n, '>= epoll, none lost',
    hl is not None and e is not None and hl >= e and lost('udp-headless', hl) == 0)
rows.append(['2. UDP receive, headless', 'datagrams lost', fmt(lost('udp-headless', hl)), '', '', '', '', '', ''])

# 3. Bulk: every byte logged, in the window and headless, against Node.js
# keeping its hex log, in wall time and in the server's own CPU time, both
# until the server is idle again (work a view puts off is counted).
def per_s(name, key):
    b, t = num(name, 'bytes'), num(name, key)
    return None if b is None or not t else b / 1e6 / t


e_wall, n_wall = per_s('bulk-epoll', 'server_busy_s'), per_s('bulk-node', 'server_busy_s')
e_cpu, n_cpu = per_s('bulk-epoll', 'server_cpu_s'), per_s('bulk-node', 'server_cpu_s')
for name, label in (('bulk-wirelab', 'window'), ('bulk-headless', 'headless')):
    scenario = f'3. Bulk, {label}, all logged'
    w = per_s(name, 'server_busy_s')
    row(scenario, 'MB/s until idle (wall)', w, e_wall, n_wall, '>= 3 x node', at_least(ratio(w, n_wall), 3), digits=1)
    w = per_s(name, 'server_cpu_s')
    row(scenario, 'MB per CPU second of the server', w, e_cpu, n_cpu, '>= 3 x node', at_least(ratio(w, n_cpu), 3),
        digits=1)
    row(scenario, 'MB/s at the load generator', num(name, 'mb_per_s'), num('bulk-epoll', 'mb_per_s'),
        num('bulk-node', 'mb_per_s'), digits=1)
    sent = num(name, 'bytes')
    if label == 'window':
        logged = num(name, 'log_bytes')
        row(scenario, 'bytes in the log', logged, target='= bytes sent', ok=logged is not None and logged == sent)
        p99 = num(name, 'loop_p99_ms')
        row(scenario, 'event loop p99 (ms)', p99, target='< 50', ok=p99 is not None and p99 < 50, digits=1)
        peak = num(name, 'rss_peak_kb')
        mpb = num(name, 'mem_per_logged_byte')
    else:
        logged = num(name, 'log_file_bytes')
        row(scenario, 'bytes in the --log file', logged, target='>= bytes sent',
            ok=logged is not None and sent is not None and logged >= sent)
        peak = num(name, 'rss_peak_kb')
        rss, idle = num(name, 'rss_kb'), num(name, 'idle_rss_kb')
        mpb = None if rss is None or idle is None or not sent else (rss - idle) * 1024 / sent
    row(scenario, 'peak RSS (MiB)', None if peak is None else peak / 1024, digits=0)
    row(scenario, 'memory per logged byte', mpb, target='<= 1.5', ok=at_most(mpb, 1.5), digits=2)

spill = num('bulk-spill', 'rss_peak_kb')
spill_bytes = num('bulk-spill', 'bytes')
label = '3. Bulk, headless, --log-memory 64' + ('' if spill_bytes is None else f', {spill_bytes / 2**30:.0f} GiB')
if spill is None:
    rows.append([label, 'peak RSS (MiB)', 'not available', '', '', '', '', '< 400', ''])
else:
    row(label, 'peak RSS (MiB)', spill / 1024, target='< 400', ok=spill / 1024 < 400, digits=0)

# 4. Accept scale
for name in sorted({f.split('-')[0] for f in os.listdir(out) if f.startswith('accept')},
                   key=lambda s: int(s[len('accept'):])):
    count = int(name[len('accept'):])
    w, e, n = (num(f'{name}-{s}', 'conns_per_s') for s in ('wirelab', 'epoll', 'node'))
    big = count >= 5000
    row(f'4. Accept {count:,}', 'connections/s', w, e, n, '>= 0.3 x node' if big else '',
        at_least(ratio(w, n), 0.3) if big else None)
    if num(f'{name}-wirelab', 'incomplete'):
        row(f'4. Accept {count:,}', 'finished in 240 s (rate up to then)', num(f'{name}-wirelab', 'connections'),
            target=f'= {count:,}', ok=False)
    complete = num(f'{name}-wirelab', 'accepted_complete')
    connects = num(f'{name}-wirelab', 'script_connects')
    row(f'4. Accept {count:,}', 'with node, window, OnConnect', min(complete or 0, connects or 0),
        target=f'= {count:,}', ok=complete is not None and connects is not None and min(complete, connects) >= count)
    before, after = num(f'{name}-wirelab', 'rss_before_kb'), num(f'{name}-wirelab', 'rss_after_kb')
    row(f'4. Accept {count:,}', 'RSS per accepted connection (KiB)',
        None if before is None or after is None or not complete else (after - before) / complete, digits=1)
    p99 = num(f'{name}-wirelab', 'loop_p99_ms')
    row(f'4. Accept {count:,}', 'event loop p99 (ms)', p99, target='< 100', ok=p99 is not None and p99 < 100, digits=1)

# 5. Timers
share = num('timers-wirelab', 'on_time_share')
row('5. Timers, 1,000 endpoints', 'ticks on time (%)', None if share is None else share * 100,
    target='>= 95', ok=at_least(share, 0.95), digits=1)
row('5. Timers, 1,000 endpoints', 'tick handling p99 (ms)', num('timers-wirelab', 'tick_p99_ms'), digits=1)

# 6. Receive pane: the endpoint's log and the view over it.
pane = load('pane-wirelab')
first = None
for k in sorted((k for k in pane if k.startswith('append_us_at_')), key=lambda k: int(k.rsplit('_', 1)[1])):
    lines = int(k.rsplit('_', 1)[1])
    v = float(pane[k])
    first = first or v
    last = lines >= 1000000
    row('6. Receive pane', f'append CPU us/line at {lines:,} lines', v, target='<= 1.5 x at 1k' if last else '',
        ok=(v / first <= 1.5) if last else None, digits=2)
row('6. Receive pane', 'memory per 16-byte line beyond its bytes', num('pane-wirelab', 'mem_per_line_extra'),
    target='<= 40', ok=at_most(num('pane-wirelab', 'mem_per_line_extra'), 40), digits=1)
lines = num('pane-wirelab', 'lines')
for key, what in (('none', 'no match'), ('many', 'many matches')):
    v = num('pane-wirelab', f'find_cpu_ms_{key}')
    row('6. Receive pane', f'find over {fmt(lines)} lines, {what} (CPU ms)', v, target='< 100',
        ok=at_most(v, 99.999), digits=1)
    row('6. Receive pane', f'find over {fmt(lines)} lines, {what} (wall ms)', num('pane-wirelab', f'find_ms_{key}'),
        digits=1)
for key, what in (('none', 'no match'), ('many', 'many matches')):
    row('6. Receive pane', f'only lines that contain, over {fmt(lines)} lines, {what} (CPU ms)',
        num('pane-wirelab', f'filter_cpu_ms_{key}'), digits=1)
p99 = num('pane-wirelab', 'flood_loop_p99_ms')
row('6. Receive pane', f'event loop p99, flood logged at {fmt(lines)} lines (ms)', p99, target='< 50',
    ok=p99 is not None and p99 < 50, digits=1)

# 7. Start-up
st = num('startup-wirelab', 'startup_ms')
row('7. Start-up', 'to first activation (ms)', st, target='< 300', ok=st is not None and st < 300)
idle = num('startup-wirelab', 'idle_rss_kb')
idle = None if idle is None else idle / 1024
row('7. Start-up', 'idle RSS (MiB)', idle, target='< 80', ok=idle is not None and idle < 80, digits=1)

idle = num('pp-headless-split', 'idle_rss_kb')
idle = None if idle is None else idle / 1024
row('7. Start-up, headless', 'idle RSS (MiB)', idle, target='< 30', ok=idle is not None and idle < 30, digits=1)

# 8. TLS ping-pong: the scripted echo over TLS against an epoll + OpenSSL
# echo server (the "epoll" column) and Node.js tls in the same run. Both
# sides do the same OpenSSL work, so the headless ratio is held a little
# under the plain TCP echo's: wirelab's TLS socket layers its own buffers on
# top. The server's CPU time per round trip moves less with the machine's
# load than the wall figures do.
TLS_NEED = 0.6
for name, label in (('tls-headless-split', 'headless'), ('tls-wirelab-split', 'window')):
    scenario = f'8. TLS echo, split cores, {label}'
    w, e, n = (num(s, 'rt_per_s') for s in (name, 'tls-epoll-split', 'tls-node-split'))
    headless = label == 'headless'
    row(scenario, 'round trips/s', w, e, n, f'>= {TLS_NEED} x epoll+OpenSSL' if headless else '',
        at_least(ratio(w, e), TLS_NEED) if headless else None)
    row(scenario, 'p99 latency (us)', *(num(s, 'p99_us') for s in (name, 'tls-epoll-split', 'tls-node-split')))
    row(scenario, 'server CPU per round trip (us)',
        *(cpu_per_rt(s) for s in (name, 'tls-epoll-split', 'tls-node-split')), digits=1)

head = ['Scenario', 'Figure', 'wirelab', 'epoll', 'w/epoll', 'Node.js', 'w/Node', 'Target', 'Met']
print('| ' + ' | '.join(head) + ' |')
print('|' + '|'.join('---' for _ in head) + '|')
for r in rows:
    print('| ' + ' | '.join(r) + ' |')
