#!/usr/bin/python3
"""A real mail server for the mail client's tests.

Runs aiosmtpd on 127.0.0.1 on a free port, prints the port on a line of its
own, and keeps every message it accepts as <n>.eml (the data as received,
after the server's own dot handling) and <n>.json (envelope and session).

    smtp_test_server.py FOLDER [--auth none|login] [--user U --password P]
                        [--tls starttls|implicit [--certificate KIND]]

--auth login    offers LOGIN and PLAIN and requires authentication
--tls starttls  offers STARTTLS and refuses AUTH and MAIL before it
--tls implicit  speaks TLS from the first byte
--certificate   the server's certificate, made at start: "trusted" (for
                localhost, signed by FOLDER/ca.pem, the authority the client
                is to trust), "self-signed" or "other-host" (signed by the
                authority, for another name)
"""
import argparse
import asyncio
import json
import logging
import os
import ssl
import subprocess
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
                       "authenticated": bool(session.authenticated),
                       "tls": server.transport.get_extra_info("sslcontext") is not None}, f)
        return "250 OK"

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == self.user
              and auth_data.password == self.password)
        return AuthResult(success=ok, handled=False)


def make_certificates(folder, kind):
    """Makes FOLDER/ca.pem and the server's server.pem and server.key."""
    def openssl(name, subject, *extra):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                        "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2",
                        "-keyout", os.path.join(folder, name + ".key"),
                        "-out", os.path.join(folder, name + ".pem"),
                        "-subj", "/CN=" + subject, *extra],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    openssl("ca", "Rigwarden Test CA")
    host = "mail.other.test" if kind == "other-host" else "localhost"
    signed = [] if kind == "self-signed" else [
        "-CA", os.path.join(folder, "ca.pem"), "-CAkey", os.path.join(folder, "ca.key"),
        "-addext", "subjectAltName=DNS:%s,IP:127.0.0.1" % host,
        "-addext", "basicConstraints=critical,CA:FALSE"]
    openssl("server", host, *signed)
    return os.path.join(folder, "server.pem"), os.path.join(folder, "server.key")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--auth", choices=["none", "login"], default="none")
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--tls", choices=["none", "starttls", "implicit"], default="none")
    parser.add_argument("--certificate", default="trusted",
                        choices=["trusted", "self-signed", "other-host"])
    args = parser.parse_args()

    # Authentication without TLS is what the tests want; no warnings about it.
    warnings.simplefilter("ignore")
    logging.disable(logging.CRITICAL)

    handler = Handler(args.folder, args.user, args.password)
    options = {"hostname": "mail.test", "timeout": 60}
    if args.auth == "login":
        options.update(auth_require_tls=False, auth_required=True,
                       authenticator=handler.authenticate)

    context = None
    if args.tls != "none":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(*make_certificates(args.folder, args.certificate))
    if args.tls == "starttls":
        options.update(tls_context=context, require_starttls=True)
        if args.auth == "login":
            options.update(auth_require_tls=True)

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(loop.create_server(
        lambda: SMTP(handler, loop=loop, **options), "127.0.0.1", 0,
        ssl=context if args.tls == "implicit" else None))
    print(server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    sys.exit(main())
