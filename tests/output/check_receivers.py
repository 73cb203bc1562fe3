#!/usr/bin/env python3
"""What `lumomap test` puts on the wire, read by receivers that others wrote.

usage: check_receivers.py LUMOMAP MAP olad|tshark sacn|artnet

olad:   runs the level and node patterns live to 127.0.0.1 and compares all 512 channels of every universe
        olad received with the patch list; a universe the map does not use must receive nothing.
tshark: records a chase with --dry-run --pcap and checks, as tshark decodes it, the universes, sequence
        numbers, sACN priority, source name and stream ends, and that the chase walks each chain in order.
Exits 77 (skipped) when the receiver is missing or never gets ready.
"""
import itertools, json, os, shutil, signal, socket, subprocess, sys, tempfile, time, urllib.request

TOOL, MAP, RECEIVER, PROTOCOL = sys.argv[1:5]
SACN = PROTOCOL == 'sacn'
SKIP, SIZE, LOCAL = 77, 510, '127.0.0.1'
# sACN: both controllers on the map's own universes 1-4; Art-Net: one controller moved to 0-2. Each
# listens to one universe more, which nothing may reach.
WIRING = [] if SACN else ['--interface', 'Rig', '--start-universe', '0']
LISTEN = [1, 2, 3, 4, 5] if SACN else [0, 1, 2, 3]
failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


def run(command, **kw):
    return subprocess.run(command, capture_output=True, encoding='utf-8', timeout=60, **kw)


def channels(node):
    """(universe, channel) of each channel the node occupies, into the next universe when it crosses."""
    first = node['channel'] - 1
    return [(node['universe'] + (first + i) // SIZE, (first + i) % SIZE + 1) for i in range(node['counted_channels'])]


NODES = json.loads(run([TOOL, 'patch', MAP, '--json', *WIRING]).stdout)
USED = sorted({u for n in NODES for u, _ in channels(n)})
test_command = [TOOL, 'test', MAP, '--protocol', PROTOCOL, '--to', LOCAL, *WIRING]

# ---- olad ----
PLUGINS = ('artnet dummy e131 espnet ftdidmx gpio karate kinet milinst opendmx openpixelcontrol osc pathport '
           'renard sandnet shownet spi stageprofi uartdmx usbdmx usbserial').split()


def free_port():
    with socket.socket() as s:
        s.bind((LOCAL, 0))
        return s.getsockname()[1]


def get_dmx(http, universe):
    with urllib.request.urlopen(f'http://{LOCAL}:{http}/get_dmx?u={universe}', timeout=5) as answer:
        reply = json.load(answer)
    return reply['error'], reply['dmx']


def start_olad(folder):
    """olad with only the one plugin, its input ports patched to LISTEN; None if it never gets ready."""
    conf = {f'ola-{name}.conf': 'enabled = false\n' for name in PLUGINS}
    if SACN:
        conf['ola-e131.conf'] = 'enabled = true\n'
        conf['ola-port.conf'] = ''.join(f'11-1-I-{i} = {u}\n' for i, u in enumerate(LISTEN))
    else:
        conf['ola-artnet.conf'] = f'enabled = true\nuse_loopback = true\nip = {LOCAL}\n'
        conf['ola-port.conf'] = ''.join(f'2-1-I-{i} = {u}\n' for i, u in enumerate(LISTEN))
    for name, text in conf.items():
        with open(os.path.join(folder, name), 'w') as f:
            f.write(text)
    http = free_port()
    command = ['olad', '-c', folder, '-p', str(http), '-r', str(free_port())]
    if os.geteuid() == 0:  # olad refuses root: run it as its own user, owning its configuration
        for path in [folder] + [os.path.join(folder, name) for name in conf]:
            shutil.chown(path, 'olad')
        command = ['runuser', '-u', 'olad', '--'] + command
    olad = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline and olad.poll() is None:
        try:
            if all(not get_dmx(http, u)[0] for u in LISTEN):
                return olad, http
        except OSError:
            pass
        time.sleep(0.2)
    return olad, None


def stop(process):
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGTERM)
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()


def check_olad(http):
    cases = [('level 77', ['--pattern', 'level', '--level', '77'], lambda n: True, 77),
             ('node 2', ['--pattern', 'node', '--node', '2', '--level', '200'], lambda n: n['node'] == 2, 200)]
    print(f'{"pattern":9} {"universe":>8} {"received":>8} {"checked":>7} {"wrong":>5}')
    for name, args, lit, level in cases:
        want = {uc: level for n in NODES if lit(n) for uc in channels(n)}
        tool = subprocess.Popen(test_command + ['--duration', '3'] + args, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, encoding='utf-8', start_new_session=True)
        try:
            time.sleep(1.5)
            seen = {u: get_dmx(http, u)[1] for u in LISTEN}
            _, err = tool.communicate(timeout=20)
        finally:
            stop(tool)
        check(tool.returncode == 0, f'{name}: exit {tool.returncode}: {err.strip()}')
        for u in LISTEN:
            got = seen[u] + [0] * (512 - len(seen[u]))
            wrong = [c for c in range(1, 513) if got[c - 1] != want.get((u, c), 0)]
            print(f'{name:9} {u:8} {len(seen[u]):8} {512:7} {len(wrong):5}')
            check(not wrong, f'{name}: universe {u}: ' + ', '.join(
                f'channel {c} is {got[c - 1]}, not {want.get((u, c), 0)}' for c in wrong[:6]))
            check(u in USED or not seen[u], f'{name}: universe {u}, which the map does not use, received data')
        after = [u for u in LISTEN if any(get_dmx(http, u)[1])]
        check(not after, f'{name}: universes {after} are not all 0 after the run ended')


# ---- tshark ----
def read_pcap(path):
    """Per packet: time, destination, port, universe, sequence, [priority, source name, options], slots."""
    if SACN:
        options = ['--enable-heuristic', 'acn', '-o', 'acn.dmx_enable:TRUE', '-o', 'acn.dmx_display_zeros:TRUE']
        fields = ['acn.dmx.universe', 'acn.dmx.seq_number', 'acn.dmx.priority', 'acn.dmx.source_name',
                  'acn.dmx.options', 'acn.dmx.data']
    else:
        options = []
        fields = ['artnet.output.universe', 'artnet.output.sequence', 'artnet.output.length', 'dmx_chan.data_filter']
    fields = ['frame.time_epoch', 'ip.dst', 'udp.dstport'] + fields
    out = run(['tshark', '-r', path, *options, '-T', 'fields', *itertools.chain(*(['-e', f] for f in fields))])
    packets = []
    for line in out.stdout.splitlines():
        row = line.split('\t')
        if SACN:  # rows of 20 levels in hex after a header row: "001-020: FF 0 0 ... | 0 ...,021-040: ..."
            slots = [int(t, 16) for r in row[-1].split(',')[1:] for t in r.split(':', 1)[1].split() if t != '|']
            extra = [int(row[5]), row[6], int(row[7])]
        else:
            slots = list(bytes.fromhex(row[-1]))
            extra = [int(row[5])]
        packets.append([row[0], row[1], int(row[2]), int(row[3]), int(row[4]), extra, slots])
    return packets


def check_pcap(packets, name):
    universes = {}
    for p in packets:
        universes.setdefault(p[3], []).append(p)
        check(p[1:3] == [LOCAL, 5568 if SACN else 6454], f'packet to {p[1]}:{p[2]}')
    check(sorted(universes) == USED, f'universes {sorted(universes)}, the patch list uses {USED}')
    print(f'{"universe":>8} {"packets":>7} {"sequence":>9} {"end":>10}')
    for u, ps in sorted(universes.items()):
        seq = [p[4] for p in ps]
        if SACN:
            check(all(b == (a + 1) % 256 for a, b in zip(seq, seq[1:])), f'universe {u}: sequence {seq}')
            check(all(p[5][:2] == [150, name] for p in ps), f'universe {u}: priority/name {ps[0][5][:2]}')
            ends = [p[5][2] & 0x40 for p in ps]
            check(len(ps) > 4 and all(ends[-3:]) and not any(ends[:-3]), f'universe {u}: stream ends {ends}')
            last_data = ps[-4][6]
        else:
            check(all(1 <= b <= 255 and b == a % 255 + 1 for a, b in zip(seq, seq[1:])), f'universe {u}: {seq}')
            check(all(p[5][0] == len(p[6]) and p[5][0] % 2 == 0 and 2 <= p[5][0] <= 512 for p in ps), f'universe {u}: lengths')
            last_data = ps[-1][6]
        check(not any(last_data), f'universe {u}: the last frame is not all 0')
        print(f'{u:8} {len(ps):7} {f"{seq[0]}-{seq[-1]}":>9} {"terminated" if SACN else "zeros":>10}')


def check_chase(packets, step_ms, steps):
    """Rebuilds the frames (one time stamp each): at step s each port lights node s % len + 1, alone."""
    chains = {}
    for n in NODES:
        chains.setdefault((n['interface'], n['port']), []).append(n)
    walked = {key: {} for key in chains}
    state, start = {}, float(packets[0][0])
    for time_stamp, group in itertools.groupby((p for p in packets if not (SACN and p[5][2] & 0x40)),
                                               key=lambda p: p[0]):
        for p in group:
            state[p[3]] = p[6]
        lit = {(u, c + 1): v for u, slots in state.items() for c, v in enumerate(slots) if v}
        if not lit:
            continue
        step = round((float(time_stamp) - start) * 1000) // step_ms
        on = [n for n in NODES if all(uc in lit for uc in channels(n))]
        check(set(lit) == {uc for n in on for uc in channels(n)} and set(lit.values()) == {255},
              f'step {step}: lit channels {sorted(lit.items())[:8]} are not whole nodes at 255')
        for key, chain in chains.items():
            now = [n['node'] for n in chain if n in on]
            walked[key][step] = now[0] if len(now) == 1 else now
    for (interface, port), seen in walked.items():
        lit = [seen.get(s) for s in range(steps)]
        print(f'chase {interface} port {port}: node by step {" ".join(map(str, lit[:14]))} ... ({steps} steps)')
        size = len(chains[interface, port])
        wrong = [s for s in range(steps) if lit[s] != s % size + 1]
        if wrong:
            failures.append(f'{interface} port {port} ({size} nodes): {len(wrong)} steps wrong; step {wrong[0]} '
                            f'lit node {lit[wrong[0]]}, not {wrong[0] % size + 1}')


def main():
    if shutil.which('olad' if RECEIVER == 'olad' else 'tshark') is None:
        print(f'{RECEIVER} is not installed: skipped')
        return SKIP
    folder = tempfile.mkdtemp(prefix='lumomap-output-', dir='/tmp')
    try:
        os.chmod(folder, 0o755)
        if RECEIVER == 'olad':
            olad, http = start_olad(folder)
            try:
                if http is None:
                    print('olad did not get ready within 15 s: skipped')
                    return SKIP
                check_olad(http)
            finally:
                stop(olad)
        else:
            pcap, name = os.path.join(folder, 'chase.pcap'), 'Rig chäse 1'
            # a step a frame for 7 s: the busy universes' sequence numbers wrap
            done = run(test_command + ['--pattern', 'chase', '--step-ms', '25', '--fps', '40', '--dry-run',
                                       '--duration', '7', '--pcap', pcap, '--priority', '150', '--source-name', name])
            check(done.returncode == 0, f'exit {done.returncode}: {done.stderr.strip()}')
            packets = read_pcap(pcap)
            check_pcap(packets, name)
            check_chase(packets, 25, 280)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    for failure in failures:
        print('FAIL:', failure)
    return 1 if failures else 0


sys.exit(main())
