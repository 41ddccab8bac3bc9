#!/usr/bin/python3
"""The service manager's end of $NOTIFY_SOCKET for the tests: binds a datagram
socket to ADDRESS (a path, or an abstract name with a leading '@'), prints
"listening", then every datagram it receives on a line of its own.

    notify_listener.py ADDRESS
"""
import socket
import sys

address = sys.argv[1]
listener = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
listener.bind("\0" + address[1:] if address.startswith("@") else address)
print("listening", flush=True)
while True:
    print(listener.recv(4096).decode(errors="replace"), flush=True)
