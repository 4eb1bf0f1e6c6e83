#!/usr/bin/python3
"""One reader exchange per command line, done with pyserial, for the exchange benchmark.

Usage: pyserial_exchange.py DEVICE REQUEST_HEX
Reads commands on stdin: "e" runs one exchange, "q" quits. Each exchange prints one line:
"ok|fail COUNT RETURNED_MONOTONIC_NS CPU_NS ELAPSED_NS".
"""
import sys
import time

import serial

FIRST_BYTE_TIMEOUT = 1.4
SILENCE = 0.02


def exchange(port, request):
    port.reset_output_buffer()
    port.reset_input_buffer()
    port.timeout = FIRST_BYTE_TIMEOUT
    port.write(request)
    answer = port.read(1)
    if not answer:
        return None
    port.timeout = SILENCE
    while True:
        byte = port.read(1)
        if not byte:
            return answer
        answer += byte


def main():
    device, request = sys.argv[1], bytes.fromhex(sys.argv[2])
    port = serial.Serial(device, baudrate=19200, bytesize=8, parity="N", timeout=FIRST_BYTE_TIMEOUT)
    for line in iter(sys.stdin.readline, ""):
        if line.strip() != "e":
            break
        start = time.monotonic_ns()
        cpu = time.thread_time_ns()
        answer = exchange(port, request)
        cpu = time.thread_time_ns() - cpu
        returned = time.monotonic_ns()
        status = "ok" if answer else "fail"
        count = len(answer) if answer else 0
        sys.stdout.write(f"{status} {count} {returned} {cpu} {returned - start}\n")
        sys.stdout.flush()
    port.close()


if __name__ == "__main__":
    main()
