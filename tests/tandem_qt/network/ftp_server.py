#!/usr/bin/python3
"""Runs Debian's pyftpdlib on 127.0.0.1 for the tests and benchmarks.

Usage: ftp_server.py HOME [PASSWORD]
Serves HOME to user "rigward" (password "secret" unless given) on a free
port, prints that port on the first line of stdout, and runs until killed or
until stdin is closed.
"""
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    home = sys.argv[1]
    password = sys.argv[2] if len(sys.argv) > 2 else "secret"
    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user("rigward", password, home, perm="elradfmwMT")

    class Dtp(DTPHandler):
        ac_in_buffer_size = 256 * 1024
        ac_out_buffer_size = 256 * 1024

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.dtp_handler = Dtp
    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.socket.getsockname()[1], flush=True)

    def stop_when_stdin_closes():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=stop_when_stdin_closes, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
