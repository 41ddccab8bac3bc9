"""What the benchmark scripts share: running a program that prints its
figures as "name value" lines."""
import os
import subprocess
import sys
import time


def run_measured(command, env):
    """Runs a command; returns (seconds, its "name value" figures, whether it succeeded)."""
    start = time.perf_counter()
    process = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    seconds = time.perf_counter() - start
    figures = {}
    for line in process.stdout.decode(errors="replace").splitlines():
        name, _, value = line.partition(" ")
        try:
            figures[name] = float(value)
        except ValueError:
            pass
    if process.returncode != 0:
        sys.stderr.write(process.stderr.decode(errors="replace")[-2000:])
    return seconds, figures, process.returncode == 0


def private_environment(work, **extra):
    """The environment of a run whose settings, data, cache and runtime
    folders live under `work`, so that the user's own stay untouched."""
    home = os.path.join(work, "home")
    runtime = os.path.join(home, "run")
    os.makedirs(runtime, mode=0o700)
    return dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                XDG_CACHE_HOME=os.path.join(home, ".cache"), XDG_RUNTIME_DIR=runtime, **extra)
