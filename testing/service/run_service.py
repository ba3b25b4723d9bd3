#!/usr/bin/env python3
"""Runs the test service on its own, for a test in another process or by
hand. Prints "port=<port>", "ca_cert=<PEM path>" and "ca_cert_der=<DER
path>" once it listens, then serves until its standard input closes or it
is terminated. Routes are set through the control API (/__control/, see
web_service.ServiceControl).

usage: run_service.py [--ca-dir DIR]   (DIR keeps the test root between runs)
"""
import argparse
import signal
import sys
import threading

from certificates import TestRootCA
from web_service import WebService


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ca-dir", default=None)
    args = parser.parse_args()
    service = WebService(TestRootCA(args.ca_dir) if args.ca_dir else None)
    service.start()
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())

    def wait_for_stdin():
        sys.stdin.read()
        done.set()

    threading.Thread(target=wait_for_stdin, daemon=True).start()
    print("port=%d" % service.port)
    print("ca_cert=%s" % service.ca.cert_path)
    print("ca_cert_der=%s" % service.ca.der_path, flush=True)
    try:
        done.wait()
    except KeyboardInterrupt:
        pass
    service.stop()


if __name__ == "__main__":
    main()
