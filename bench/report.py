#!/usr/bin/env python3
"""Turns the measurements in build/bench into docs/benchmarks.md (on stdout).

  report.py OUTDIR CHANGES_EACH_WAY IDLE_SECONDS FUZZ_RUNS LOSSY_PROBES
"""
import math
import os
import platform
import re
import subprocess
import sys


def read(path, default=""):
    try:
        with open(path) as f:
            return f.read()
    except OSError:
        return default


def sh(command):
    return subprocess.run(command, shell=True, capture_output=True, text=True).stdout.strip()


def pct(values, p):
    values = sorted(values)
    if not values:
        return float("nan")
    k = max(0, min(len(values) - 1, int(round(p / 100 * len(values) + 0.5)) - 1))
    return values[k]


def table(rows):
    out = ["| " + " | ".join(rows[0]) + " |", "|" + "---|" * len(rows[0])]
    out += ["| " + " | ".join(str(c) for c in r) + " |" for r in rows[1:]]
    return "\n".join(out)


def latency_row(label, values, bound):
    missed = sum(1 for v in values if v == "missed")
    v = [float(x) for x in values if x != "missed"]
    worst = f"{max(v):.2f}" if v else "nan"
    return [label, f"{len(v)}" + (f" ({missed} missed)" if missed else ""), f"{pct(v, 50):.2f}",
            f"{pct(v, 95):.2f}", worst, bound]


def pairs(path):
    return dict(l.split("\t") for l in read(path).splitlines() if "\t" in l)


def network_verdicts(out):
    print("## Verdicts on a network shaped like a PC's\n")
    print("The program's namespace reaches the probe hosts through a veth pair (the cable) and a default route "
          "into a second namespace that holds their addresses; `bench/network_benchmarks.sh` drives it, one "
          "part per copy of the program, the parts side by side. Latency is the time from the change to the "
          "status window showing the new text. The cable is pulled and put back 2 to 12 s after the previous "
          "change was shown, at the default interval (60 s); the outage (the far namespace ignores echo, nothing "
          "listens on 443, so the TCP try is refused at once) starts and ends 0 to 2 s after the previous "
          "change was shown, at `ping_time_interval=1`.\n")
    rows = [["change", "n", "median (s)", "p95 (s)", "max (s)", "bound or goal (s)"]]
    cable = [l.split("\t") for l in read(f"{out}/cable.tsv").splitlines() if l.strip()]
    outage = [l.split("\t") for l in read(f"{out}/outage.tsv").splitlines() if l.strip()]
    rows.append(latency_row("cable pulled → Broken", [x[1] for x in cable if x[0] == "pulled"],
                            "goal: p95 ≤ 3; bound 2 (look) + unsendable probe"))
    rows.append(latency_row("cable back → Connected", [x[1] for x in cable if x[0] == "back"],
                            "goal: p95 ≤ 3; bound 2 (look) + round trip"))
    rows.append(latency_row("upstream outage → Broken", [x[1] for x in outage if x[0] == "lost"],
                            "1 (interval) + 7 (probe: requests 1 s apart, open until 7 s, the handshake "
                            "refused) + 1 (the router's echo, unanswered here too) = 9; up to 4 more when a probe "
                            "under way already had its answer"))
    rows.append(latency_row("upstream back → Connected", [x[1] for x in outage if x[0] == "restored"],
                            "5 + round trip"))
    print(table(rows) + "\n")

    rows = [["case", "measured", "goal"]]
    dropped = pairs(f"{out}/dropped.tsv")
    if dropped:
        rows.append([f"ICMP dropped, 443 accepting, {dropped['seconds']} s at `ping_time_interval=1`",
                     f"{dropped['handshakes']} probes, each decided by a handshake; "
                     f"{dropped['false_broken']} false Broken", "0 false Broken"])
    resume = pairs(f"{out}/resume.tsv")
    if resume:
        rows.append([f"{resume['resumes']} resumes, cable pulled at once and back after 10 to 25 s",
                     f"{resume['windows']} status windows, {resume['sounds']} sounds, "
                     f"{resume['broken_rows']} Broken rows in the log (control, the same loss without a resume: "
                     f"window after {resume.get('control_window', '?')} s, {resume.get('control_sounds', '?')} sound)",
                     "0 windows, 0 sounds"])
    for loss in (30, 50):
        lossy = pairs(f"{out}/lossy-{loss}.tsv")
        if not lossy:
            continue
        probes, requests = int(lossy["probes"]), int(lossy["requests"])
        measured = int(lossy["dropped"]) / requests
        broken = int(lossy["broken_rows"])
        rows.append([f"lossy: {loss} % of echo requests dropped at random, `ping_time_interval=1`",
                     f"{probes} probes, {measured * 100:.1f} % dropped; {broken} false Broken = "
                     f"{broken / probes * 1000:.1f} per 1,000 probes",
                     f"p⁴ = {measured ** 4 * 1000:.1f} per 1,000 at the measured loss "
                     f"({(loss / 100) ** 4 * 1000:.1f} at {loss} %)"])
    print(table(rows) + "\n")
    print("The status windows are counted by the helper that watches them, the sounds from what Wine's ALSA "
          "driver wrote (each of the two sounds was played once when chosen; those plays are not counted). An "
          "outage that begins while a probe is under way, after one of its requests was answered, lets that "
          "probe end Connected: the next probe, an interval later, finds it. The "
          "lossy rows' answers come from a user-space responder in the far namespace, whose kernel answers no "
          "echo; nothing listens on 443 there, so a probe whose four requests are all lost is Broken, and the "
          "expected share of such probes is p⁴.\n")


def beyond_the_cable(out):
    print("## Outages beyond the cable\n")
    print("On the same network: an outage past the router (in the far namespace, forwarding on, the hosts' "
          "addresses gone and a blackhole route: packets vanish without any answer, while the cable and the "
          "default route stay up), and a move of the default route to a second link that leads nowhere (a "
          "veth pair into a third namespace that forwards nothing, the first link keeping its address). The hosts accept TCP on 443, as real sites "
          "do. Lintora watches the packet counters of the interface that carries the internet. \"In use\" is a TCP exchange with one of the hosts every 0.25 s, a connection kept and a new "
          "one opened when an answer is 2 s late, as a browser does. Each outage or switch starts 10 to 20 s "
          "(switch: 3 to 12 s) after the previous change was shown and ends 2 to 5 s after it was shown.\n")
    rows = [["change", "n", "median (s)", "p95 (s)", "max (s)", "bound or goal (s)"]]
    parts = {name: [l.split("\t") for l in read(f"{out}/{name}.tsv").splitlines() if l.strip()]
             for name in ("router-use", "router-idle", "switch", "router-call", "router-chatter", "router-names",
                          "router-again")}
    rows.append(latency_row("outage past the router, in use → Broken",
                            [x[1] for x in parts["router-use"] if x[0] == "lost"],
                            "goal: p95 ≤ 10; 1.5 to 2 (traffic watch) + 7 (probe)"))
    rows.append(latency_row("its end → Connected", [x[1] for x in parts["router-use"] if x[0] == "restored"],
                            "goal: p95 ≤ 3"))
    rows.append(latency_row("outage past the router, idle, `ping_time_interval=10` → Broken",
                            [x[1] for x in parts["router-idle"] if x[0] == "lost"], "goal: ≤ 10 + 7 = 17"))
    rows.append(latency_row("its end → Connected", [x[1] for x in parts["router-idle"] if x[0] == "restored"],
                            "5 (retry) + round trip"))
    for name, what in (("router-call", "during a call (datagrams only, 50 a second each way)"),
                       ("router-chatter", "in use beside loopback TCP chatter (a local program, every 0.25 s)"),
                       ("router-names", "in use, the names' server past the router gone with it"),
                       ("router-again", "in use, 8 s after the end of another")):
        rows.append(latency_row(f"outage past the router, {what} → Broken",
                                [x[1] for x in parts[name] if x[0] == "lost"], "goal: p95 ≤ 10"))
        rows.append(latency_row("its end → Connected", [x[1] for x in parts[name] if x[0] == "restored"],
                                "goal: p95 ≤ 3"))
    rows.append(latency_row("switch to a dead network → Broken", [x[1] for x in parts["switch"] if x[0] == "switched"],
                            "goal: p95 ≤ 10; 2 (look) + 7 (probe)"))
    rows.append(latency_row("and back → Connected", [x[1] for x in parts["switch"] if x[0] == "back"],
                            "2 (look) + round trip"))
    print(table(rows) + "\n")
    rows = [["case", "measured", "goal"]]
    stall = pairs(f"{out}/stall.tsv")
    if stall:
        rows.append([f"{stall['stalls']} stalls of everything for 5 s, in use, default interval",
                     f"{stall['false_broken']} false Broken", "0"])
    quiet = pairs(f"{out}/quiet.tsv")
    if quiet:
        rows.append([f"Connected and idle for {quiet['seconds']} s, default interval",
                     f"{quiet['requests']} echo requests ({int(quiet['requests']) / 4:g} probes), "
                     f"{quiet['tcp_segments']} TCP segments sent",
                     f"only the interval's probes: {quiet['interval_probes']} or one more, none else"])
        if "gateway_echoes" in quiet:
            rows.append(["the router's echo requests over the same run, from the start",
                         f"{quiet['gateway_echoes']}", "1: one to learn whether it answers echo"])
    print(table(rows) + "\n")


def where_the_break_is(out):
    rows = [l.split("\t") for l in read(f"{out}/causes.tsv").splitlines() if l.strip()]
    if not rows:
        return
    print("## Where the break is\n")
    print("On the same network, the names from a name server past the router, the computer in use, at the "
          "default interval: in each round the cable is pulled, the router's address on the link removed (nothing "
          "past the link answers), the hosts gone past the router, and the name server gone while echo still "
          "answers; each until the status window shows its cause under the Broken text, then back, 5 to 10 s "
          "apart. Latency is from the change to the window's text with the right cause.\n")
    table_rows = [["change", "n", "median (s)", "p95 (s)", "max (s)", "bound or goal (s)"]]
    for name, label, goal in (
            ("no_network", "cable pulled → \"No network connection\"", "goal: p95 ≤ 3; 2 (look) + unsendable probe"),
            ("no_network_back", "and back → Connected", "2 (look) + round trip"),
            ("router", "router gone → \"The router does not answer\"",
             "goal: p95 ≤ 12; 1.5 to 2 (traffic) + 7 (probe) + 1 (the router's echo)"),
            ("router_back", "and back → Connected", "5 (retry) + round trip"),
            ("provider", "hosts gone past the router → \"The router answers; …\"",
             "goal: p95 ≤ 12; 1.5 to 2 (traffic) + 7 (probe) + round trip"),
            ("provider_back", "and back → Connected", "goal: p95 ≤ 3"),
            ("names", "name server gone → \"Names are not being answered (DNS)\"",
             "60 (interval) + 2 (lookup) + 5 (retry) + 2 (lookup)"),
            ("names_back", "and back → Connected", "5 (retry) + the lookup still out (10)")):
        table_rows.append(latency_row(label, [x[1] for x in rows if x[0] == name], goal))
    print(table(table_rows) + "\n")
    echoes = [(int(x[1]), float(x[2])) for x in rows if x[0] == "provider_gateway_echoes"]
    if echoes:
        total = sum(e for e, _ in echoes)
        seconds = sum(s for _, s in echoes)
        # The first Broken verdict comes about 8.5 s in; then a probe of silent hosts (7 s) every 5 s.
        verdicts = sum(1 + math.ceil(max(0.0, s - 8.5) / 12) for _, s in echoes)
        print(f"Echo requests the router got while the hosts were gone past it: {total} in {len(echoes)} "
              f"outages lasting {seconds:.0f} s in all, from the outage to its end, which held at most "
              f"{verdicts} Broken verdicts (the first about 8.5 s in, then one every 12 s: a 7 s probe and "
              f"the 5 s retry). One echo per Broken verdict at most; none while Connected (checked by "
              f"`e2e.causes`).\n")


def other_networks(out):
    parts = {kind: [l.split("\t") for l in read(f"{out}/networks-{kind}.tsv").splitlines() if l.strip()]
             for kind in ("silent", "tunnel", "lossy", "webonly", "midprobe")}
    if not any(parts.values()):
        return
    print("## Where the break is, away from a plain home router\n")
    print("The same two namespaces, the far one's kernel answering no echo: a responder of the tests' own "
          "answers as each network does, and the hosts take handshakes on 443. The outages come while the "
          "computer is in use, at the default interval; the portal at `ping_time_interval=5`; the cable pulled "
          "while idle. Each change 5 to 10 s after the one before was shown. Latency is from the change to the status window's "
          "text with the right cause.\n")
    rows = [["network and change", "n", "median (s)", "p95 (s)", "max (s)", "goal (s)"]]
    for kind, name, label, goal in (
            ("silent", "lost", "a router that never answers echo; outage past it → \"The internet does not answer\"",
             "p95 ≤ 12; 1.5 to 2 (traffic) + 7 (probe) + 2 (the web check's connection)"),
            ("silent", "restored", "its end → Connected", "5 (retry) + round trip"),
            ("tunnel", "lost", "a default route with no next hop; outage → \"The internet does not answer\"",
             "p95 ≤ 12; 1.5 to 2 (traffic) + 7 (probe) + 2 (the web check's connection)"),
            ("tunnel", "restored", "its end → Connected", "5 (retry) + round trip"),
            ("lossy", "lost", "a router losing every other echo; outage past it → \"The router answers; …\"",
             "p95 ≤ 12; 1.5 to 2 (traffic) + 7 (probe) + 0.5 (the second echo) + 2 (the web check's connection)"),
            ("lossy", "restored", "its end → Connected", "5 (retry) + round trip"),
            ("webonly", "portal", "a sign-in page passing only names and port 80 → \"Sign-in page in the way\"",
             "p95 ≤ 12; 5 (interval) + 7 (probe) + round trips"),
            ("webonly", "signed_in", "signed in → Connected", "5 (retry) + round trip"),
            ("midprobe", "pulled", "the cable pulled 1 s into a probe of silent hosts → \"No network connection\"",
             "p95 ≤ 12; the probe's rest (6)"),
            ("midprobe", "back", "and back → Connected", "2 (look) + round trip")):
        rows.append(latency_row(label, [x[1] for x in parts[kind] if x[0] == name], goal))
    print(table(rows) + "\n")
    before = [int(x[1]) for x in parts["midprobe"] if x[0] == "rows_before_no_network"]
    if before:
        print(f"Rows with another cause logged between the pull and \"no network\": {sum(before)} in "
              f"{len(before)} pulls.\n")


def proxy_and_ipv6(out):
    proxy = [l.split("\t") for l in read(f"{out}/proxy.tsv").splitlines() if l.strip()]
    ipv6 = [l.split("\t") for l in read(f"{out}/ipv6.tsv").splitlines() if l.strip()]
    if not proxy and not ipv6:
        return
    print("## Proxies and IPv6\n")
    print("The same two namespaces, made into two other networks, idle. An office where only the proxy goes "
          "out: the hosts silent (an outage past the router), the user's proxy in the registry as Windows "
          "stores it, and a proxy of the tests' own on the router's side (`tests/e2e/proxy_tool.py`) with its "
          "own way out to the web; that way out is lost (the proxy answers 502) and restored, at the default "
          "interval: the check through the proxy is then the probe. An IPv6-only network: the cable on "
          "2001:db8:1::/64, the hosts at their NAT64 addresses (64:ff9b::/96), names answered with those alone, "
          "no IPv4; `ping_time_interval=10`. Wine has no ICMPv6, so the hosts answer the 443 handshake; nor "
          "does it tell the interface of an IPv6 route, so no traffic watch helps here. Each change 2 to 12 s "
          "after the one before was shown (ends: 2 to 5 s).\n")
    rows = [["network and change", "n", "median (s)", "p95 (s)", "max (s)", "bound (s)"]]
    for parts, name, label, bound in (
            (proxy, "lost", "proxy only: the proxy's way out lost → Broken (\"The proxy does not reach …\")",
             "60 (interval) + round trip"),
            (proxy, "restored", "its return → Connected (\"through the proxy\")", "5 (retry) + round trip"),
            (ipv6, "pulled", "IPv6 only: the cable pulled → Broken (no network)", "2 (look) + 1"),
            (ipv6, "back", "and back → Connected", "2 (look) + round trip"),
            (ipv6, "lost", "IPv6 only: outage past the router → Broken", "10 (interval) + 7 (probe)"),
            (ipv6, "restored", "its end → Connected", "5 (retry) + round trip")):
        rows.append(latency_row(label, [x[1] for x in parts if x[0] == name], bound))
    print(table(rows) + "\n")


def main(out, changes, idle_seconds, fuzz_runs, lossy_probes):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    print("# Lintora benchmarks\n")
    print(f"Made by `bash bench/run_benchmarks.sh {changes} {idle_seconds} {fuzz_runs} {lossy_probes}` on "
          f"{sh('date -u +%Y-%m-%d')}.\n")
    cpu = sh("grep -m1 'model name' /proc/cpuinfo | cut -d: -f2").strip()
    memory = sh("free -g | awk '/Mem:/ {print $2}'")
    wine = sh("/usr/lib/wine/wine64 --version")
    # The same choice as the scripts make: the i686 release where 32-bit Wine runs.
    measured = ("The i686 release" if sh("/usr/lib/wine/wine --version 2>/dev/null")
                else "The x86_64 build (this machine runs no 32-bit programs)")
    gcc = sh("i686-w64-mingw32-gcc -dumpversion")
    print(f"Machine: {os.cpu_count()} cores ({cpu}), {memory} GiB, Linux {platform.release()}, {wine}, "
          f"MinGW-w64 GCC {gcc}. {measured} runs under Wine in network namespaces: one whose loopback "
          "stands in for the internet, or two joined like a PC and its router.\n")

    print("## Footprint\n")
    rows = [["build", "size (bytes)", "imports"]]
    for name, tool in (("win32", "i686"), ("win64", "x86_64")):
        exe = f"{root}/build/{name}/Lintora.exe"
        dlls = sh(f"{tool}-w64-mingw32-objdump -p {exe} | sed -n 's/^\\s*DLL Name: //p' | tr a-z A-Z | sort | tr '\\n' ' '")
        rows.append([f"{tool} `Lintora.exe`", os.path.getsize(exe), dlls])
    print(table(rows) + "\n")
    soak = [l.split("\t") for l in read(f"{out}/soak.tsv").splitlines() if l.strip()]
    if soak:
        threads = sorted(set(r[2].split()[0].split("=")[1] for r in soak))
        print(f"Threads of the running program, counted with a Toolhelp snapshot by a helper in the same "
              f"prefix at each of the {len(soak)} soak samples: {', '.join(threads)}.\n")

    print("## Detection latency\n")
    lat = [l.split("\t") for l in read(f"{out}/latency.tsv").splitlines() if l.strip()]
    counts = dict(l.split("\t") for l in read(f"{out}/counts.tsv").splitlines() if "\t" in l)
    print("Loopback turned down and up at random moments (0 to 4 s after the previous change was shown), "
          "`ping_time_interval=1`; latency is the time from the change to the status window showing the new "
          "text (read by a helper polling every 10 ms). A loopback that is down drops the echo requests and the "
          "TCP try without a word, so a lost connection takes a probe's full 7 s: four requests 1 s apart, "
          "the last one's 4 s, and the handshake tried alongside. "
          "Bounds count the program's own waits; showing the window takes a few tens of milliseconds more.\n")
    rows = [["direction", "n", "median (s)", "p95 (s)", "max (s)", "bound (s)"]]
    bounds = {"up": "5 + round trip", "down": "1 (interval) + 7 (probe) = 8"}
    for d, label in (("up", "restored"), ("down", "lost")):
        v = [float(x[1]) for x in lat if x[0] == d]
        rows.append([label, len(v), f"{pct(v, 50):.2f}", f"{pct(v, 95):.2f}", f"{max(v) if v else float('nan'):.2f}",
                     bounds[d]])
    print(table(rows) + "\n")
    made = int(counts.get("changes_made", 0))
    seen = int(counts.get("status_changes_seen", 0))
    print(f"Changes made: {made}; missed: {counts.get('missed', '?')}; status texts shown: {seen} "
          f"(doubled transitions: {seen - made + int(counts.get('missed', 0))}).\n")
    print("![latency histogram](latency-histogram.png)\n")

    network_verdicts(out)
    beyond_the_cable(out)
    where_the_break_is(out)
    other_networks(out)
    proxy_and_ipv6(out)

    print("## Soak\n")
    print(f"Interval 1 s, {counts.get('probes', '?')} probes and {made} changes of state. The helper samples "
          "every 100 probes (probes counted from the requests on the wire, four to a probe).\n")
    rows = [["probes", "changes", "threads", "handles", "GDI objects", "USER objects", "open fds", "RSS (KiB)"]]
    for r in soak:
        kv = dict(x.split("=") for x in r[2].split())
        rows.append([r[0], r[1], kv.get("threads"), kv.get("handles"), kv.get("gdi"), kv.get("user"),
                     kv.get("fds"), kv.get("rss_kib")])
    print(table(rows) + "\n")
    print("Wine answers `GetProcessHandleCount` and `GetGuiResources` with 0, so those columns say nothing "
          "here; what Linux sees of the process (its open file descriptors, which include the sockets and "
          "files Wine holds for it, and its resident memory) stands in for them.\n")

    print("## Idle cost\n")
    idle = dict(l.split("\t") for l in read(f"{out}/idle.tsv").splitlines() if "\t" in l)
    if idle:
        secs = float(idle["seconds"])
        ticks = int(idle["cpu_ticks"])
        hz = int(idle["clk_tck"])
        device = int(idle.get("device_ticks", "0"))
        print(f"Connected, default interval (60 s), behind a router (the veth topology), the change watch "
              f"looking every 2 s at the local address, every minute at the interface that carries the "
              f"internet, and every 4 s at its packet counters, in the same wake as every other look at the "
              f"address (four times a second while they move or while something sent awaits its answer), {secs:.0f} s: {ticks} ticks of {1000 // hz} ms "
              f"of CPU time (user + system) = {ticks / hz / secs * 100:.4f} % of one core, as /proc counts it "
              f"for the Lintora process. Under Wine the counters and the route are read by Wine's device process "
              f"(nsiproxy): {device} ticks there in the same time, {(ticks + device) / hz / secs * 100:.4f} % "
              "with the program's own. The socket calls are partly served by the wineserver, whose time is "
              "shared by every program of the prefix (the helper that watches the status window among them) "
              "and not counted here.\n")

    opened = read(f"{out}/history-open.txt").splitlines()  # "rows=N bytes=N", then "full|empty MS" lines
    if len(opened) > 2:
        size = dict(field.split("=") for field in opened[0].split())
        times = {kind: [float(l.split()[1]) for l in opened[1:] if l.startswith(kind)] for kind in ("full", "empty")}
        full, empty = times["full"], times["empty"]
        print("## The History window\n")
        print(f"Opened {len(full)} times on a full log ({size['rows']} rows, {size['bytes']} bytes: a row every "
              f"half hour, every other one Broken), each time read from the file, reckoned into the week's days "
              f"and drawn (`tests/win/history_open_bench.cpp`, under Wine): median {pct(full, 50):.1f} ms, p95 "
              f"{pct(full, 95):.1f} ms, the first (cold) {full[0]:.1f} ms; goal 100 ms. The same window on a log "
              f"of its header alone: median {pct(empty, 50):.1f} ms. Making and drawing the window is most of "
              f"it under Wine; reading and reckoning 1 MiB is the difference.\n")

    print("## Fuzzing\n")
    rows = [["target", "executions", "seconds", "findings"]]
    for target in ("echo_reply", "echo_reply6", "log_reader", "setting_values", "wave_format", "web_answer"):
        log = read(f"{out}/fuzz-{target}.log")
        m = re.search(r"Done (\d+) runs in (\d+) second", log)
        status = read(f"{out}/fuzz-{target}.status").strip()
        rows.append([f"`{target}_fuzz`", m.group(1) if m else "?", m.group(2) if m else "?",
                     "0" if status == "0" else f"exit {status}, see log"])
    print(table(rows) + "\n")
    print("libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer, natively (clang), seeded from "
          "`tests/fuzz/corpus`. CI runs the same targets for 300,000 executions each.\n")
    print("## Robustness under Wine\n")
    print("Covered by the end-to-end tests that CI runs: `e2e.hostile_icmp` (forged ICMP while the hosts are "
          "silent: no false Connected, no crash) and `e2e.program` (twenty copies started at once: exactly one "
          "runs, nineteen exit with 0).")


if __name__ == "__main__":
    main(*sys.argv[1:6])
