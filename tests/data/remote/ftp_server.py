#!/usr/bin/env python3
"""Test FTP server on 127.0.0.1 (pyftpdlib) with one user.

usage: ftp_server.py ROOT USER PASSWORD LOG [nomlsd]
With "nomlsd" the server answers MLSD as an unknown command, as older servers do.
Prints the port it listens on, then serves until killed. Every completed download is appended
to LOG as "RETR <path>".
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, user, password, log_path = sys.argv[1:5]
logging.disable(logging.CRITICAL)


class Handler(FTPHandler):
    def on_file_sent(self, file):
        with open(log_path, "a") as log:
            log.write(f"RETR {file}\n")


if len(sys.argv) > 5 and sys.argv[5] == "nomlsd":
    Handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k != "MLSD"}

authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm="elrm")
Handler.authorizer = authorizer
Handler.permit_foreign_addresses = False
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.address[1], flush=True)
server.serve_forever()
