#!/usr/bin/python3
"""A real mail server for the mail client's tests.

Runs aiosmtpd on 127.0.0.1 on a free port, prints the port on a line of its
own, and keeps every message it accepts as <n>.eml (the data as received,
after the server's own dot handling) and <n>.json (envelope and session).

    smtp_test_server.py FOLDER [--auth none|login] [--user U --password P]

--auth login  offers LOGIN and PLAIN and requires authentication
"""
import argparse
import asyncio
import json
import logging
import os
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Handler:
    def __init__(self, folder, user, password):
        self.folder = folder
        self.user = user.encode()
        self.password = password.encode()
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        with open(base + ".eml", "wb") as f:
            f.write(envelope.content)
        with open(base + ".json", "w") as f:
            json.dump({"mail_from": envelope.mail_from,
                       "rcpt_tos": envelope.rcpt_tos,
                       "authenticated": bool(session.authenticated)}, f)
        return "250 OK"

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == self.user
              and auth_data.password == self.password)
        return AuthResult(success=ok, handled=False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--auth", choices=["none", "login"], default="none")
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    args = parser.parse_args()

    # Authentication without TLS is what the tests want; no warnings about it.
    warnings.simplefilter("ignore")
    logging.disable(logging.CRITICAL)

    handler = Handler(args.folder, args.user, args.password)
    options = {"hostname": "mail.test", "timeout": 60}
    if args.auth == "login":
        options.update(auth_require_tls=False, auth_required=True,
                       authenticator=handler.authenticate)

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(loop.create_server(
        lambda: SMTP(handler, loop=loop, **options), "127.0.0.1", 0))
    print(server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    sys.exit(main())
