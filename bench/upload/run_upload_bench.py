#!/usr/bin/python3
"""Upload benchmark: the controller link at scale and its throughput.

Usage: bench/upload/run_upload_bench.py BUILD_DIR [--counts 100,1024]
           [--throughput-mib 1024] [--rounds 5]

1. For each count N, starts rigwarden-sim with N controllers and runs
   bin/rw_upload_bench fleet against them: discovery of all, a first upload
   run of a 20 MiB show (show file and two slot files) to all, and a second
   run of the same project. Prints wall times, peak memory and memory per
   controller; the time and memory per controller of the largest count are
   given as ratios to those of the smallest (1.00: grows linearly).
   Goals: every controller found and every result SUCCESS in both runs; the
   first run reads each of the 3 distinct files once for its digests (not
   once per controller); the second sends no file but the N validator files
   and reads no file again; at most 0.5 MiB per controller at the peak of
   the first run of the largest count. The largest count then runs once
   more with at most 64 controllers uploading at once (time, peak memory).
2. Starts rigwarden-sim with one controller and sends a show file of M MiB
   (default 1024) with the controller link (rw_upload_bench single) and with
   the FTP client's own benchmark (bin/ftp_upload_bench, as in
   bench/network), R paired rounds (default 9), the order alternating;
   prints the median and best STOR throughput of each and the median of
   the rounds' ratios (goal: the link >= 0.90 of the client). The
   controller's folder and the file are kept in /dev/shm when it exists, so
   that the disk's write-back does not blur the figures.

The simulators listen on a loopback address of the run's own (127.x.y.z),
out of the way of programs that still knock at 127.0.0.1 ports of their
own, since stopped, simulators on a shared machine.
The 1024-controller run writes 20 GiB into the simulator's folder (a
temporary folder, removed afterwards). Every process runs with a temporary
HOME, so the user's settings are not touched. Exit 0 when every goal is met.
"""
import argparse
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from measured_run import private_environment, run_measured  # noqa: E402

SHOW_FILES = 3  # the show file and two slot files
PARALLEL = 64  # the limit of simultaneous uploads of the extra run



def private_address():
    """A loopback address of this run's own: on a shared machine, programs
    that still knock at ports of their own simulators, since stopped, reach
    127.0.0.1 and would otherwise take this run's data connections."""
    return f"127.{(os.getpid() >> 8) & 255}.{os.getpid() & 255}.{random.randint(1, 254)}"


class Simulator:
    def __init__(self, build, count, root, env):
        self.root = root
        self.address = private_address()
        listing = os.path.join(root, "listing.json")
        os.makedirs(root, exist_ok=True)
        self.process = subprocess.Popen(
            [os.path.join(build, "bin", "rigwarden-sim"), "-n", str(count), "--root",
             os.path.join(root, "controllers"), "--ports-file", listing,
             "--address", self.address],
            stdout=subprocess.DEVNULL, env=env)
        for _ in range(600):
            if os.path.exists(listing) and os.path.getsize(listing) > 0:
                break
            if self.process.poll() is not None:
                sys.exit("rigwarden-sim did not start")
            time.sleep(0.05)
        self.listing_path = listing
        with open(listing) as f:
            self.listing = json.load(f)

    def stop(self):
        self.process.terminate()
        self.process.wait()
        shutil.rmtree(self.root, ignore_errors=True)


def fleet_run(build, count, work, env, parallel=None):
    sim = Simulator(build, count, os.path.join(work, f"sim-{count}"), env)
    try:
        command = [os.path.join(build, "bin", "rw_upload_bench"), "fleet", sim.listing_path,
                   os.path.join(work, f"rig-{count}")] + ([str(parallel)] if parallel else [])
        return run_measured(command, env)
    finally:
        sim.stop()
        shutil.rmtree(os.path.join(work, f"sim-{count}"), ignore_errors=True)


def fleet_bench(build, counts, work, env):
    ok = True
    results = {}
    for count in counts:
        seconds, f, finished = fleet_run(build, count, work, env)
        results[count] = f
        print(f"{count} controllers, a 20 MiB show each ({seconds:.1f} s in all):")
        print(f"  discovery of all      {f['discovery_seconds']:8.2f} s   "
              f"{int(f['discovery_found'])} found")
        for run in ("first_run", "second_run"):
            label = "first upload run " if run == "first_run" else "second upload run"
            print(f"  {label}     {f[run + '_seconds']:8.2f} s   "
                  f"{int(f[run + '_successes'])} SUCCESS, {int(f[run + '_files_sent'])} files and "
                  f"{int(f[run + '_validators_sent'])} validators sent, "
                  f"{int(f[run + '_digest_reads'])} files read for digests")
        print(f"  memory: {f['baseline_mib']:.1f} MiB before the project, "
              f"peak {f['second_run_peak_mib']:.1f} MiB; per controller "
              f"{f['discovered_mib_per_controller'] * 1024:.0f} KiB once discovered, "
              f"{f['peak_mib_per_controller']:.2f} MiB at the peak of the first run")
        goals = [
            finished,
            f["discovery_found"] == count,
            f["first_run_successes"] == count and f["second_run_successes"] == count,
            f["first_run_digest_reads"] <= SHOW_FILES,
            f["second_run_files_sent"] == 0 and f["second_run_validators_sent"] == count,
            f["second_run_digest_reads"] <= SHOW_FILES,
        ]
        print(f"  goals {'met' if all(goals) else 'NOT met'}")
        ok = ok and all(goals)
    if len(counts) > 1 and all(c in results and results[c] for c in counts):
        small, large = min(counts), max(counts)
        print(f"per controller, {large} against {small} controllers (1.00: linear):")
        for name in ("discovery_seconds", "first_run_seconds", "second_run_seconds"):
            ratio = (results[large][name] / large) / (results[small][name] / small)
            print(f"  {name:22s} {ratio:6.2f}")
        ratio = results[large]["peak_mib_per_controller"] / results[small]["peak_mib_per_controller"]
        print(f"  {'peak memory':22s} {ratio:6.2f}")
    if counts:
        large = max(counts)
        per_controller = results[large].get("peak_mib_per_controller", 99)
        print(f"  peak memory per controller at {large}: {per_controller:.2f} MiB (goal <= 0.50) "
              f"{'met' if per_controller <= 0.5 else 'NOT met'}")
        ok = ok and per_controller <= 0.5
        seconds, f, finished = fleet_run(build, large, work, env, PARALLEL)
        print(f"{large} controllers again, at most {PARALLEL} uploading at once "
              f"({seconds:.1f} s in all):")
        print(f"  first upload run {f.get('first_run_seconds', 0):8.2f} s   "
              f"{int(f.get('first_run_successes', 0))} SUCCESS; peak memory "
              f"{f.get('first_run_peak_mib', 0):.1f} MiB, "
              f"{f.get('peak_mib_per_controller', 0):.2f} MiB per controller")
        ok = ok and finished and f.get("first_run_successes") == large
    return ok


def throughput_bench(build, mib, rounds, work, env):
    memory = tempfile.mkdtemp(prefix="rw-upload-bench-", dir="/dev/shm") \
        if os.path.isdir("/dev/shm") else work
    sim = Simulator(build, 1, os.path.join(memory, "sim-1"), env)
    controller = sim.listing["controllers"][0]
    folder = controller["folder"]
    rig = os.path.join(memory, "rig-single")
    link, client = [], []

    def empty_controller():
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))

    def run_link():
        empty_controller()
        _, f, finished = run_measured(
            [os.path.join(build, "bin", "rw_upload_bench"), "single", sim.address,
             str(controller["http"]), str(controller["ftp"]), str(mib), rig], env)
        link.append(f["stor_seconds"] if finished else None)

    def run_client():
        empty_controller()
        out = subprocess.run(
            [os.path.join(build, "bin", "ftp_upload_bench"), sim.address,
             str(controller["ftp"]), "rigward", "any", os.path.join(rig, "show.bin"),
             "show.bin"], stdout=subprocess.PIPE, check=True, env=env).stdout
        client.append(float(out.decode().strip()))

    try:
        run_link()  # writes the show file, and warms both programs' files
        link.clear()
        # Paired rounds, the order alternating, so that a burst of load on a
        # shared machine falls on one round's pair rather than on one side.
        for number in range(rounds):
            for run in ((run_link, run_client) if number % 2 == 0 else (run_client, run_link)):
                run()
            if link[-1] is None:
                return False
    finally:
        sim.stop()
        if memory != work:
            shutil.rmtree(memory, ignore_errors=True)
    ratios = sorted(c / l for l, c in zip(link, client))
    median = statistics.median(ratios)
    print(f"upload of a {mib} MiB show file to one simulated controller, {rounds} paired rounds "
          f"(the STOR alone):")
    print(f"  FtpClient alone       {mib / statistics.median(client):8.1f} MiB/s median, "
          f"{mib / min(client):8.1f} best")
    print(f"  controller link       {mib / statistics.median(link):8.1f} MiB/s median, "
          f"{mib / min(link):8.1f} best")
    print(f"  throughput ratio link/FtpClient, median of the rounds: {median:.3f} "
          f"(rounds {ratios[0]:.3f} to {ratios[-1]:.3f}; goal >= 0.90)")
    return median >= 0.90


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--counts", default="100,1024")
    parser.add_argument("--throughput-mib", type=int, default=1024)
    parser.add_argument("--rounds", type=int, default=9)
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    counts = [int(c) for c in options.counts.split(",") if c]
    work = tempfile.mkdtemp(prefix="rw-upload-bench-")
    env = private_environment(work)
    needed = max(counts, default=0) * 20 * 1024 * 1024 * 1.1
    free = shutil.disk_usage(work).free
    if free < needed:
        sys.exit(f"{work} has {free / 2**30:.1f} GiB free; the run needs {needed / 2**30:.1f} GiB")
    try:
        ok = fleet_bench(build, counts, work, env)
        ok = throughput_bench(build, options.throughput_mib, options.rounds, work, env) and ok
    finally:
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
