#!/usr/bin/env python3
"""A second, independent phone client: logs in and reads frames for SECONDS, counting code 21.

  tests/remote/phone_client.py PORT SECONDS [PASSWORD]
Prints "login ok", then "pushes N" at the end; exit status 1 when the login failed."""
import socket
import struct
import sys
import time


def frame(code, body=b""):
    return struct.pack("<IHBI", len(body) + 11, 10, code, len(body)) + body


def read_exactly(sock, size):
    data = b""
    while len(data) < size:
        chunk = sock.recv(size - len(data))
        if not chunk:
            raise EOFError("closed by the server")
        data += chunk
    return data


def read_frame(sock):
    total, tag, code, length = struct.unpack("<IHBI", read_exactly(sock, 11))
    if tag != 10 or total != length + 11:
        raise ValueError("bad header")
    return code, read_exactly(sock, length)


def main():
    port, seconds = int(sys.argv[1]), float(sys.argv[2])
    password = sys.argv[3] if len(sys.argv) > 3 else "482915"
    for _ in range(100):  # the program may still be starting
        try:
            sock = socket.create_connection(("127.0.0.1", port), timeout=5)
            break
        except OSError:
            time.sleep(0.1)
    else:
        return 1
    sock.sendall(frame(5, password.encode()))
    code, _ = read_frame(sock)
    while code == 21:  # a sample may come first
        code, _ = read_frame(sock)
    if code != 1:
        print("login refused", flush=True)
        return 1
    print("login ok", flush=True)
    pushes, end = 0, time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            code, body = read_frame(sock)
        except socket.timeout:
            continue
        if code == 21 and body.startswith(b"<?xml"):
            pushes += 1
    print(f"pushes {pushes}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
