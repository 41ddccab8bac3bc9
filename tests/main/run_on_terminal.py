#!/usr/bin/python3
"""Runs a command on a terminal of its own (its controlling one, so that
Ctrl-C typed there becomes SIGINT) and types TYPED once the command asks for
the master password. Prints what the terminal showed, then a last line with
the exit status (-N for signal N) and the terminal's echo as the command left
it.

    run_on_terminal.py TYPED COMMAND [ARGUMENT...]
"""
import fcntl, os, select, subprocess, sys, termios, time
master, slave = os.openpty()
child = subprocess.Popen(sys.argv[2:], stdin=slave, stdout=slave, stderr=slave,
                         start_new_session=True,
                         preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
shown = b''
def read_while(going):
    global shown
    while going():
        if select.select([master], [], [], 0.05)[0]:
            shown += os.read(master, 65536)
read_while(lambda: b'Master password' not in shown and child.poll() is None)
time.sleep(0.2)
os.write(master, sys.argv[1].encode())
read_while(lambda: child.poll() is None)
os.set_blocking(master, False)
try:
    while chunk := os.read(master, 65536):
        shown += chunk
except OSError:
    pass
echo = termios.tcgetattr(slave)[3] & termios.ECHO
sys.stdout.write(shown.decode(errors='replace'))
print('status', child.returncode, 'echo', 'on' if echo else 'off')
